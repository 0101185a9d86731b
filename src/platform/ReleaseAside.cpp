#include "platform/ReleaseAside.h"

#include <QThreadPool>

#include <condition_variable>
#include <mutex>

namespace Platform {

namespace {

// One thread that stays, and the count of releases handed to it.
struct ReleaseThread
{
    ReleaseThread()
    {
        pool.setMaxThreadCount(1);
        pool.setExpiryTimeout(-1);
    }

    std::mutex mutex;
    std::condition_variable idle;
    int pending = 0;
    // Last, so it is destroyed first: waiting for what is still being
    // released while the count is still there.
    QThreadPool pool;
};

} // namespace

void releaseAside(std::function<void()> release)
{
    static ReleaseThread thread;
    {
        std::unique_lock<std::mutex> lock(thread.mutex);
        thread.idle.wait(lock, [] { return thread.pending == 0; });
        ++thread.pending;
    }
    thread.pool.start([release = std::move(release)]() mutable {
        release();
        release = nullptr;
        {
            const std::lock_guard<std::mutex> lock(thread.mutex);
            --thread.pending;
        }
        thread.idle.notify_all();
    });
}

} // namespace Platform
