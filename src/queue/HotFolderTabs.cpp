#include "queue/HotFolderTabs.h"

#include "engines/PaperKey.h"
#include "queue/ColoredTabBar.h"
#include "queue/JobModel.h"

#include <QSignalBlocker>

namespace HotFolderTabs {

namespace {

QString paperLabelOf(const HotFolder &folder)
{
    const QString key = folder.value(QStringLiteral("paper_size")).toString();
    return paperKeyLabel(key.isEmpty() ? QLatin1String(kDriverDefaultPaper) : key);
}

} // namespace

void fill(ColoredTabBar *bar, const QVariantList &hotFolders, int selectId)
{
    const QSignalBlocker quiet(bar);
    while (bar->count() > 0)
        bar->removeTab(bar->count() - 1);
    bar->addTab(QStringLiteral("Normal queue"));
    bar->setTabData(0, 0);
    int selected = 0;
    for (const QVariant &value : hotFolders) {
        const HotFolder folder = value.toMap();
        const int id = folder.value(QStringLiteral("id")).toInt();
        const int index = bar->addTab(folder.value(QStringLiteral("name")).toString());
        bar->setTabData(index, id);
        bar->setTabColor(index, QColor(folder.value(QStringLiteral("tab_color")).toString()));
        bar->setTabDetails(index, details(folder));
        if (id == selectId)
            selected = index;
    }
    bar->setCurrentIndex(selected);
}

QString details(const HotFolder &folder)
{
    static const char *const kDuplex[] = {"Simplex", "Long-edge duplex", "Short-edge duplex"};
    const int mode = folder.value(QStringLiteral("duplex_mode")).toInt();
    return QStringLiteral("%1 | %2\n%3")
        .arg(QLatin1String(kDuplex[mode >= 0 && mode <= 2 ? mode : 0]),
             colorText(folder.value(QStringLiteral("color")).toBool()), paperLabelOf(folder));
}

QString hintLine(const HotFolder &folder)
{
    if (folder.isEmpty()) {
        return QStringLiteral("Normal queue: printer, duplex, color, paper, and other settings use "
                              "the printer driver properties.");
    }
    const QString printer = folder.value(QStringLiteral("printer_name")).toString();
    return QStringLiteral("Current hot folder: %1　Printer：%2　%3　%4　%5")
        .arg(folder.value(QStringLiteral("name")).toString(),
             printer.isEmpty() ? QStringLiteral("Nothing selectedPrinter") : printer,
             duplexModeText(folder.value(QStringLiteral("duplex_mode")).toInt()),
             colorText(folder.value(QStringLiteral("color")).toBool()), paperLabelOf(folder));
}

} // namespace HotFolderTabs
