// The user's lpoptions file, as any program may have left it: read, one
// destination's options rewritten, and its saved lines put back.

#include "FuzzSupport.h"

#include "platform/LpOptions.h"

#include <QByteArray>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace Platform;

namespace {

// What a printer (or "printer/instance") can be called: printable UTF-8,
// no blanks, quotes, backslashes or comment marks.
bool isPrinterName(const QByteArray &name)
{
    if (name.isEmpty() || name.count('/') > 1 || QString::fromUtf8(name).toUtf8() != name)
        return false;
    for (const char c : name) {
        if (uchar(c) <= ' ' || uchar(c) == 0x7f || QByteArray("#\\'\"").contains(c))
            return false;
    }
    return true;
}

// The second word of a "Dest" line, else the given name: the rewrite
// must meet destinations the file really has.
QString destinationNamed(const QByteArray &file, const QString &fallback, int skip)
{
    for (const QByteArray &line : file.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() >= 2 && words.first().toLower() == "dest" && isPrinterName(words.at(1))
            && skip-- == 0)
            return QString::fromUtf8(words.at(1));
    }
    return fallback;
}

// An invariant that failed: named, then a crash libFuzzer keeps.
void check(bool condition, int line)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz_lpoptions.cpp:%d: invariant failed\n", line);
    std::abort();
}
#define CHECK(condition) check((condition), __LINE__)

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Fuzz::setUpProcess(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString dest = destinationNamed(file, QStringLiteral("Office"), 0);
    const QString other = destinationNamed(file, QStringLiteral("Other"), 1);
    lpOptionsDefaultDestination(file);
    lpOptionsFor(file, dest);

    // Overriding: the destination then has exactly what was written.
    const QList<QByteArray> saved = destinationLines(file, dest);
    const OptionList wanted = {{QStringLiteral("sides"), QStringLiteral("two-sided-long-edge")},
                               {QStringLiteral("media"), QStringLiteral("iso_a4_210x297mm")}};
    const QByteArray changed = withDestinationOptions(file, dest, wanted);
    const OptionList now = lpOptionsFor(changed, dest);
    for (const auto &option : wanted)
        CHECK(now.contains(option));

    // Restoring: the destination's own lines come back, and another
    // destination's lines were never touched.
    const QByteArray restored = withDestinationLines(changed, dest, saved);
    CHECK(sameDestinationOptions(destinationLines(restored, dest), saved));
    // Destination names are compared without regard to case, as libcups does.
    if (other.compare(dest, Qt::CaseInsensitive) != 0)
        CHECK(destinationLines(restored, other) == destinationLines(file, other));

    // Moving the default mark leaves the options where they were.
    const QByteArray marked = withDefaultDestination(file, dest);
    CHECK(lpOptionsDefaultDestination(marked).compare(dest, Qt::CaseInsensitive) == 0);
    CHECK(lpOptionsFor(marked, dest) == lpOptionsFor(file, dest));

    // Options written out read back under the same names (less names no
    // line can hold, and values without line breaks); written again,
    // nothing changes.
    const OptionList parsed = parseCupsOptions(file);
    const OptionList once = parseCupsOptions(formatCupsOptions(parsed));
    for (const auto &option : once) {
        CHECK(std::any_of(parsed.begin(), parsed.end(),
                          [&](const auto &p) { return p.first == option.first; }));
    }
    // (libcups keeps options sorted by their bytes: names that were not
    // UTF-8 may come back in another order.)
    OptionList twice = parseCupsOptions(formatCupsOptions(once));
    OptionList sortedOnce = once;
    std::sort(twice.begin(), twice.end());
    std::sort(sortedOnce.begin(), sortedOnce.end());
    CHECK(twice == sortedOnce);
    return 0;
}
