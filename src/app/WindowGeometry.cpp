#include "app/WindowGeometry.h"

#include <QScreen>

namespace WindowGeometry {

QSize initialSizeFor(const QRect &availableGeometry)
{
    return availableGeometry.size().boundedTo(kPreferredSize);
}

QSize initialSizeFor(const QScreen *screen)
{
    return screen ? initialSizeFor(screen->availableGeometry()) : kPreferredSize;
}

} // namespace WindowGeometry
