#include "queue/HotFolderEditor.h"

#include "engines/PaperKey.h"
#include "engines/PrinterDefaults.h"
#include "queue/DriverProperties.h"
#include "store/LocalStore.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char kDefaultTabColor[] = "#e9edf3";

QString paperText(const QString &key)
{
    return key == QLatin1String(kDriverDefaultPaper) ? QStringLiteral("Use printer driver default")
                                                      : paperKeyLabel(key);
}

QLabel *mutedLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("MutedText"));
    label->setWordWrap(true);
    return label;
}

} // namespace

HotFolderEditor::HotFolderEditor(LocalStore *store, const QStringList &printers, int id,
                                 QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_id(id)
    , m_stored(id > 0 ? store->hotFolder(id) : HotFolder())
{
    setWindowTitle(id > 0 ? QStringLiteral("Edit hot folder") : QStringLiteral("New hot folder"));
    setMinimumWidth(430);
    buildUi(printers);

    const QColor stored(m_stored.value(QStringLiteral("tab_color")).toString());
    setTabColor(stored.isValid() ? stored : QColor(QLatin1String(kDefaultTabColor)));
    syncEditorFromDriver(m_id > 0 && !m_stored.isEmpty());
    // Another printer has other papers and defaults.
    connect(m_printer, &QComboBox::currentIndexChanged, this, [this] { syncEditorFromDriver(false); });
}

void HotFolderEditor::buildUi(const QStringList &printers)
{
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;

    m_name = new QLineEdit(m_stored.value(QStringLiteral("name")).toString(), this);
    m_name->setPlaceholderText(QStringLiteral("For example: duplex monochrome"));
    form->addRow(QStringLiteral("Name"), m_name);

    m_printer = new QComboBox(this);
    for (const QString &printer : printers)
        m_printer->addItem(printer, printer);
    const QString storedPrinter = m_stored.value(QStringLiteral("printer_name")).toString();
    int printerIndex = m_printer->findData(storedPrinter, Qt::UserRole,
                                           Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (printerIndex < 0 && !storedPrinter.isEmpty()) {
        // A preset whose printer is gone keeps it until the user picks another:
        // quietly retargeting it would send its files somewhere else.
        m_missingPrinter = storedPrinter;
        m_printer->insertItem(0, QStringLiteral("%1 (not installed)").arg(storedPrinter), storedPrinter);
        m_printer->setItemData(0, QStringLiteral("This printer is not installed."), Qt::ToolTipRole);
        printerIndex = 0;
    }
    if (printerIndex >= 0)
        m_printer->setCurrentIndex(printerIndex);
    form->addRow(QStringLiteral("Printer"), m_printer);

    m_duplex = new QComboBox(this);
    m_duplex->addItems({QStringLiteral("Simplex"), QStringLiteral("Duplex (long edge)"),
                        QStringLiteral("Duplex (short edge)")});
    m_duplex->setCurrentIndex(qBound(0, m_stored.value(QStringLiteral("duplex_mode")).toInt(), 2));
    form->addRow(QStringLiteral("Duplex"), m_duplex);

    m_color = new QComboBox(this);
    m_color->addItems({QStringLiteral("Monochrome"), QStringLiteral("Color")});
    m_color->setCurrentIndex(m_stored.value(QStringLiteral("color")).toBool() ? 1 : 0);
    form->addRow(QStringLiteral("Color"), m_color);

    m_paper = new QComboBox(this);
    form->addRow(QStringLiteral("Paper size"), m_paper);

    m_driverButton = new QPushButton(QStringLiteral("Open printer driver settings..."), this);
    m_driverButton->setObjectName(QStringLiteral("SecondaryButton"));
    m_driverButton->setToolTip(QStringLiteral("Open the selected printer's native properties "
                                              "and sync the values below"));
    connect(m_driverButton, &QPushButton::clicked, this, &HotFolderEditor::openDriverSettings);
    form->addRow(QStringLiteral("Driver settings"), m_driverButton);

    m_tabColorButton = new QPushButton(this);
    m_tabColorButton->setObjectName(QStringLiteral("TabColorButton"));
    connect(m_tabColorButton, &QPushButton::clicked, this, &HotFolderEditor::chooseTabColor);
    form->addRow(QStringLiteral("Tab color"), m_tabColorButton);
    layout->addLayout(form);

    m_info = mutedLabel(QString(), this);
    layout->addWidget(m_info);
    layout->addWidget(mutedLabel(QStringLiteral("Set copies for each file in the print list."), this));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *save = new QPushButton(QStringLiteral("Save"), this);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton *button : {save, cancel}) {
        button->setCursor(Qt::PointingHandCursor);
        buttons->addWidget(button);
    }
    connect(save, &QPushButton::clicked, this, &HotFolderEditor::trySave);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addLayout(buttons);
}

void HotFolderEditor::setTabColor(const QColor &color)
{
    m_tabColor = color;
    const QString name = color.name(QColor::HexRgb);
    m_tabColorButton->setText(QStringLiteral("Choose color  %1").arg(name));
    m_tabColorButton->setStyleSheet(QStringLiteral("QPushButton#TabColorButton { background-color:%1; "
                                                   "color:#172033; border:1px solid #98a2b3; }")
                                        .arg(name));
}

void HotFolderEditor::chooseTabColor()
{
    const QColor chosen = QColorDialog::getColor(m_tabColor, this, QStringLiteral("Choose tab color"));
    if (chosen.isValid())
        setTabColor(chosen);
}

void HotFolderEditor::openDriverSettings()
{
    DriverValues values;
    QString error;
    if (openPrinterProperties(this, printerName(), &values, &error)) {
        syncEditorFromDriver(false);
        return;
    }
    if (!error.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Printer settings"), error);
}

void HotFolderEditor::syncEditorFromDriver(bool keepStored)
{
    const QString printer = printerName();
    const QString storedKey = m_stored.value(QStringLiteral("paper_size")).toString();
    PrinterDefaults defaults;
    QString failure;
    m_paper->clear();
    if (!readPrinterDefaults(printer, &defaults, &failure)) {
        const bool missing = !m_missingPrinter.isEmpty() && printer == m_missingPrinter;
        QString key = QLatin1String(kDriverDefaultPaper);
        if ((keepStored || missing) && !storedKey.isEmpty())
            key = storedKey;
        m_paper->addItem(paperText(key), key);
        m_info->setText(missing ? QStringLiteral("The printer “%1” is not installed. Saving keeps it and "
                                                 "these values; choose another printer to change it.")
                                      .arg(printer)
                                : QStringLiteral("Driver values could not be read. Paper size will follow "
                                                 "the printer driver."));
        m_info->setToolTip(failure);
        return;
    }
    for (const PaperOption &paper : std::as_const(defaults.papers))
        m_paper->addItem(paper.name, paper.key);

    QString wanted = defaults.paperKey;
    if (keepStored && !m_stored.isEmpty()) {
        if (!storedKey.isEmpty())
            wanted = storedKey;
    } else {
        m_duplex->setCurrentIndex(qBound(0, defaults.duplexMode, 2));
        m_color->setCurrentIndex(defaults.color ? 1 : 0);
    }
    selectPaper(wanted);
    m_info->setText(QStringLiteral("Synced from the %1 printer driver. Changing the printer refreshes "
                                   "these values.")
                        .arg(printer));
    m_info->setToolTip(QString());
}

void HotFolderEditor::selectPaper(const QString &wanted)
{
    int index = m_paper->findData(wanted);
    for (int i = 0; index < 0 && i < m_paper->count(); ++i) {
        if (paperCodeForKey(m_paper->itemData(i).toString()) == paperCodeForKey(wanted))
            index = i;
    }
    if (index < 0) {
        m_paper->addItem(paperKeyLabel(wanted), wanted);
        index = m_paper->count() - 1;
    }
    m_paper->setCurrentIndex(index);
}

QString HotFolderEditor::printerName() const
{
    return m_printer->currentData().toString();
}

void HotFolderEditor::trySave()
{
    if (m_name->text().trimmed().isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Name cannot be empty"),
                             QStringLiteral("Enter a hot folder name."));
        return;
    }
    if (printerName().trimmed().isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Printer cannot be empty"),
                             QStringLiteral("Connect and select a hot folder printer first."));
        return;
    }
    accept();
}

HotFolderPreset HotFolderEditor::preset() const
{
    HotFolderPreset preset;
    preset.name = m_name->text();
    preset.printerName = printerName();
    preset.duplexMode = m_duplex->currentIndex();
    preset.color = m_color->currentIndex() == 1;
    preset.paperKey = m_paper->currentData().toString();
    preset.tabColor = m_tabColor.name(QColor::HexRgb);
    return preset;
}

bool HotFolderEditor::run()
{
    if (exec() != QDialog::Accepted)
        return false;
    QString error;
    const bool stored = m_id > 0 ? m_store->updateHotFolder(m_id, preset(), &error)
                                 : m_store->addHotFolder(preset(), &error);
    if (!stored) {
        QMessageBox::warning(this, QStringLiteral("SaveFailed"),
                             error.contains(QLatin1String("UNIQUE"))
                                 ? QStringLiteral("Hot folder names must be unique.")
                                 : error);
    }
    return stored;
}
