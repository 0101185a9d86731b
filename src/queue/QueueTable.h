#pragma once

#include "store/QueueRecords.h"

#include <functional>

class QSpinBox;
class QToolButton;
class ReorderTableWidget;

// How the rows of the current list are drawn, and what their row controls do.
struct QueueTableContext
{
    bool isHotFolder = false; // the tab is a hot folder whose record exists
    // An ordinary row has a print cache for its settings ("Cache ready").
    std::function<bool(const QueueEntry &row)> hasCache;
    // A printed row whose job the printer has not finished yet.
    std::function<bool(const QueueEntry &row)> isWaitingAtPrinter;
    std::function<void(int row)> printRow;
    std::function<void(int row)> removeRow;
    std::function<void(int row, int copies)> copiesChanged;
};

namespace QueueTable {

enum Column { Number, File, Status, Printer, Duplex, Color, Size, Copies, Info, Actions, ColumnCount };

// Item data of the File cell.
inline constexpr int PathRole = Qt::UserRole;
inline constexpr int IsCacheRole = Qt::UserRole + 1;
inline constexpr int SourcePathRole = Qt::UserRole + 2;

// Columns, header and the two header buttons; once per table.
void setup(ReorderTableWidget *table);
// Replaces every row with the given entries.
void render(ReorderTableWidget *table, const QVariantList &entries, const QueueTableContext &context);
// One row drawn again from its entry, as render() draws it; the other rows
// stay as they are.
void renderRow(ReorderTableWidget *table, int row, const QueueEntry &entry,
               const QueueTableContext &context);
// The row's status cell tells what is being done with it, until the next render.
void showRowActivity(ReorderTableWidget *table, int row, const QString &text);
// The row is being printed: its status and buttons say so until the next render.
void markRowBusy(ReorderTableWidget *table, int row);

// The row's copies box while the row is in view (its widgets exist only then).
QSpinBox *copiesBox(const ReorderTableWidget *table, int row);
// What the row's copies box shows, in view or not; 0 for no such row.
int rowCopies(const ReorderTableWidget *table, int row);
// Every row's copies box shows this number (the database is the caller's).
void setAllCopies(ReorderTableWidget *table, int copies);
QToolButton *sortButton(const ReorderTableWidget *table);
QToolButton *copiesButton(const ReorderTableWidget *table);
// Puts the header buttons just after their header texts.
void placeHeaderButtons(ReorderTableWidget *table);

} // namespace QueueTable
