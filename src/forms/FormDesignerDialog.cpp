#include "forms/FormDesignerDialog.h"

#include "forms/DesignerGraphicsView.h"
#include "forms/FormCanvas.h"
#include "forms/FormDesignerUi.h"
#include "forms/FormElementItem.h"
#include "forms/FormScene.h"
#include "store/LocalStore.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPageSize>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

using namespace Forms;

namespace {

constexpr int kHistoryLimit = 100;

bool localeUsesInches()
{
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
}

// One shortcut for the platform's keys of an action and the key the tips
// name: where the platform already binds that key, a second shortcut on it
// would make it ambiguous and neither would fire.
QShortcut *historyShortcut(QKeySequence::StandardKey action, const QKeySequence &named, QWidget *parent)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(action);
    if (!keys.contains(named))
        keys << named;
    auto *shortcut = new QShortcut(parent);
    shortcut->setKeys(keys);
    return shortcut;
}

void selectByData(QComboBox *box, const QVariant &key)
{
    const int index = box->findData(key);
    box->setCurrentIndex(index >= 0 ? index : 0);
}

} // namespace

FormDesignerDialog::FormDesignerDialog(LocalStore *store, const QStringList &printerNames, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_printerNames(printerNames)
    , m_scene(new FormScene(this))
    , m_canvas(new FormCanvas(m_scene))
    , m_ui(new Ui)
{
    setWindowTitle(QStringLiteral("Continuous & Multipart Form Designer"));
    setMinimumSize(860, 520);
    QSize size(1280, 760);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = screen->availableSize().boundedTo(size);
    resize(size);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    m_historyTimer.setSingleShot(true);
    m_historyTimer.setInterval(350);

    m_canvas->elementGeometryChanged = [this](FormElementItem *element) {
        if (element->isSelected() && element == firstSelected())
            refreshProperties();
    };
    m_canvas->snapshotRequested = [this] { commitHistory(); };
    m_canvas->selectionContentsChanged = [this] { refreshProperties(); };

    buildUi();
    connectUi();
    m_ui->ncrParts->setEnabled(false);
    m_ui->ncrHint->hide();
    updateHistoryButtons();
    refreshTemplateList(0);
    newForm();
}

FormDesignerDialog::~FormDesignerDialog()
{
    // The elements call back into the dialog: gone before it is.
    m_canvas->clear();
    delete m_canvas;
    delete m_ui;
}

void FormDesignerDialog::connectUi()
{
    Ui &ui = *m_ui;
    connect(ui.templates, &QComboBox::currentIndexChanged, this, [this] {
        const int id = m_ui->templates->currentData().toInt();
        if (id <= 0 || id == m_templateId)
            return;
        const bool go = settleUnsavedChanges(); // saving may rebuild the list
        const QSignalBlocker blocker(m_ui->templates);
        if (go)
            loadTemplate(id);
        selectByData(m_ui->templates, m_templateId);
    });
    connect(ui.newButton, &QPushButton::clicked, this, [this] {
        if (settleUnsavedChanges())
            newForm();
    });
    connect(ui.saveButton, &QPushButton::clicked, this, &FormDesignerDialog::saveCurrentTemplate);
    connect(ui.deleteTemplateButton, &QPushButton::clicked, this, &FormDesignerDialog::deleteCurrentTemplate);
    connect(ui.undoButton, &QPushButton::clicked, this, &FormDesignerDialog::undo);
    connect(ui.redoButton, &QPushButton::clicked, this, &FormDesignerDialog::redo);
    connect(historyShortcut(QKeySequence::Undo, QKeySequence(QStringLiteral("Ctrl+Z")), this),
            &QShortcut::activated, this, &FormDesignerDialog::undo);
    connect(historyShortcut(QKeySequence::Redo, QKeySequence(QStringLiteral("Ctrl+Y")), this),
            &QShortcut::activated, this, &FormDesignerDialog::redo);
    connect(ui.printButton, &QPushButton::clicked, this, &FormDesignerDialog::printForm);

    connect(ui.paperWidth, &QDoubleSpinBox::valueChanged, this, &FormDesignerDialog::updatePaperRect);
    connect(ui.paperHeight, &QDoubleSpinBox::valueChanged, this, &FormDesignerDialog::updatePaperRect);
    connect(ui.paperPreset, &QComboBox::currentIndexChanged, this, &FormDesignerDialog::applyPaperPreset);
    connect(ui.printers, &QComboBox::currentTextChanged, this, [this] {
        if (m_ui->paperPreset->currentData().toString() == QLatin1String("driver"))
            applyPrinterDefaultPaper();
    });
    connect(ui.unit, &QComboBox::currentIndexChanged, this,
            [this] { setMeasurementUnit(m_ui->unit->currentData().toString() == QLatin1String("in")); });
    connect(ui.workflow, &QComboBox::currentIndexChanged, this, [this] {
        updateNcrState();
        scheduleHistory();
    });
    connect(ui.ncrParts, &QComboBox::currentIndexChanged, this, &FormDesignerDialog::scheduleHistory);
    connect(ui.offsetX, &QDoubleSpinBox::valueChanged, this, &FormDesignerDialog::scheduleHistory);
    connect(ui.offsetY, &QDoubleSpinBox::valueChanged, this, &FormDesignerDialog::scheduleHistory);
    connect(ui.swapButton, &QPushButton::clicked, this, [this] {
        const double width = m_ui->paperWidth->value();
        m_ui->paperWidth->setValue(m_ui->paperHeight->value());
        m_ui->paperHeight->setValue(width);
    });
    const QStringList types = {QStringLiteral("text"), QStringLiteral("field"), QStringLiteral("table"),
                               QStringLiteral("rect"), QStringLiteral("line")};
    for (int i = 0; i < types.size(); ++i) {
        const QString type = types.at(i);
        connect(ui.componentButtons.at(i), &QPushButton::clicked, this, [this, type] { addElement(type); });
    }

    connect(m_scene, &QGraphicsScene::selectionChanged, this, &FormDesignerDialog::refreshProperties);
    connect(ui.content, &QLineEdit::textEdited, this, &FormDesignerDialog::applyProperties);
    connect(ui.fieldKey, &QLineEdit::textEdited, this, &FormDesignerDialog::applyProperties);
    for (QDoubleSpinBox *field : {ui.x, ui.y, ui.width, ui.height})
        connect(field, &QDoubleSpinBox::valueChanged, this, &FormDesignerDialog::applyProperties);
    for (QSpinBox *field : {ui.fontSize, ui.border, ui.rows, ui.columns})
        connect(field, &QSpinBox::valueChanged, this, &FormDesignerDialog::applyProperties);
    connect(ui.alignment, &QComboBox::currentIndexChanged, this, &FormDesignerDialog::applyProperties);
    connect(ui.deleteButton, &QPushButton::clicked, this, &FormDesignerDialog::deleteSelected);
    connect(new QShortcut(QKeySequence::Delete, this), &QShortcut::activated, this,
            &FormDesignerDialog::deleteSelected);
    connect(ui.duplicateButton, &QPushButton::clicked, this, &FormDesignerDialog::duplicateSelected);
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+D")), this), &QShortcut::activated, this,
            &FormDesignerDialog::duplicateSelected);
    connect(ui.frontButton, &QPushButton::clicked, this, [this] { m_canvas->bringToFront(); });
    connect(ui.backButton, &QPushButton::clicked, this, [this] { m_canvas->sendToBack(); });

    m_view->zoomChanged = [this](int percent) { applyZoom(percent); };
    connect(ui.zoomIn, &QToolButton::clicked, this, [this] { m_view->zoomIn(); });
    connect(ui.zoomOut, &QToolButton::clicked, this, [this] { m_view->zoomOut(); });
    connect(ui.zoomReset, &QPushButton::clicked, this, [this] { m_view->resetZoom(); });
    connect(ui.zoomFit, &QPushButton::clicked, this, [this] { m_view->fitCanvas(); });
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+0")), this), &QShortcut::activated, this,
            [this] { m_view->fitCanvas(); });
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+1")), this), &QShortcut::activated, this,
            [this] { m_view->resetZoom(); });
    connect(ui.zoomSlider, &QSlider::valueChanged, this, [this](int value) {
        if (value != m_view->zoomPercent())
            m_view->setZoomPercent(value);
    });
    connect(&m_historyTimer, &QTimer::timeout, this, &FormDesignerDialog::commitHistory);
}

