#include "platform/ReleaseAside.h"

#include <QCoreApplication>
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

ReleaseThread &releaseThread()
{
    static ReleaseThread thread;
    static const bool drainedWithTheApplication = [] {
        qAddPostRoutine(waitForReleases);
        return true;
    }();
    Q_UNUSED(drainedWithTheApplication);
    return thread;
}

} // namespace

void waitForReleases()
{
    ReleaseThread &thread = releaseThread();
    std::unique_lock<std::mutex> lock(thread.mutex);
    thread.idle.wait(lock, [&] { return thread.pending == 0; });
}

void releaseAside(std::function<void()> release)
{
    ReleaseThread &thread = releaseThread();
    {
        std::unique_lock<std::mutex> lock(thread.mutex);
        thread.idle.wait(lock, [&] { return thread.pending == 0; });
        ++thread.pending;
    }
    thread.pool.start([&thread, release = std::move(release)]() mutable {
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
