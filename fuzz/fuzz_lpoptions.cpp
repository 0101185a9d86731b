// The user's lpoptions file, as any program may have left it: read, one
// destination's options rewritten, and its saved lines put back.

#include "FuzzSupport.h"

#include "platform/LpOptions.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>

using namespace Platform;

namespace {

// The second word of the first "Dest" line, else the given name: the
// rewrite must meet destinations the file really has.
QString destinationNamed(const QByteArray &file, const QString &fallback, int skip)
{
    for (const QByteArray &line : file.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() >= 2 && words.first().toLower() == "dest" && skip-- == 0)
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
    if (other != dest)
        CHECK(destinationLines(restored, other) == destinationLines(file, other));

    // Moving the default mark leaves the options where they were.
    const QByteArray marked = withDefaultDestination(file, dest);
    CHECK(lpOptionsDefaultDestination(marked) == dest || dest.isEmpty());
    CHECK(lpOptionsFor(marked, dest) == lpOptionsFor(file, dest));

    // Options written out read back as they were, less those whose names
    // no line can hold; written again, nothing changes.
    const OptionList parsed = parseCupsOptions(file);
    const OptionList once = parseCupsOptions(formatCupsOptions(parsed));
    for (const auto &option : once)
        CHECK(parsed.contains(option));
    CHECK(parseCupsOptions(formatCupsOptions(once)) == once);
    return 0;
}
