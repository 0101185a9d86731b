#pragma once

#include <QList>
#include <QStringList>

// A list's new order after moving some of its rows to a drop position.
struct RowMove
{
    QStringList newOrder; // every path of the list
    int insertAt = 0;     // where the first moved row now is
    int movedCount = 0;
};

// rows: indexes into paths, in the order they are to stay in (out-of-range
// indexes and repeats are skipped); target: the drop position, 0..size.
RowMove moveRowsTo(const QStringList &paths, const QList<int> &rows, int target);

// The paths sorted by name with a collation that ignores case and reads
// digit runs as numbers (file2 before file10); equal names keep their order.
QStringList sortedByName(const QStringList &paths, const QStringList &names, bool ascending);