void FormDesignerDialog::applyZoom(int percent)
{
    const QSignalBlocker blocker(m_ui->zoomSlider);
    m_ui->zoomSlider->setValue(std::clamp(percent, m_ui->zoomSlider->minimum(), m_ui->zoomSlider->maximum()));
    m_ui->zoomValue->setText(QStringLiteral("%1%").arg(percent));
}

void FormDesignerDialog::updateNcrState()
{
    const bool ncr = m_ui->workflow->currentData().toString() == QLatin1String("ncr-impact");
    m_ui->ncrParts->setEnabled(ncr);
    m_ui->ncrHint->setVisible(ncr);
}

FormElementItem *FormDesignerDialog::firstSelected() const
{
    return m_canvas->firstSelected();
}

// ---- Elements and layouts ----

void FormDesignerDialog::addElement(const QString &type)
{
    m_canvas->addElement(type);
}

void FormDesignerDialog::duplicateSelected()
{
    m_canvas->duplicateSelected();
}

void FormDesignerDialog::deleteSelected()
{
    m_canvas->deleteSelected();
}

QString FormDesignerDialog::currentLayoutJson() const
{
    FormSetup setup;
    setup.formMode = m_ui->workflow->currentData().toString();
    setup.multipartParts = m_ui->ncrParts->currentData().toInt();
    setup.measurementUnit = m_inches ? QStringLiteral("in") : QStringLiteral("mm");
    setup.horizontalOffsetMm = millimetres(m_ui->offsetX);
    setup.verticalOffsetMm = millimetres(m_ui->offsetY);
    return QString::fromUtf8(layoutJson(setup, m_canvas->elementValues()));
}

