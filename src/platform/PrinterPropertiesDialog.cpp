#include "platform/PrinterPropertiesDialog.h"

#include "platform/LastError.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace Platform {

int documentPropertiesPrompt(QWidget *parent, PrinterHandle &printer, DeviceMode *inOut)
{
    PrinterProperties properties;
    if (!printerProperties(printer, &properties))
        return -1;
    PrinterPropertiesDialog dialog(printer, properties, *inOut, parent);
    if (dialog.exec() != QDialog::Accepted)
        return IDCANCEL;
    *inOut = dialog.deviceMode();
    return IDOK;
}

PrinterPropertiesDialog::PrinterPropertiesDialog(PrinterHandle &printer,
                                                 const PrinterProperties &properties,
                                                 const DeviceMode &devMode, QWidget *parent)
    : QDialog(parent)
    , m_printer(printer)
    , m_properties(properties)
    , m_in(devMode)
{
    setWindowTitle(QStringLiteral("%1 Printing Preferences").arg(printer.name()));
    setMinimumWidth(460);
    const PropertyChoices initial = choicesForRecord(printer, m_properties, devMode);
    m_problem = new QLabel(this);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color:#dc2626;"));
    m_problem->hide();

    // Groups in the order the printer gives them; the copies go first.
    QStringList groups = {QStringLiteral("General")};
    for (const PrinterProperty &property : std::as_const(m_properties.properties)) {
        if (!groups.contains(property.group))
            groups << property.group;
    }
    auto *tabs = new QTabWidget(this);
    for (const QString &group : std::as_const(groups))
        tabs->addTab(buildGroupPage(group, initial), group);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PrinterPropertiesDialog::tryAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
}

QWidget *PrinterPropertiesDialog::buildGroupPage(const QString &group,
                                                 const PropertyChoices &initial)
{
    // A printer may offer hundreds of options: each page scrolls.
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    if (group == QLatin1String("General")) {
        m_copies = new QSpinBox(page);
        m_copies->setRange(1, m_properties.maximumCopies);
        m_copies->setValue(m_in.dmCopies);
        form->addRow(QStringLiteral("Copies:"), m_copies);
        if (m_properties.properties.isEmpty()) {
            // A raw queue passes the data on as it is.
            form->addRow(new QLabel(QStringLiteral("This printer offers no settings besides copies."),
                                    page));
        }
    }
    for (const PrinterProperty &property : std::as_const(m_properties.properties)) {
        if (property.group != group)
            continue;
        auto *combo = new QComboBox(page);
        for (const PropertyChoice &choice : property.choices)
            combo->addItem(choice.text, choice.keyword);
        combo->setCurrentIndex(combo->findData(initial.value(property.keyword)));
        combo->setEnabled(property.choices.size() > 1);
        connect(combo, &QComboBox::currentIndexChanged, m_problem, &QLabel::hide);
        m_combos.insert(property.keyword, combo);
        form->addRow(property.text + QLatin1Char(':'), combo);
    }
    scroll->setWidget(page);
    return scroll;
}

QStringList PrinterPropertiesDialog::optionKeywords() const
{
    QStringList keywords;
    for (const PrinterProperty &property : m_properties.properties)
        keywords << property.keyword;
    return keywords;
}

QString PrinterPropertiesDialog::choice(const QString &keyword) const
{
    const QComboBox *combo = m_combos.value(keyword);
    return combo ? combo->currentData().toString() : QString();
}

bool PrinterPropertiesDialog::choose(const QString &keyword, const QString &choiceKeyword)
{
    QComboBox *combo = m_combos.value(keyword);
    const int index = combo ? combo->findData(choiceKeyword) : -1;
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    return true;
}

QString PrinterPropertiesDialog::problemText() const
{
    return m_problem->isHidden() ? QString() : m_problem->text();
}

PropertyChoices PrinterPropertiesDialog::currentChoices() const
{
    PropertyChoices choices;
    for (auto it = m_combos.cbegin(); it != m_combos.cend(); ++it)
        choices.insert(it.key(), it.value()->currentData().toString());
    return choices;
}

void PrinterPropertiesDialog::tryAccept()
{
    const PropertyChoices choices = currentChoices();
    const auto conflicts = conflictingChoices(m_properties, choices);
    if (!conflicts.isEmpty()) {
        QStringList pairs;
        for (const auto &[first, second] : conflicts)
            pairs << QStringLiteral("%1 and %2").arg(first, second);
        m_problem->setText(QStringLiteral("These choices cannot be used together: %1.")
                               .arg(pairs.join(QStringLiteral("; "))));
        m_problem->show();
        return;
    }
    DeviceMode result =
        recordWithChoices(m_printer, m_properties, m_in, choices, m_copies->value());
    // The printer has the last word, as a driver merges what its window set.
    if (documentPropertiesMerge(m_printer, &result) != IDOK) {
        m_problem->setText(withLastErrorReason(QStringLiteral("The printer refused these choices.")));
        m_problem->show();
        return;
    }
    m_result = result;
    accept();
}

} // namespace Platform
