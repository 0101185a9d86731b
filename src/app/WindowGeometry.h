#pragma once

#include <QRect>
#include <QSize>

class QScreen;

namespace WindowGeometry {

inline constexpr QSize kMinimumSize{900, 560};
inline constexpr QSize kPreferredSize{1328, 760};

// The screen's work area, limited to the preferred size in each dimension.
QSize initialSizeFor(const QRect &availableGeometry);
// As above for a screen; the preferred size when there is none.
QSize initialSizeFor(const QScreen *screen);

} // namespace WindowGeometry
