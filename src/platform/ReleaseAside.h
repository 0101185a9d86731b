#pragma once

#include <functional>
#include <memory>
#include <tuple>
#include <utility>

// Letting go of a long document's objects (hundreds of thousands of small
// allocations) costs about as much as writing it. Once the job is on its
// way nobody waits for that: the objects are destroyed on a thread of their
// own, one document at a time, and always before the process exits.
namespace Platform {

// Runs the function on the release thread. Waits first while an earlier
// release is still running, so at most one document's objects wait there.
void releaseAside(std::function<void()> release);

// Returns once everything handed over has been released. Runs by itself
// when the application object goes: a release still running while the
// process exits would meet libraries whose own objects are already gone.
void waitForReleases();

// Moves the objects to the release thread and destroys them there. They
// must not be shared with anything that stays.
template <typename... Objects>
void releaseAside(Objects &&...objects)
{
    auto held = std::make_shared<std::tuple<std::decay_t<Objects>...>>(
        std::forward<Objects>(objects)...);
    releaseAside(std::function<void()>([held]() mutable { held.reset(); }));
}

} // namespace Platform
