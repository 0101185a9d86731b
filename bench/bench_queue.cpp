// How long adding whole folders of files and rebuilding the table take.

#include "TestProfile.h"
#include "app/AppIdentity.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"
#include "store/LocalStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QStringList makeFiles(const QTemporaryDir &dir, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = dir.filePath(QStringLiteral("scan %1.pdf").arg(i, 5, 10, QChar('0')));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("%PDF-1.4\n");
        paths << path;
    }
    return paths;
}

void run(int count)
{
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)).removeRecursively();
    LocalStore store;
    store.open();
    ReorderTableWidget table;
    QueueTable::setup(&table);
    QueueController queue(&store, &table);
    QTemporaryDir dir;
    const QStringList paths = makeFiles(dir, count);

    QElapsedTimer timer;
    timer.start();
    queue.addFiles(paths); // one database insert per file, then one rebuild
    const qint64 addMs = timer.elapsed();

    timer.restart();
    queue.reloadQueueTable();
    const qint64 reloadMs = timer.elapsed();

    timer.restart();
    queue.moveRows({count - 1}, 0);
    const qint64 moveMs = timer.elapsed();

    std::printf("%6d files: addFiles %6lld ms (%.3f ms/file), rebuild %6lld ms (%.3f ms/row), "
                "move one row %6lld ms\n",
                count, addMs, double(addMs) / count, reloadMs, double(reloadMs) / count, moveMs);
}

} // namespace

int main(int argc, char *argv[])
{
    TestProfile profile;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    applyApplicationIdentity(app);
    for (const int count : {1000, 10000})
        run(count);
    return 0;
}
