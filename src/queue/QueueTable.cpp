#include "queue/QueueTable.h"

#include "queue/JobModel.h"
#include "queue/QueueRowWidgets.h"
#include "queue/ReorderTableWidget.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QSpinBox>
#include <QToolButton>

namespace QueueTable {

namespace {

const char kDragHint[] =
    "Drag to reorder; select multiple rows and press Delete to remove or drag the group";
const char kHeaderButtonStyle[] =
    "QToolButton { background:transparent; border:0; border-radius:6px; padding:3px; }"
    "QToolButton:hover { background:#e8f0ff; }QToolButton:pressed { background:#dbe8ff; }";

// One shared text for the rows of a long list, not one copy per cell.
const QString &dragHint()
{
    static const QString hint = QLatin1String(kDragHint);
    return hint;
}

QString text(const QueueEntry &row, const char *key)
{
    return row.value(QLatin1String(key)).toString();
}

bool isCacheJob(const QueueEntry &row)
{
    return text(row, "task_type") == QLatin1String("cache");
}

QToolButton *makeHeaderButton(QHeaderView *header, const char *name, const char *icon,
                              const char *tooltip)
{
    auto *button = new QToolButton(header->viewport());
    button->setObjectName(QLatin1String(name));
    button->setIcon(QIcon(QLatin1String(icon)));
    button->setIconSize(QSize(14, 14));
    button->setFixedSize(20, 20);
    button->setToolTip(QLatin1String(tooltip));
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QLatin1String(kHeaderButtonStyle));
    return button;
}

QTableWidgetItem *numberItem(int row)
{
    auto *item = new QTableWidgetItem(QString::number(row + 1));
    item->setTextAlignment(Qt::AlignCenter);
    item->setForeground(QColor(0x98, 0xa2, 0xb3));
    item->setToolTip(dragHint());
    return item;
}

// The system's icon for a file, which here follows its type and whether it
// exists: looked up once per kind while a list is drawn.
class FileIcons
{
public:
    QIcon icon(const QFileInfo &file)
    {
        // A missing file may get another icon than an existing one.
        const QString type = lowerSuffix(file.filePath()) + (file.exists() ? u'+' : u'-');
        auto found = m_byType.constFind(type);
        if (found == m_byType.constEnd())
            found = m_byType.insert(type, m_provider.icon(file));
        return *found;
    }

private:
    QFileIconProvider m_provider;
    QHash<QString, QIcon> m_byType;
};

// A file cell whose tooltip (its path and what can be done) is made when it
// is shown, not for each of thousands of rows as the list is built.
class FileCell : public QTableWidgetItem
{
public:
    using QTableWidgetItem::QTableWidgetItem;

