#include "queue/RowOrder.h"

#include <QCollator>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <numeric>

RowMove moveRowsTo(const QStringList &paths, const QList<int> &rows, int target)
{
    QStringList moving;
    QSet<int> taken;
    int before = 0;
    for (const int row : rows) {
        if (row < 0 || row >= paths.size() || taken.contains(row))
            continue;
        taken.insert(row);
        moving << paths.at(row);
        if (row < target)
            ++before;
    }
    QStringList remaining;
    for (int i = 0; i < paths.size(); ++i) {
        if (!taken.contains(i))
            remaining << paths.at(i);
    }
    RowMove move;
    move.insertAt = std::clamp(target - before, 0, int(remaining.size()));
    move.movedCount = int(moving.size());
    move.newOrder = remaining;
    for (qsizetype i = 0; i < moving.size(); ++i)
        move.newOrder.insert(move.insertAt + i, moving.at(i));
    return move;
}

QStringList sortedByName(const QStringList &paths, const QStringList &names, bool ascending)
{
    // The C locale compares code points and knows no numeric mode.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);

    QList<int> order(paths.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int cmp = collator.compare(names.at(a), names.at(b));
        return ascending ? cmp < 0 : cmp > 0;
    });
    QStringList sorted;
    for (const int index : order)
        sorted << paths.at(index);
    return sorted;
}
