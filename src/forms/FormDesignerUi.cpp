#include "forms/FormDesignerUi.h"

#include "forms/DesignerGraphicsView.h"
#include "forms/FormScene.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QWheelEvent>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Forms;

namespace {

QLabel *label(const QString &text, const char *objectName = nullptr, bool wrap = false)
{
    auto *widget = new QLabel(text);
    if (objectName)
        widget->setObjectName(QLatin1String(objectName));
    widget->setWordWrap(wrap);
    return widget;
}

QPushButton *button(const QString &text, const char *objectName = nullptr, const QString &tip = QString())
{
    auto *widget = new QPushButton(text);
    if (objectName)
        widget->setObjectName(QLatin1String(objectName));
    widget->setToolTip(tip);
    return widget;
}

// Scrolling a panel must not turn the number fields the pointer passes
// over: they take the wheel only once clicked into, and otherwise pass it
// on, so the panel scrolls.
template <typename Base>
class WheelGuarded : public Base
{
public:
    WheelGuarded() { this->setFocusPolicy(Qt::StrongFocus); }

protected:
    void wheelEvent(QWheelEvent *event) override
    {
        if (this->hasFocus())
            Base::wheelEvent(event);
        else
            event->ignore();
    }
};

QDoubleSpinBox *lengthField()
{
    QDoubleSpinBox *field = new WheelGuarded<QDoubleSpinBox>;
    field->setKeyboardTracking(false);
    return field;
}

QSpinBox *integerField(int low, int high, const QString &suffix = QString())
{
    QSpinBox *field = new WheelGuarded<QSpinBox>;
    field->setRange(low, high);
    field->setSuffix(suffix);
    field->setKeyboardTracking(false);
    return field;
}

QFrame *horizontalLine()
{
    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    return line;
}

} // namespace

void setLengthFieldUnit(QDoubleSpinBox *field, bool inches, bool isPaper, bool isOffset)
{
    field->setSuffix(inches ? QStringLiteral(" in") : QStringLiteral(" mm"));
    field->setDecimals(inches ? 3 : 1);
    if (isOffset) {
        field->setSingleStep(inches ? 0.01 : 0.5);
        field->setRange(inches ? -3.937 : -100, inches ? 3.937 : 100);
    } else {
        field->setSingleStep(inches ? 0.01 : 1);
        field->setRange(isPaper ? (inches ? 1.181 : 30) : 0, inches ? 78.74 : 2000);
    }
}

