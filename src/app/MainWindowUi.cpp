// The window's widget tree, top to bottom, and its style.
#include "app/MainWindow.h"

#include "app/EngineChoice.h"
#include "app/SummaryCard.h"
#include "app/TopBarLayout.h"
#include "app/WindowStyle.h"
#include "engines/Dispatch.h"
#include "queue/ColoredTabBar.h"
#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

QPushButton *makeButton(const QString &text, const char *objectName, const QString &toolTip,
                        QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    if (objectName)
        button->setObjectName(QLatin1String(objectName));
    if (!toolTip.isEmpty())
        button->setToolTip(toolTip);
    return button;
}

QLabel *mutedLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("MutedText"));
    return label;
}

} // namespace

void MainWindow::setupUi()
{
    auto *central = new QWidget(this);
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildSidebar());
    layout->addWidget(buildMainArea(), 1);
    setCentralWidget(central);

    m_ui.statusLabel = new QLabel(this);
    m_ui.statusLabel->setTextFormat(Qt::PlainText); // names as they are, never markup
    statusBar()->addWidget(m_ui.statusLabel, 1);
    showStatus(QStringLiteral("Ready"));

    for (QPushButton *button : findChildren<QPushButton *>())
        button->setCursor(Qt::PointingHandCursor);
    setStyleSheet(mainWindowStyleSheet());
}

