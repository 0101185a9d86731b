#pragma once

// What the fuzz targets share: the entry points libFuzzer calls, the
// process set-up and a scratch file for targets whose code reads files.

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace Fuzz {

enum class Application { Core, Widgets };

// A private profile (HOME, XDG folders) and the application object, once
// per process; Widgets for targets that draw (on the offscreen platform).
void setUpProcess(int *argc, char ***argv, Application kind = Application::Core);

// The input written to one file of this process's scratch folder; the same
// path every time. Empty when it cannot be written.
QString writeScratch(const char *name, const uint8_t *data, size_t size);

} // namespace Fuzz