void FormDesignerDialog::buildUi()
{
    Ui &ui = *m_ui;
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(14, 14, 14, 14);
    root->setSpacing(10);

    auto *top = new QVBoxLayout;
    top->setSpacing(7);
    auto *header = label(QStringLiteral("<span style='font-size:20px;font-weight:750'>Continuous & Multipart "
                                        "Form Designer</span><br><span style='color:#667085'>Design cut-sheet, "
                                        "tractor-feed and preprinted forms with precise printer alignment</span>"),
                         nullptr, true);
    header->setTextFormat(Qt::RichText);
    top->addWidget(header);
    auto *toolbar = new QHBoxLayout;
    toolbar->setSpacing(7);
    ui.templates = new QComboBox;
    ui.templates->setMinimumWidth(180);
    toolbar->addWidget(ui.templates, 1);
    ui.newButton = button(QStringLiteral("New"));
    ui.saveButton = button(QStringLiteral("Save template"), "PrimaryButton");
    ui.deleteTemplateButton = button(QStringLiteral("Delete template"));
    ui.undoButton = button(QStringLiteral("↶ Undo"), "HistoryButton", QStringLiteral("Undo the previous action (Ctrl+Z)"));
    ui.redoButton = button(QStringLiteral("↷ Redo"), "HistoryButton", QStringLiteral("Redo the last undone action (Ctrl+Y)"));
    toolbar->addWidget(ui.newButton);
    toolbar->addWidget(ui.saveButton);
    toolbar->addWidget(ui.deleteTemplateButton);
    toolbar->addSpacing(6);
    toolbar->addWidget(ui.undoButton);
    toolbar->addWidget(ui.redoButton);
    top->addLayout(toolbar);
    auto *printerRow = new QHBoxLayout;
    printerRow->addStretch();
    printerRow->addWidget(label(QStringLiteral("Printer")));
    ui.printers = new QComboBox;
    ui.printers->setMinimumWidth(170);
    ui.printers->addItems(m_printerNames);
    printerRow->addWidget(ui.printers);
    ui.printButton = button(QStringLiteral("Print form"), "PrimaryButton");
    printerRow->addWidget(ui.printButton);
    top->addLayout(printerRow);
    root->addLayout(top);

    auto *splitter = new QSplitter;
    splitter->setChildrenCollapsible(false);

    // Left: the form setup.
    auto *setup = new QWidget;
    setup->setMinimumWidth(230);
    setup->setMaximumWidth(270);
    auto *setupLayout = new QVBoxLayout(setup);
    setupLayout->setContentsMargins(10, 10, 10, 10);
    setupLayout->setSpacing(8);
    setupLayout->addWidget(label(QStringLiteral("Form setup"), "PanelTitle"));
    QLabel *nameLabel = label(QStringLiteral("Template name"));
    setupLayout->addWidget(nameLabel);
    ui.name = new QLineEdit;
    ui.name->setPlaceholderText(QStringLiteral("For example: three-part delivery note"));
    setupLayout->addWidget(ui.name);
    QLabel *workflowLabel = label(QStringLiteral("Form workflow"));
    setupLayout->addWidget(workflowLabel);
    ui.workflow = new QComboBox;
    for (const auto &[key, text] : formModes())
        ui.workflow->addItem(text, key);
    setupLayout->addWidget(ui.workflow);
    QLabel *ncrPartsLabel = label(QStringLiteral("NCR parts"));
    setupLayout->addWidget(ncrPartsLabel);
    ui.ncrParts = new QComboBox;
    for (const auto &[parts, text] : multipartChoices())
        ui.ncrParts->addItem(text, parts);
    setupLayout->addWidget(ui.ncrParts);
    ui.ncrHint = label(QStringLiteral("Impact mode prints once; pressure transfers the same content to every NCR copy."),
                       "InlineHint", true);
    setupLayout->addWidget(ui.ncrHint);
    QLabel *unitLabel = label(QStringLiteral("Measurement units"));
    setupLayout->addWidget(unitLabel);
    ui.unit = new QComboBox;
    ui.unit->addItem(QStringLiteral("Millimeters (mm)"), QStringLiteral("mm"));
    ui.unit->addItem(QStringLiteral("Inches (in)"), QStringLiteral("in"));
    setupLayout->addWidget(ui.unit);
    QLabel *paperPresetLabel = label(QStringLiteral("Paper preset"));
    setupLayout->addWidget(paperPresetLabel);
    ui.paperPreset = new QComboBox;
    for (const PaperPreset &preset : paperPresets())
        ui.paperPreset->addItem(preset.label, preset.key);
    setupLayout->addWidget(ui.paperPreset);
    auto *paperForm = new QFormLayout;
    ui.paperWidth = lengthField();
    ui.paperHeight = lengthField();
    paperForm->addRow(QStringLiteral("Width"), ui.paperWidth);
    paperForm->addRow(QStringLiteral("Height"), ui.paperHeight);
    setupLayout->addLayout(paperForm);
    ui.swapButton = button(QStringLiteral("Swap width and height"));
    setupLayout->addWidget(ui.swapButton);
    setupLayout->addWidget(label(QStringLiteral("Printer calibration"), "PanelTitle"));
    auto *offsetForm = new QFormLayout;
    ui.offsetX = lengthField();
    ui.offsetY = lengthField();
    offsetForm->addRow(QStringLiteral("Horizontal offset"), ui.offsetX);
    offsetForm->addRow(QStringLiteral("Vertical offset"), ui.offsetY);
    setupLayout->addLayout(offsetForm);
    setupLayout->addWidget(label(QStringLiteral("Use a test print to align fields with preprinted boxes or the "
                                                "top-of-form position."),
                                 "InlineHint", true));
    setupLayout->addWidget(horizontalLine());
    setupLayout->addWidget(label(QStringLiteral("Add component"), "PanelTitle"));
    for (const char *text : {"＋ Static text", "＋ Fill-in field", "＋ Table", "＋ Rectangle", "＋ Line"}) {
        ui.componentButtons << button(QString::fromUtf8(text), "ComponentButton");
        setupLayout->addWidget(ui.componentButtons.last());
    }
    setupLayout->addStretch();
    setupLayout->addWidget(label(QStringLiteral("Tips\n• Drag components to position them\n• Drag the lower-right "
                                                "corner to resize\n• Near table lines, components snap "
                                                "automatically\n• Ctrl+mouse wheel zooms the canvas\n• Ctrl+Z "
                                                "Undo，Ctrl+Y Redo\n• Delete removes\n• Ctrl+D duplicates"),
                                 "Tip", true));
    auto *leftScroll = new QScrollArea;
    leftScroll->setWidgetResizable(true);
    leftScroll->setMinimumWidth(250);
    leftScroll->setMaximumWidth(290);
    leftScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    leftScroll->setWidget(setup);
    splitter->addWidget(leftScroll);

    // Centre: zoom bar and canvas.
    auto *canvasPanel = new QWidget;
    canvasPanel->setObjectName(QStringLiteral("CanvasPanel"));
    auto *canvasLayout = new QVBoxLayout(canvasPanel);
    canvasLayout->setContentsMargins(0, 0, 0, 0);
    canvasLayout->setSpacing(8);
    auto *zoomBar = new QFrame;
    zoomBar->setObjectName(QStringLiteral("ZoomBar"));
    auto *zoomLayout = new QHBoxLayout(zoomBar);
    zoomLayout->setContentsMargins(10, 6, 10, 6);
    zoomLayout->setSpacing(7);
    zoomLayout->addWidget(label(QStringLiteral("Canvas zoom")));
    zoomLayout->addStretch();
    const auto toolButton = [](const QString &text, const QString &tip) {
        auto *tool = new QToolButton;
        tool->setText(text);
        tool->setObjectName(QStringLiteral("ZoomStepButton"));
        tool->setToolTip(tip);
        return tool;
    };
    ui.zoomOut = toolButton(QStringLiteral("−"), QStringLiteral("Zoom out"));
    ui.zoomSlider = new QSlider(Qt::Horizontal);
    ui.zoomSlider->setFixedWidth(150);
    ui.zoomSlider->setToolTip(QStringLiteral("Drag to adjust canvas zoom"));
    ui.zoomSlider->setRange(5, 400);
    ui.zoomSlider->setSingleStep(5);
    ui.zoomSlider->setPageStep(25);
    ui.zoomSlider->setValue(100);
    ui.zoomIn = toolButton(QStringLiteral("+"), QStringLiteral("Zoom in"));
    ui.zoomValue = label(QStringLiteral("100%"), "ZoomValue");
    ui.zoomValue->setAlignment(Qt::AlignCenter);
    ui.zoomValue->setMinimumWidth(54);
    ui.zoomReset = button(QStringLiteral("100%"), "ZoomButton", QStringLiteral("Reset to 100% (Ctrl+1)"));
    ui.zoomFit = button(QStringLiteral("Fit to window"), "ZoomButton", QStringLiteral("Show the full canvas (Ctrl+0)"));
    for (QWidget *widget : std::initializer_list<QWidget *>{ui.zoomOut, ui.zoomSlider, ui.zoomIn, ui.zoomValue,
                                                           ui.zoomReset, ui.zoomFit})
        zoomLayout->addWidget(widget);
    canvasLayout->addWidget(zoomBar);
    m_view = new DesignerGraphicsView;
    m_view->setObjectName(QStringLiteral("DesignerView"));
    m_view->setScene(m_scene);
    canvasLayout->addWidget(m_view, 1);
    splitter->addWidget(canvasPanel);

    // Right: the selected component's properties.
    auto *properties = new QWidget;
    auto *propertiesLayout = new QVBoxLayout(properties);
    propertiesLayout->setContentsMargins(12, 10, 12, 10);
    propertiesLayout->setSpacing(8);
    propertiesLayout->addWidget(label(QStringLiteral("Component properties"), "PanelTitle"));
    ui.selectionType = label(QStringLiteral("Nothing selected"), "SelectionType");
    propertiesLayout->addWidget(ui.selectionType);
    auto *form = new QFormLayout;
    ui.content = new QLineEdit;
    ui.content->setPlaceholderText(QStringLiteral("Displayed text or field name"));
    ui.fieldKey = new QLineEdit;
    ui.fieldKey->setPlaceholderText(QStringLiteral("For example: customer_name"));
    ui.x = lengthField();
    ui.y = lengthField();
    ui.width = lengthField();
    ui.height = lengthField();
    ui.fontSize = integerField(5, 72, QStringLiteral(" pt"));
    ui.alignment = new QComboBox;
    ui.alignment->addItem(QStringLiteral("Left"), QStringLiteral("left"));
    ui.alignment->addItem(QStringLiteral("Center"), QStringLiteral("center"));
    ui.alignment->addItem(QStringLiteral("Right"), QStringLiteral("right"));
    ui.border = integerField(0, 8, QStringLiteral(" px"));
    ui.rows = integerField(1, 50);
    ui.columns = integerField(1, 30);
    form->addRow(QStringLiteral("Content"), ui.content);
    form->addRow(QStringLiteral("Field key"), ui.fieldKey);
    form->addRow(QStringLiteral("X"), ui.x);
    form->addRow(QStringLiteral("Y"), ui.y);
    form->addRow(QStringLiteral("Width"), ui.width);
    form->addRow(QStringLiteral("Height"), ui.height);
    form->addRow(QStringLiteral("Font size"), ui.fontSize);
    form->addRow(QStringLiteral("Alignment"), ui.alignment);
    form->addRow(QStringLiteral("Border"), ui.border);
    form->addRow(QStringLiteral("Table rows"), ui.rows);
    form->addRow(QStringLiteral("Table columns"), ui.columns);
    propertiesLayout->addLayout(form);
    propertiesLayout->addWidget(horizontalLine());
    auto *stacking = new QHBoxLayout;
    ui.frontButton = button(QStringLiteral("Bring to front"));
    ui.backButton = button(QStringLiteral("Send to back"));
    stacking->addWidget(ui.frontButton);
    stacking->addWidget(ui.backButton);
    propertiesLayout->addLayout(stacking);
    ui.duplicateButton = button(QStringLiteral("Duplicate component"));
    ui.deleteButton = button(QStringLiteral("Delete component"), "DangerButton");
    propertiesLayout->addWidget(ui.duplicateButton);
    propertiesLayout->addWidget(ui.deleteButton);
    propertiesLayout->addStretch();
    auto *rightScroll = new QScrollArea;
    rightScroll->setWidgetResizable(true);
    rightScroll->setMinimumWidth(280);
    rightScroll->setMaximumWidth(340);
    rightScroll->setWidget(properties);
    splitter->addWidget(rightScroll);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setStretchFactor(2, 0);
    root->addWidget(splitter, 1);

    // Names for the fields that share a label text ("Width" is paper and
    // component both), so each can be found by name.
    ui.paperWidth->setObjectName(QStringLiteral("PaperWidth"));
    ui.paperHeight->setObjectName(QStringLiteral("PaperHeight"));
    ui.width->setObjectName(QStringLiteral("ComponentWidth"));
    ui.height->setObjectName(QStringLiteral("ComponentHeight"));
    ui.printers->setObjectName(QStringLiteral("PrinterSelector"));
    ui.templates->setObjectName(QStringLiteral("TemplateSelector"));
    // Each label names its field (mnemonics, screen readers).
    nameLabel->setBuddy(ui.name);
    workflowLabel->setBuddy(ui.workflow);
    ncrPartsLabel->setBuddy(ui.ncrParts);
    unitLabel->setBuddy(ui.unit);
    paperPresetLabel->setBuddy(ui.paperPreset);
    for (QDoubleSpinBox *field : ui.lengthFields())
        setLengthFieldUnit(field, false, field == ui.paperWidth || field == ui.paperHeight,
                           field == ui.offsetX || field == ui.offsetY);
    setStyleSheet(formDesignerStyleSheet());
}