QWidget *MainWindow::buildSidebar()
{
    auto *sidebar = new QFrame;
    sidebar->setObjectName(QStringLiteral("Sidebar"));
    sidebar->setFixedWidth(244);
    auto *layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(18, 24, 18, 18);
    layout->setSpacing(10);

    m_ui.formsButton = makeButton(
        QStringLiteral("Forms designer"), "PrimaryButton",
        QStringLiteral("Design continuous, preprinted and multipart NCR forms (Ctrl+Shift+F)"),
        sidebar);
    m_ui.formsButton->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+F")));
    layout->addWidget(m_ui.formsButton);

    layout->addSpacing(16);
    auto *line = new QFrame(sidebar);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
    layout->addSpacing(4);

    m_ui.newHotFolderButton =
        makeButton(QStringLiteral("+ New hot folder"), "SecondaryButton", QString(), sidebar);
    layout->addWidget(m_ui.newHotFolderButton);

    // Many presets would make the window taller than the screen: the tabs
    // scroll instead.
    auto *tabs = m_ui.tabScroll = new QScrollArea(sidebar);
    tabs->setObjectName(QStringLiteral("HotFolderScroll"));
    tabs->setFrameShape(QFrame::NoFrame);
    tabs->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tabs->setWidgetResizable(true);
    auto *holder = new QWidget;
    holder->setObjectName(QStringLiteral("HotFolderHolder"));
    auto *holderLayout = new QVBoxLayout(holder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    m_ui.tabBar = new ColoredTabBar(holder);
    m_ui.tabBar->addTab(QStringLiteral("Normal queue"));
    m_ui.tabBar->setTabData(0, 0);
    m_ui.printerCombo = m_ui.tabBar->printerCombo();
    m_ui.propertiesButton = m_ui.tabBar->propertiesButton();
    holderLayout->addWidget(m_ui.tabBar);
    holderLayout->addStretch(1);
    tabs->setWidget(holder);
    layout->addWidget(tabs, 1);
    return sidebar;
}

QWidget *MainWindow::buildMainArea()
{
    auto *area = new QWidget;
    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(14);

    // The top bar's three groups share a row where the window is wide
    // enough and go to rows of their own where it is not.
    auto *topBar = new QWidget(area);
    auto *top = new TopBarLayout(topBar);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(9);
    const auto group = [topBar](int leftMargin) {
        auto *box = new QWidget(topBar);
        auto *row = new QHBoxLayout(box);
        row->setContentsMargins(leftMargin, 0, 0, 0);
        row->setSpacing(9);
        return row;
    };
    QHBoxLayout *cards = group(0);
    m_ui.queueCard = makeSummaryCard(QStringLiteral("Queue"), QStringLiteral("#2563eb"), area);
    m_ui.printerCard = makeSummaryCard(QStringLiteral("Printer"), QStringLiteral("#4f46e5"), area);
    m_ui.printedCard = makeSummaryCard(QStringLiteral("Printed"), QStringLiteral("#059669"), area);
    cards->addWidget(m_ui.queueCard);
    cards->addWidget(m_ui.printerCard);
    cards->addWidget(m_ui.printedCard);

    settleEngineDefaults(isAcrobatInstalled());
    QHBoxLayout *engines = group(14);
    m_ui.pdfEngine = new QComboBox(area);
    m_ui.officeEngine = new QComboBox(area);
    for (QComboBox *combo : {m_ui.pdfEngine, m_ui.officeEngine}) {
        combo->setObjectName(QStringLiteral("PrintEngineCombo"));
        combo->setMinimumWidth(132);
    }
    setupPdfEngineCombo(m_ui.pdfEngine);
    setupOfficeEngineCombo(m_ui.officeEngine);
    engines->addWidget(mutedLabel(QStringLiteral("PDF"), area));
    engines->addWidget(m_ui.pdfEngine);
    engines->addWidget(mutedLabel(QStringLiteral("Office"), area));
    engines->addWidget(m_ui.officeEngine);

    QHBoxLayout *tools = group(0);
    m_ui.historyButton = makeButton(QStringLiteral("History"), "SecondaryButton",
                                    QStringLiteral("Open print history"), area);
    m_ui.refreshButton = makeButton(QStringLiteral("Refresh"), "SecondaryButton",
                                    QStringLiteral("Refresh the printer list"), area);
    m_ui.cacheButton = makeButton(QStringLiteral("Cache"), "SecondaryButton",
                                  QStringLiteral("Open the cache manager"), area);
    tools->addWidget(m_ui.historyButton);
    tools->addWidget(m_ui.refreshButton);
    tools->addWidget(m_ui.cacheButton);
    for (QHBoxLayout *row : {cards, engines, tools})
        top->addWidget(row->parentWidget());
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    topBar->setSizePolicy(policy);
    layout->addWidget(topBar);

    auto *actions = new QHBoxLayout;
    actions->setSpacing(8);
    m_ui.hotFolderHint = new QLabel(area);
    m_ui.hotFolderHint->setObjectName(QStringLiteral("HotFolderHint"));
    m_ui.hotFolderHint->setWordWrap(true);
    m_ui.hotFolderHint->setTextFormat(Qt::PlainText);
    actions->addWidget(m_ui.hotFolderHint, 1);
    m_ui.importButton = makeButton(QStringLiteral("Import files"), "PrimaryButton",
                                   QStringLiteral("Add files to the current print queue"), area);
    m_ui.imageLayoutButton =
        makeButton(QStringLiteral("Image layout"), "SecondaryButton", QString(), area);
    m_ui.clearButton = makeButton(QStringLiteral("Clear queue"), nullptr,
                                  QStringLiteral("Remove all files from the current queue"), area);
    m_ui.stopButton = makeButton(
        QStringLiteral("Stop remaining jobs"), "StopBatchButton",
        QStringLiteral("The current file will finish. Remaining files will not be sent to the "
                       "printer."),
        area);
    m_ui.stopButton->hide();
    m_ui.printAllButton = makeButton(QStringLiteral("Print all"), "PrimaryButton", QString(), area);
    for (QPushButton *button : {m_ui.importButton, m_ui.imageLayoutButton, m_ui.clearButton,
                                m_ui.stopButton, m_ui.printAllButton})
        actions->addWidget(button);
    layout->addLayout(actions);

    m_ui.table = new ReorderTableWidget(area);
    QueueTable::setup(m_ui.table);
    layout->addWidget(m_ui.table, 1);
    return area;
}
