#pragma once

#include "PrivateCups.h"
#include "TestProfile.h"
#include "app/AppIdentity.h"

#include <QApplication>
#include <QTest>

// Every suite runs in a temporary profile, with the program's identity, and
// talks to the private scheduler when the fixture started one.
#define DUNMARROW_TEST_MAIN(TestObject)                                        \
    int main(int argc, char *argv[])                                           \
    {                                                                          \
        TestProfile profile;                                                   \
        PrivateCups::connectFromEnvironment();                                 \
        QApplication app(argc, argv);                                          \
        applyApplicationIdentity(app);                                         \
        TestObject test;                                                       \
        return QTest::qExec(&test, argc, argv);                                \
    }