void FormDesignerDialog::restoreLayout(const QString &json)
{
    m_canvas->clear();
    const ParsedLayout layout = parseLayoutJson(json.toUtf8());
    if (!layout.isObject)
        return;
    const FormSetup &setup = layout.setup;
    {
        const QSignalBlocker blocker(m_ui->unit);
        selectByData(m_ui->unit, setup.measurementUnit);
    }
    setMeasurementUnit(setup.measurementUnit == QLatin1String("in"));
    {
        const QSignalBlocker blocker(m_ui->workflow);
        selectByData(m_ui->workflow, setup.formMode);
    }
    updateNcrState();
    {
        const QSignalBlocker parts(m_ui->ncrParts);
        const QSignalBlocker x(m_ui->offsetX);
        const QSignalBlocker y(m_ui->offsetY);
        selectByData(m_ui->ncrParts, setup.multipartParts);
        setMillimetres(m_ui->offsetX, setup.horizontalOffsetMm);
        setMillimetres(m_ui->offsetY, setup.verticalOffsetMm);
    }
    m_canvas->setElements(layout.elements);
    refreshProperties();
}

// ---- Templates ----

void FormDesignerDialog::refreshTemplateList(int selectId)
{
    const QSignalBlocker blocker(m_ui->templates);
    m_ui->templates->clear();
    m_ui->templates->addItem(QStringLiteral("Select saved template…"), 0);
    for (const QVariant &row : m_store->formTemplates()) {
        const QVariantMap record = row.toMap();
        m_ui->templates->addItem(record.value(QStringLiteral("name")).toString(),
                                 record.value(QStringLiteral("id")).toInt());
    }
    selectByData(m_ui->templates, selectId);
}

void FormDesignerDialog::loadTemplate(int id)
{
    const QVariantMap record = m_store->formTemplate(id);
    if (record.isEmpty())
        return;
    m_loading = true;
    m_historyTimer.stop();
    m_templateId = id;
    m_ui->name->setText(record.value(QStringLiteral("name")).toString());
    restoreLayout(record.value(QStringLiteral("layout_json")).toString());
    const double width = record.value(QStringLiteral("paper_width_mm"), 210).toDouble();
    const double height = record.value(QStringLiteral("paper_height_mm"), 297).toDouble();
    setMillimetres(m_ui->paperWidth, width);
    setMillimetres(m_ui->paperHeight, height);
    {
        const QSignalBlocker blocker(m_ui->paperPreset);
        selectByData(m_ui->paperPreset, matchingPaperPreset(width, height));
    }
    updatePaperRect();
    m_loading = false;
    resetHistory();
    m_savedState = editState();
}

void FormDesignerDialog::newForm()
{
    m_loading = true;
    m_historyTimer.stop();
    m_templateId = 0;
    {
        const QSignalBlocker blocker(m_ui->templates);
        m_ui->templates->setCurrentIndex(0);
    }
    m_ui->name->setText(QStringLiteral("New continuous form"));
    const bool inches = localeUsesInches();
    {
        const QSignalBlocker blocker(m_ui->unit);
        selectByData(m_ui->unit, inches ? QStringLiteral("in") : QStringLiteral("mm"));
    }
    setMeasurementUnit(inches);
    selectByData(m_ui->workflow, QStringLiteral("standard"));
    updateNcrState();
    m_ui->ncrParts->setCurrentIndex(0);
    m_ui->offsetX->setValue(0);
    m_ui->offsetY->setValue(0);
    {
        const QSignalBlocker blocker(m_ui->paperPreset);
        selectByData(m_ui->paperPreset, QStringLiteral("driver"));
    }
    applyPrinterDefaultPaper();
    m_canvas->clear();
    updatePaperRect();
    addElement(QStringLiteral("text"));
    m_loading = false;
    resetHistory();
    m_savedState = editState();
}

