#pragma once

#include "store/QueueRecords.h"

class ColoredTabBar;

namespace HotFolderTabs {

// Refills the bar: the normal queue, then one tab per hot folder in the
// given order. The tab whose id is selectId becomes current (the normal
// queue when none is); no tab change is signalled meanwhile.
void fill(ColoredTabBar *bar, const QVariantList &hotFolders, int selectId);

// "Simplex | Monochrome\nA4": a hot folder's two detail lines.
QString details(const HotFolder &folder);

// The line above the table for the current tab (an empty record is the
// normal queue, or a hot folder that is gone).
QString hintLine(const HotFolder &folder);

} // namespace HotFolderTabs
