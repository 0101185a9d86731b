#pragma once

// What every benchmark needs: medians, the process's peak memory, and a
// print list as the window shows it.

#include "PrivateCups.h"
#include "TestProfile.h"
#include "app/AppIdentity.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"
#include "store/LocalStore.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QStandardPaths>

#include <sys/resource.h>

#include <algorithm>

// A benchmark process: its own profile, an offscreen display, the private
// scheduler when one is set up, and the application object, in that order.
struct BenchProcess
{
    BenchProcess(int &argc, char **argv)
        : ready(prepare())
        , app(argc, argv)
    {
        applyApplicationIdentity(app);
    }

    TestProfile profile;
    bool ready;
    QApplication app;

private:
    static bool prepare()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        PrivateCups::connectFromEnvironment();
        return true;
    }
};

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

// count tiny PDF files named "scan 00000.pdf" on, in the folder.
inline QStringList makeScanFiles(const QString &folder, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = QDir(folder).filePath(QStringLiteral("scan %1.pdf").arg(i, 5, 10, QChar('0')));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("%PDF-1.4\n");
        paths << path;
    }
    return paths;
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
