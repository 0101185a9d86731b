#include "app/EngineChoice.h"

#include "engines/EngineAvailability.h"

#include <QComboBox>
#include <QSettings>
#include <QStandardItemModel>

namespace {

struct EngineItem
{
    const char *text;
    const char *data;
};

using UnavailableReason = QString (*)(const QString &key);
using UsableEngine = QString (*)(const QString &key);

// An engine that cannot print here stays in the list, greyed, saying why.
void addItems(QComboBox *combo, std::initializer_list<EngineItem> items, UnavailableReason reason)
{
    auto *model = qobject_cast<QStandardItemModel *>(combo->model());
    for (const EngineItem &item : items) {
        const QString key = QLatin1String(item.data);
        combo->addItem(QString::fromUtf8(item.text), key);
        const QString why = reason(key);
        if (why.isEmpty())
            continue;
        QStandardItem *added = model->item(combo->count() - 1);
        added->setEnabled(false);
        added->setToolTip(why);
    }
}

void setupCombo(QComboBox *combo, std::initializer_list<EngineItem> items, const char *tooltip,
                const char *key, const char *fallback, UnavailableReason reason, UsableEngine usable)
{
    addItems(combo, items, reason);
    combo->setToolTip(QString::fromUtf8(tooltip));

    // The stored choice is shown as the engine it prints with; the stored
    // value itself is left as it is until the user picks another.
    const QVariant stored = QSettings().value(QLatin1String(key), QLatin1String(fallback));
    const QString choice = stored.typeId() == QMetaType::QString ? stored.toString() : QString();
    combo->setCurrentIndex(std::max(0, combo->findData(usable(choice))));

    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [combo, key] {
        QSettings().setValue(QLatin1String(key), combo->currentData().toString());
    });
}

} // namespace

void settleEngineDefaults(bool acrobatInstalled)
{
    QSettings settings;
    if (settings.value(QStringLiteral("acrobatDefaultRestored"), false).toBool())
        return;
    settings.setValue(QStringLiteral("pdfEngine"),
                      acrobatInstalled ? QStringLiteral("acrobat") : QStringLiteral("pdfium"));
    settings.setValue(QStringLiteral("acrobatDefaultRestored"), true);
}

void setupPdfEngineCombo(QComboBox *combo)
{
    setupCombo(combo, {{"Adobe Acrobat", "acrobat"}, {"Built-in PDF", "pdfium"}},
               "Acrobat：Print through Acrobat COM\n"
               "Built-in PDF：Render directly to the printer without converting to images\n"
               "Filecache uses Acrobat capture first and falls back to the built-in PDF engine "
               "on failure",
               "pdfEngine", "acrobat", pdfEngineUnavailableReason, usablePdfEngine);
}

void setupOfficeEngineCombo(QComboBox *combo)
{
    setupCombo(combo,
               {{"Automatic", "auto"},
                {"Microsoft Office", "microsoft"},
                {"WPS Office", "wps"},
                {"LibreOffice", "libreoffice"}},
               "Automatic: use Microsoft Office first, then WPS Office, then LibreOffice\n"
               "You can also select a specific office suite",
               "officeEngine", "auto", officeEngineUnavailableReason, usableOfficeEngine);
}