QString formDesignerStyleSheet()
{
    return QStringLiteral(R"(
QDialog { background:#f3f6fa; color:#172033; font-family:"Segoe UI"; }
QLabel { color:#172033; background:transparent; }
QLabel#PanelTitle { color:#172033; font-size:14px; font-weight:700; }
QLabel#SelectionType { background:#eef5ff; color:#2455a6; border:1px solid #c9dcff; border-radius:6px;
  padding:8px; font-weight:700; }
QLabel#Tip { background:#f8fafc; color:#667085; border:1px solid #e2e8f0; border-radius:7px; padding:9px; }
QLabel#InlineHint { color:#667085; font-size:11px; }
QFrame#ZoomBar { background:#ffffff; border:1px solid #d8e0ea; border-radius:8px; }
QFrame#ZoomBar QLabel { color:#475467; font-weight:600; border:none; }
QLabel#ZoomValue { color:#1d4ed8; font-weight:700; }
QToolButton#ZoomStepButton { background:#ffffff; color:#344054; border:1px solid #cfd7e3; border-radius:6px;
  min-width:28px; min-height:28px; font-size:17px; font-weight:700; }
QToolButton#ZoomStepButton:hover { background:#eef4ff; color:#1d4ed8; border-color:#7da7f5; }
QPushButton#HistoryButton { font-weight:600; }
QPushButton#HistoryButton:disabled { background:#eef1f5; color:#98a2b3; border-color:#e1e6ee; }
QGraphicsView#DesignerView { background:#dce3ec; border:1px solid #cbd5e1; border-radius:8px; }
QScrollArea { background:#ffffff; border:1px solid #dfe5ee; border-radius:8px; }
QScrollArea > QWidget > QWidget { background:#ffffff; }
QLineEdit, QComboBox, QSpinBox, QDoubleSpinBox { background:#ffffff; border:1px solid #cfd7e3;
  border-radius:6px; padding:6px 8px; }
QPushButton { background:#ffffff; color:#344054; border:1px solid #d0d7e2; border-radius:7px; padding:6px 12px; }
QPushButton:hover { background:#f8fbff; border-color:#7da7f5; color:#1d4ed8; }
QPushButton#PrimaryButton { background:#2563eb; border-color:#2563eb; color:#ffffff; font-weight:700; }
QPushButton#PrimaryButton:hover { background:#1d4ed8; }
QPushButton#ComponentButton { text-align:left; padding:10px 12px; font-weight:600; }
QPushButton#DangerButton { color:#b42318; border-color:#f3b7b2; }
QPushButton#DangerButton:hover { background:#fff1f0; border-color:#e47770; }
QSplitter::handle { background:#e2e8f0; width:1px; }
)");
}
