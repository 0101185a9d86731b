// From starting the program's process to its window shown and painted
// (offscreen), median of 10 starts, with an empty list and with 10,000
// rows; the baseline is a process that shows an empty Qt main window.
//   bench_startup

#include "BenchSupport.h"
#include "StandIns.h"
#include "app/MainWindow.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kStarts = 10;

// The child: what the program's main() does, then one line once painted.
template <typename Window>
int showOnce(int argc, char *argv[])
{
    QApplication app(argc, argv);
    applyApplicationIdentity(app);
    applyApplicationLook(app);
    // The dependency check would otherwise stop at its box about the
    // programs that do not exist here.
    StandInPrograms programs;
    Window window;
    window.show();
    QCoreApplication::processEvents();
    window.repaint();
    std::puts("shown");
    std::fflush(stdout);
    return 0;
}

qint64 startMedian(const char *mode)
{
    QList<qint64> times;
    for (int i = 0; i < kStarts; ++i) {
        QProcess child;
        QElapsedTimer timer;
        timer.start();
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(mode)});
        while (!child.canReadLine() && child.waitForReadyRead(30000)) {
        }
        times << timer.elapsed();
        child.waitForFinished();
    }
    return median(times);
}

void fillList(int rows)
{
    QTemporaryDir dir;
    dir.setAutoRemove(false); // the rows must keep existing files
    ShownList list;
    const QStringList paths = makeScanFiles(dir.path(), rows);
    list.queue.addFiles(paths);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--window") == 0)
        return showOnce<MainWindow>(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--baseline") == 0)
        return showOnce<QMainWindow>(argc, argv);

    BenchProcess process(argc, argv);
    const qint64 baseline = startMedian("--baseline");
    const qint64 empty = startMedian("--window");
    fillList(10000);
    const qint64 full = startMedian("--window");
    std::printf("start to window shown (median of %d): empty list %lld ms, 10000 rows %lld ms "
                "(empty Qt window %lld ms)\n",
                kStarts, empty, full, baseline);
    return 0;
}
