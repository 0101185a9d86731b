#pragma once

#include "PrivateCups.h"
#include "TestProfile.h"
#include "app/AppIdentity.h"

#include <QApplication>
#include <QTest>

#include <cstring>

// The argument that runs a suite's child mode: a second process of the same
// test, in the same profile, for what one process cannot show (a program
// killed in the middle of its work).
inline constexpr char kTestChildArgument[] = "--test-child";

using TestChildMain = int (*)(const QStringList &arguments);

// Every suite runs in a temporary profile, with the program's identity, and
// talks to the private scheduler when the fixture started one. Its child
// mode ("<suite> --test-child ARG...") runs in the parent's profile.
template <typename TestObject>
int runTestSuite(int argc, char *argv[], TestChildMain childMain = nullptr)
{
    if (childMain && argc > 1 && std::strcmp(argv[1], kTestChildArgument) == 0) {
        QCoreApplication app(argc, argv);
        applyApplicationIdentity(app);
        return childMain(app.arguments().mid(2));
    }
    TestProfile profile;
    PrivateCups::connectFromEnvironment();
    QApplication app(argc, argv);
    applyApplicationIdentity(app);
    TestObject test;
    return QTest::qExec(&test, argc, argv);
}

#define DUNMARROW_TEST_MAIN(TestObject)                                        \
    int main(int argc, char *argv[]) { return runTestSuite<TestObject>(argc, argv); }

#define DUNMARROW_TEST_MAIN_WITH_CHILD(TestObject, childMain)                  \
    int main(int argc, char *argv[])                                           \
    {                                                                          \
        return runTestSuite<TestObject>(argc, argv, childMain);                \
    }
