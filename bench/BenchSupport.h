#pragma once

// What every benchmark needs: medians, the process's peak memory, and a
// print list as the window shows it.

#include "queue/QueueController.h"
#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"
#include "store/LocalStore.h"

#include <QDir>
#include <QList>
#include <QStandardPaths>

#include <sys/resource.h>

#include <algorithm>

inline qint64 median(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

inline long peakMemoryMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A fresh database and the print list's table, shown at a window's size.
struct ShownList
{
    ShownList()
    {
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
            .removeRecursively();
        store.open();
        QueueTable::setup(&table);
        table.resize(1300, 700);
        table.show();
    }

    LocalStore store;
    ReorderTableWidget table;
    QueueController queue{&store, &table};
};