void FormDesignerDialog::saveCurrentTemplate()
{
    if (storeCurrentTemplate())
        QMessageBox::information(this, QStringLiteral("Template saved"),
                                 QStringLiteral("The form template was saved locally."));
}

bool FormDesignerDialog::storeCurrentTemplate()
{
    int savedId = 0;
    QString error;
    const QString state = editState();
    if (!m_store->saveTemplate(m_templateId, m_ui->name->text(), paperWidthMm(), paperHeightMm(),
                               currentLayoutJson(), &savedId, &error)) {
        QMessageBox::warning(this, QStringLiteral("Save failed"), error);
        return false;
    }
    m_templateId = savedId;
    m_savedState = state;
    refreshTemplateList(savedId);
    return true;
}

// ---- Unsaved changes ----

QString FormDesignerDialog::editState() const
{
    // What a saved template holds: name, paper and layout.
    return QStringList{m_ui->name->text(), QString::number(paperWidthMm(), 'g', 12),
                       QString::number(paperHeightMm(), 'g', 12), currentLayoutJson()}
        .join(QChar(0));
}

bool FormDesignerDialog::hasUnsavedChanges() const
{
    return editState() != m_savedState;
}

bool FormDesignerDialog::settleUnsavedChanges()
{
    if (!hasUnsavedChanges())
        return true;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Unsaved changes"),
                    QStringLiteral("“%1” has changes that are not saved. Save them first?")
                        .arg(m_ui->name->text()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setTextFormat(Qt::PlainText); // the name as typed, never markup
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return storeCurrentTemplate();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void FormDesignerDialog::reject()
{
    // Escape and the window's close button both come here.
    if (settleUnsavedChanges())
        QDialog::reject();
}

void FormDesignerDialog::deleteCurrentTemplate()
{
    if (m_templateId <= 0)
        return;
    if (QMessageBox::question(this, QStringLiteral("Delete template"),
                              QStringLiteral("Delete this form template? This cannot be undone."),
                              QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    QString error;
    if (!m_store->deleteTemplate(m_templateId, &error)) {
        QMessageBox::warning(this, QStringLiteral("Delete failed"), error);
        return;
    }
    refreshTemplateList(0);
    newForm();
}

// ---- History ----

void FormDesignerDialog::commitHistory()
{
    if (m_loading)
        return;
    m_historyTimer.stop();
    const QString snapshot = currentLayoutJson();
    if (m_historyIndex >= 0 && m_historyIndex < m_history.size() && m_history.at(m_historyIndex) == snapshot) {
        updateHistoryButtons();
        return;
    }
    m_history.erase(m_history.begin() + (m_historyIndex + 1), m_history.end());
    m_history.append(snapshot);
    m_historyIndex = int(m_history.size()) - 1;
    if (m_history.size() > kHistoryLimit) {
        m_history.removeFirst();
        --m_historyIndex;
    }
    updateHistoryButtons();
}

void FormDesignerDialog::scheduleHistory()
{
    if (!m_loading)
        m_historyTimer.start();
}

void FormDesignerDialog::resetHistory()
{
    m_historyTimer.stop();
    m_history = {currentLayoutJson()};
    m_historyIndex = 0;
    updateHistoryButtons();
}

void FormDesignerDialog::undo()
{
    if (m_historyTimer.isActive())
        commitHistory();
    if (m_historyIndex < 1)
        return;
    m_loading = true;
    --m_historyIndex;
    restoreLayout(m_history.at(m_historyIndex));
    m_loading = false;
    updateHistoryButtons();
}

void FormDesignerDialog::redo()
{
    if (m_historyTimer.isActive())
        commitHistory();
    if (m_historyIndex + 1 >= m_history.size())
        return;
    m_loading = true;
    ++m_historyIndex;
    restoreLayout(m_history.at(m_historyIndex));
    m_loading = false;
    updateHistoryButtons();
}

void FormDesignerDialog::updateHistoryButtons()
{
    m_ui->undoButton->setEnabled(m_historyIndex >= 1);
    m_ui->redoButton->setEnabled(m_historyIndex >= 0 && m_historyIndex + 1 < m_history.size());
}
