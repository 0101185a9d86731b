#pragma once

#include <QtGlobal>

namespace Platform {

// Whether letter case tells two file names apart: on Windows and macOS it
// does not, here it does. A check that ignored case here would let
// "RIP-CACHE" pass for "rip-cache", or take two files for one.
inline constexpr Qt::CaseSensitivity kPathCase =
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    Qt::CaseInsensitive;
#else
    Qt::CaseSensitive;
#endif

} // namespace Platform
