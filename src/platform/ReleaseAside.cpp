#include "platform/ReleaseAside.h"

#include <QThreadPool>

#include <mutex>

namespace Platform {

void releaseAside(std::function<void()> release)
{
    // Destroyed at exit, after waiting for what is still being released.
    static QThreadPool pool;
    static std::mutex order;
    const std::lock_guard<std::mutex> lock(order);
    pool.setMaxThreadCount(1);
    pool.waitForDone();
    pool.start(std::move(release));
}

} // namespace Platform
