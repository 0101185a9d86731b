// Any file chosen as a history backup: attached as a SQLite database and
// its print history imported into the program's own store.

#include "FuzzSupport.h"

#include "store/LocalStore.h"

#include <cstdio>
#include <cstdlib>

namespace {

LocalStore *s_store = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Fuzz::setUpProcess(argc, argv);
    s_store = new LocalStore;
    QString error;
    if (!s_store->open(&error)) {
        std::fprintf(stderr, "store: %s\n", qPrintable(error));
        std::exit(1);
    }
    // Closed at exit before Qt's own database registry goes.
    std::atexit([] { delete s_store; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = Fuzz::writeScratch("backup.sqlite", data, size);
    int imported = 0;
    int skipped = 0;
    if (path.isEmpty())
        return 0;
    // Whatever happens, the store stays usable for the next backup.
    s_store->importHistory(path, &imported, &skipped);
    if (!s_store->execStatement(QStringLiteral("DELETE FROM print_history")))
        std::abort();
    return 0;
}
