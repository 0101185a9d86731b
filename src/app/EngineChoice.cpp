#include "app/EngineChoice.h"

#include <QComboBox>
#include <QSettings>

namespace {

struct EngineItem
{
    const char *text;
    const char *data;
};

void setupCombo(QComboBox *combo, std::initializer_list<EngineItem> items, const char *tooltip,
                const char *key, const char *fallback)
{
    for (const EngineItem &item : items)
        combo->addItem(QString::fromUtf8(item.text), QLatin1String(item.data));
    combo->setToolTip(QString::fromUtf8(tooltip));

    // A value of another type or an unknown one selects the first item.
    const QVariant stored = QSettings().value(QLatin1String(key), QLatin1String(fallback));
    const int index = stored.typeId() == QMetaType::QString ? combo->findData(stored.toString())
                                                            : -1;
    combo->setCurrentIndex(index < 0 ? 0 : index);

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
               "pdfEngine", "acrobat");
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
               "officeEngine", "auto");
}
