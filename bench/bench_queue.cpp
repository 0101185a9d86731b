// The print list as the user meets it: adding whole folders of files and
// rebuilding the table while it is shown (offscreen), against a plain table
// of the same rows in the same run.
//   bench_queue [rows...]      (default: 1000 10000)

#include "BenchSupport.h"
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
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

// Until the shown table has laid itself out and painted.
void settle(QWidget *table)
{
    QCoreApplication::processEvents();
    table->repaint();
    QCoreApplication::processEvents();
}

qint64 plainTable(int count)
{
    QTableWidget table;
    table.resize(1300, 700);
    table.show();
    QElapsedTimer timer;
    timer.start();
    table.setColumnCount(4);
    table.setRowCount(count);
    for (int row = 0; row < count; ++row) {
        table.setItem(row, 0, new QTableWidgetItem(QString::number(row + 1)));
        table.setItem(row, 1, new QTableWidgetItem(QStringLiteral("scan %1.pdf").arg(row)));
        table.setItem(row, 2, new QTableWidgetItem(QStringLiteral("Pending")));
        table.setItem(row, 3, new QTableWidgetItem(QStringLiteral("9 B · PDF")));
    }
    settle(&table);
    return timer.elapsed();
}

void run(int count)
{
    // The baseline first: its memory is free again before the list's own
    // is measured.
    const qint64 plainMs = plainTable(count);
    ShownList list;
    ReorderTableWidget &table = list.table;
    QueueController &queue = list.queue;
    QTemporaryDir dir;
    const QStringList paths = makeScanFiles(dir.path(), count);

    QElapsedTimer timer;
    timer.start();
    queue.addFiles(paths);
    settle(&table);
    const qint64 addMs = timer.elapsed();

    timer.restart();
    queue.reloadQueueTable();
    settle(&table);
    const qint64 reloadMs = timer.elapsed();

    timer.restart();
    for (int step = 0; step < 20; ++step) {
        table.verticalScrollBar()->setValue(table.verticalScrollBar()->maximum() * step / 19);
        settle(&table);
    }
    const qint64 scrollMs = timer.elapsed() / 20;

    timer.restart();
    queue.moveRows({count - 1}, 0);
    settle(&table);
    const qint64 moveMs = timer.elapsed();

    timer.restart();
    queue.sortByName(false);
    settle(&table);
    const qint64 sortMs = timer.elapsed();

    timer.restart();
    QString error;
    queue.clearList(&error);
    settle(&table);
    const qint64 clearMs = timer.elapsed();

    std::printf("%6d rows: addFiles %6lld ms, rebuild %6lld ms (plain table %lld ms, ratio %.1fx), "
                "scroll step %4lld ms, move one row %6lld ms, sort %6lld ms, clear %5lld ms, "
                "peak memory %ld MB\n",
                count, addMs, reloadMs, plainMs, double(reloadMs) / std::max<qint64>(plainMs, 1),
                scrollMs, moveMs, sortMs, clearMs, peakMemoryMb());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    BenchProcess process(argc, argv);
    QList<int> counts;
    for (int i = 1; i < argc; ++i)
        counts << QString::fromLocal8Bit(argv[i]).toInt();
    if (counts.isEmpty())
        counts = {1000, 10000};
    for (const int count : counts)
        run(count);
    return 0;
}
