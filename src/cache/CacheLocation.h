#pragma once

#include <QString>

// The print cache folder ("rip-cache" beside the database). Not created here:
// the builder creates it when it first needs it.
QString cacheDirectory();