    QVariant data(int role) const override
    {
        const QVariant value = QTableWidgetItem::data(role);
        if (role != Qt::ToolTipRole || value.isValid())
            return value;
        return QTableWidgetItem::data(PathRole).toString()
            + QStringLiteral("\nDouble-click to open; drag to reorder;select multiple rows and press Delete "
                             "to remove or drag the group");
    }
    QTableWidgetItem *clone() const override { return new FileCell(*this); }
};

// A row's file as found on disk: looked at once for its icon and its size.
QFileInfo rowFile(const QueueEntry &row)
{
    return QFileInfo(isCacheJob(row) ? text(row, "source_path") : text(row, "path"));
}

QTableWidgetItem *fileItem(const QueueEntry &row, const QFileInfo &file, FileIcons &icons)
{
    const bool cache = isCacheJob(row);
    const QString path = text(row, "path");
    const QString source = text(row, "source_path");
    auto *item = new FileCell(icons.icon(file), text(row, "file_name"));
    item->setData(PathRole, path);
    item->setData(IsCacheRole, cache);
    item->setData(SourcePathRole, source);
    if (cache) {
        item->setToolTip(QStringLiteral("Standalone cache job\nOriginal file：%1\nCache: %2\n"
                                        "It can still be printed if the original file is moved "
                                        "or deleted")
                             .arg(source, QFileInfo(text(row, "cache_path")).absoluteFilePath()));
    }
    return item;
}

QTableWidgetItem *statusItem(const QueueEntry &row, const QueueTableContext &context)
{
    auto *item = new QTableWidgetItem;
    item->setToolTip(dragHint());
    const QString status = text(row, "status");
    if (status == QLatin1String("printed")) {
        if (context.isWaitingAtPrinter && context.isWaitingAtPrinter(row)) {
            item->setText(QStringLiteral("Waiting at the printer"));
            item->setForeground(QColor(0x25, 0x63, 0xeb));
            item->setToolTip(QStringLiteral("The print service has the job; the printer has not finished it yet"));
            return item;
        }
        item->setText(QStringLiteral("Printed"));
        item->setForeground(QColor(0x05, 0x96, 0x69));
        return item;
    }
    if (status == QLatin1String("failed")) {
        item->setText(QStringLiteral("Failed"));
        item->setForeground(QColor(0xdc, 0x26, 0x26));
        item->setToolTip(text(row, "last_error"));
    } else {
        item->setText(QStringLiteral("Pending"));
    }

    const bool cache = isCacheJob(row);
    const bool cacheReady = cache ? QFileInfo::exists(text(row, "cache_path"))
                                  : (context.hasCache && context.hasCache(row));
    if (cacheReady) {
        item->setText(QStringLiteral("Cache ready"));
        item->setForeground(QColor(0x7c, 0x3a, 0xed));
        item->setToolTip(cache ? QStringLiteral("Standalone cache job: upload directly to the "
                                                "current printer without the original file")
                               : QStringLiteral("The cache will be uploaded directly to the "
                                                "printer when printing"));
    }
    return item;
}

QString infoText(const QueueEntry &row, const QFileInfo &file)
{
    if (isCacheJob(row)) {
        const QFileInfo cache(text(row, "cache_path"));
        return cache.exists() ? QStringLiteral("Standalone cache · %1").arg(formatFileSize(cache.size()))
                              : QStringLiteral("Cached file is missing");
    }
    const QString path = text(row, "path");
    if (!file.exists())
        return QStringLiteral("File is missing");
    return formatFileSize(file.size()) + QStringLiteral(" · ") + lowerSuffix(path).toUpper();
}

void applyGeometry(ReorderTableWidget *table, bool hotFolder)
{
    table->verticalHeader()->setDefaultSectionSize(hotFolder ? 44 : 46);
    QHeaderView *header = table->horizontalHeader();
    for (int column = 0; column < ColumnCount; ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(Number, QHeaderView::Fixed);
    header->setSectionResizeMode(File, QHeaderView::Stretch);
    header->setSectionResizeMode(Copies, QHeaderView::Fixed);
    header->setSectionResizeMode(Actions, QHeaderView::Fixed);
    table->setColumnWidth(Number, hotFolder ? 34 : 42);
    table->setColumnWidth(Copies, 90);
    table->setColumnWidth(Actions, 154);
    for (const int column : {Printer, Duplex, Color, Size})
        table->setColumnHidden(column, true);
    table->setColumnHidden(Info, hotFolder);
}

} // namespace

void setup(ReorderTableWidget *table)
{
    table->setObjectName(QStringLiteral("QueueTable"));
    table->setColumnCount(ColumnCount);
    table->setHorizontalHeaderLabels({"#", "File", "Status", "Printer", "Duplex", "Color", "Size",
                                      "Copies", "Info", "Actions"});
    QHeaderView *header = table->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(40);
    table->verticalHeader()->setVisible(false);
    table->setShowGrid(false);
    table->setTextElideMode(Qt::ElideMiddle);
    table->setAlternatingRowColors(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setFocusPolicy(Qt::StrongFocus);
    table->setMouseTracking(true);
    applyGeometry(table, false);
    new QueueRowWidgets(table);

    makeHeaderButton(header, "HeaderFileSortButton", ":/icons/sort_vertical.svg",
                     "Sort file names in ascending order");
    makeHeaderButton(header, "HeaderCopiesButton", ":/icons/copies_adjust.svg",
                     "Set copies for all files in the current list");
    const auto place = [table] { placeHeaderButtons(table); };
    QObject::connect(header, &QHeaderView::geometriesChanged, table, place);
    QObject::connect(header, &QHeaderView::sectionResized, table, place);
    placeHeaderButtons(table);
}

void placeHeaderButtons(ReorderTableWidget *table)
{
    QHeaderView *header = table->horizontalHeader();
    const QFontMetrics metrics(header->font());
    const auto place = [&](QToolButton *button, int section) {
        if (!button)
            return;
        const QString label = table->horizontalHeaderItem(section)->text();
        const int x = header->sectionViewportPosition(section)
            + metrics.horizontalAdvance(label) + 15;
        button->move(x, (header->height() - button->height()) / 2);
    };
    place(sortButton(table), File);
    place(copiesButton(table), Copies);
}

namespace {

QueueRowWidgets *rowWidgets(const ReorderTableWidget *table)
{
    return table->findChild<QueueRowWidgets *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

void render(ReorderTableWidget *table, const QVariantList &entries, const QueueTableContext &context)
{
    // The cells are filled with the column widths held: a column that fits
    // its contents would otherwise measure its rows again after every cell.
    QHeaderView *header = table->horizontalHeader();
    for (int column = 0; column < ColumnCount; ++column)
        header->setSectionResizeMode(column, QHeaderView::Fixed);
    table->clearContents();
    table->setRowCount(int(entries.size()));
    table->resetRows(int(entries.size()));

    FileIcons icons;
    QList<int> copies;
    copies.reserve(entries.size());
    for (int row = 0; row < entries.size(); ++row) {
        const QueueEntry entry = entries.at(row).toMap();
        const QFileInfo file = rowFile(entry);
        table->setItem(row, Number, numberItem(row));
        table->setItem(row, File, fileItem(entry, file, icons));
        table->setItem(row, Status, statusItem(entry, context));
        if (!context.isHotFolder)
            table->setItem(row, Info, new QTableWidgetItem(infoText(entry, file)));
        // Each row shows its own copies, in the normal queue as well: a
        // change to one row is not a change to every row.
        copies << std::max(entry.value(QStringLiteral("copies")).toInt(), 1);
    }
    applyGeometry(table, context.isHotFolder);
    if (QueueRowWidgets *widgets = rowWidgets(table))
        widgets->reset(copies, {context.printRow, context.removeRow, context.copiesChanged});
    placeHeaderButtons(table);
}

namespace {

// Between rebuilds the columns that fit their contents keep their widths,
// and one changed row only widens a column its new text does not fit: a
// fitted column measures up to a thousand rows after every change, a cost
// a batch would pay for every file of a long list.
void holdFittedColumns(ReorderTableWidget *table)
{
    QHeaderView *header = table->horizontalHeader();
    for (const int column : {Status, Printer, Duplex, Color, Size, Info}) {
        if (header->sectionResizeMode(column) == QHeaderView::ResizeToContents) {
            // Fitted now: the view may not have done it yet since the rebuild.
            if (!table->isColumnHidden(column))
                table->resizeColumnToContents(column);
            header->setSectionResizeMode(column, QHeaderView::Fixed);
        }
    }
}

void widenToFit(ReorderTableWidget *table, int row)
{
    for (const int column : {Status, Info}) {
        if (table->isColumnHidden(column))
            continue;
        const int wanted = table->cellWidthHint(row, column);
        if (wanted > table->columnWidth(column))
            table->setColumnWidth(column, wanted);
    }
}

} // namespace

void renderRow(ReorderTableWidget *table, int row, const QueueEntry &entry,
               const QueueTableContext &context)
{
    if (row < 0 || row >= table->rowCount())
        return;
    holdFittedColumns(table);
    FileIcons icons;
    const QFileInfo file = rowFile(entry);
    table->setItem(row, File, fileItem(entry, file, icons));
    table->setItem(row, Status, statusItem(entry, context));
    if (!context.isHotFolder)
        table->setItem(row, Info, new QTableWidgetItem(infoText(entry, file)));
    widenToFit(table, row);
    if (QueueRowWidgets *widgets = rowWidgets(table))
        widgets->resetRow(row, std::max(entry.value(QStringLiteral("copies")).toInt(), 1));
}

void showRowActivity(ReorderTableWidget *table, int row, const QString &text)
{
    holdFittedColumns(table);
    if (QTableWidgetItem *status = table->item(row, Status)) {
        status->setText(text);
        status->setForeground(QColor(0x25, 0x63, 0xeb));
        widenToFit(table, row);
    }
}

void markRowBusy(ReorderTableWidget *table, int row)
{
    showRowActivity(table, row, QStringLiteral("Printing"));
    if (QueueRowWidgets *widgets = rowWidgets(table))
        widgets->setBusy(row);
}

QSpinBox *copiesBox(const ReorderTableWidget *table, int row)
{
    const QueueRowWidgets *widgets = rowWidgets(table);
    return widgets ? widgets->copiesBox(row) : nullptr;
}

int rowCopies(const ReorderTableWidget *table, int row)
{
    const QueueRowWidgets *widgets = rowWidgets(table);
    return widgets ? widgets->copies(row) : 0;
}

void setAllCopies(ReorderTableWidget *table, int copies)
{
    if (QueueRowWidgets *widgets = rowWidgets(table))
        widgets->setAllCopies(copies);
}

QToolButton *sortButton(const ReorderTableWidget *table)
{
    return table->horizontalHeader()->findChild<QToolButton *>(QStringLiteral("HeaderFileSortButton"));
}

QToolButton *copiesButton(const ReorderTableWidget *table)
{
    return table->horizontalHeader()->findChild<QToolButton *>(QStringLiteral("HeaderCopiesButton"));
}

} // namespace QueueTable
