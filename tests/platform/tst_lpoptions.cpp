#include "TestMain.h"

#include "platform/LastError.h"
#include "platform/LpOptions.h"

#include <QDir>
#include <QFile>
#include <QProcess>

using namespace Platform;

namespace {

const QByteArray kUserFile =
    "# my printers\n"
    "Dest Office duplex=none\n"
    "Default Lab sides=two-sided-long-edge media=A4 # the lab\n"
    "Dest Lab/draft print-quality=3\n"
    "\n"
    "dest lab copies=2\n"
    "Dest Other\tcopies=5";

OptionList options(std::initializer_list<std::pair<const char *, const char *>> pairs)
{
    OptionList list;
    for (const auto &[name, value] : pairs)
        list << qMakePair(QString::fromUtf8(name), QString::fromUtf8(value));
    return list;
}

// libcups keeps options sorted by name; what matters is the set.
OptionList sorted(OptionList list)
{
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

class TestLpOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QDir(QFileInfo(userLpOptionsPath()).absolutePath()).removeRecursively();
    }

    void readsLikeLibcups()
    {
        // Later lines add to and override earlier ones; names ignore case;
        // an instance's line is its own; comments do not count.
        QCOMPARE(sorted(lpOptionsFor(kUserFile, QStringLiteral("LAB"))),
                 sorted(options({{"media", "A4"}, {"sides", "two-sided-long-edge"},
                                 {"copies", "2"}})));
        QCOMPARE(lpOptionsFor(kUserFile, QStringLiteral("Other")), options({{"copies", "5"}}));
        QCOMPARE(lpOptionsFor(kUserFile, QStringLiteral("Missing")), OptionList());
        QCOMPARE(lpOptionsFor(kUserFile, QStringLiteral("lab/DRAFT")),
                 options({{"print-quality", "3"}}));
        QCOMPARE(lpOptionsDefaultDestination(kUserFile), QStringLiteral("Lab"));
    }

    void malformedInputIsHarmless()
    {
        QByteArray garbage("Dest\nDefault\n\x00\xff\xfe Dest Lab =x ==y 'open\n", 40);
        garbage += QByteArray(5000, '\x01');
        // The only "Lab" line starts with binary bytes: it is not a destination line.
        QCOMPARE(lpOptionsFor(garbage, QStringLiteral("Lab")), OptionList());
        QCOMPARE(lpOptionsDefaultDestination(garbage), QString());
        // Rewriting keeps the garbage and adds the line.
        const QByteArray rewritten =
            withDestinationOptions(garbage, QStringLiteral("Lab"), options({{"copies", "2"}}));
        QVERIFY(rewritten.startsWith(garbage));
        QCOMPARE(lpOptionsFor(rewritten, QStringLiteral("Lab")), options({{"copies", "2"}}));
    }

    void replacingOneDestinationKeepsEverythingElse()
    {
        const QByteArray out = withDestinationOptions(kUserFile, QStringLiteral("Lab"),
                                                      options({{"copies", "3"}}));
        QCOMPARE(out,
                 QByteArray("# my printers\n"
                            "Dest Office duplex=none\n"
                            "Default Lab copies=3\n"
                            "Dest Lab/draft print-quality=3\n"
                            "\n"
                            "Dest Other\tcopies=5"));
        const QByteArray draft = withDestinationOptions(kUserFile, QStringLiteral("Lab/draft"),
                                                        options({{"copies", "4"}}));
        QCOMPARE(draft, QByteArray(kUserFile).replace("Lab/draft print-quality=3", "Lab/draft copies=4"));

        // A destination without a line gets one, after a line ending.
        const QByteArray added = withDestinationOptions(kUserFile, QStringLiteral("New"),
                                                        options({{"sides", "one-sided"}}));
        QVERIFY(added.startsWith(kUserFile + '\n'));
        QVERIFY(added.endsWith("Dest New sides=one-sided\n"));
        QCOMPARE(withDestinationOptions(QByteArray(), QStringLiteral("New"), {}),
                 QByteArray("Dest New\n"));

        // A later line that made it the default keeps it the default.
        const QByteArray split = "Dest Lab copies=2\nDefault Lab\n";
        QCOMPARE(withDestinationOptions(split, QStringLiteral("Lab"), {}), QByteArray("Default Lab\n"));
    }

    void valuesSurviveTheRoundTrip()
    {
        const OptionList tricky = options({{"job-name", "Q3 report \"final\" 'v2'"},
                                           {"path", "C:\\temp\\a b"},
                                           {"note", "a#b"},
                                           {"media", "iso_a4_210x297mm"}});
        const QByteArray file =
            withDestinationOptions(QByteArray(), QStringLiteral("Lab"), tricky);
        QCOMPARE(sorted(lpOptionsFor(file, QStringLiteral("Lab"))), sorted(tricky));

        // Names that cannot be written are left out instead of breaking the line.
        const QByteArray bad = formatCupsOptions(options({{"bad name", "x"}, {"ok", "1"}}));
        QCOMPARE(bad, QByteArray("ok=1"));
    }

    void movingTheDefault()
    {
        const QByteArray moved = withDefaultDestination(kUserFile, QStringLiteral("other"));
        QCOMPARE(lpOptionsDefaultDestination(moved), QStringLiteral("Other"));
        QVERIFY(moved.contains("Dest Lab sides=two-sided-long-edge media=A4 # the lab\n"));
        QVERIFY(moved.endsWith("Default Other\tcopies=5"));
        QCOMPARE(lpOptionsFor(moved, QStringLiteral("Lab")),
                 lpOptionsFor(kUserFile, QStringLiteral("Lab")));

        const QByteArray none = withDefaultDestination(kUserFile, QString());
        QCOMPARE(lpOptionsDefaultDestination(none), QString());

        const QByteArray added = withDefaultDestination(kUserFile, QStringLiteral("New"));
        QCOMPARE(lpOptionsDefaultDestination(added), QStringLiteral("New"));
        QVERIFY(added.contains("Dest Lab sides"));
    }

    // Overrides of two printers restored in either order, and a default
    // moved in between: only each printer's own lines come back.
    void restoringOnePrintersLines()
    {
        const QByteArray original = "# mine\r\nDest Office duplex=none\r\n"
                                    "Default Lab media=A4 # the lab\r\nDest Other\tcopies=5";
        const QString lab = QStringLiteral("Lab");
        const QString office = QStringLiteral("Office");
        const QList<QByteArray> savedLab = destinationLines(original, lab);
        const QList<QByteArray> savedOffice = destinationLines(original, office);
        QCOMPARE(savedLab, QList<QByteArray>{"Default Lab media=A4 # the lab\r\n"});

        QByteArray now = withDestinationOptions(original, lab, options({{"copies", "3"}}));
        now = withDestinationOptions(now, office, options({{"sides", "one-sided"}}));
        now = withDestinationLines(now, lab, savedLab);
        now = withDestinationLines(now, office, savedOffice);
        QCOMPARE(now, original);

        // The user made Office the default while Lab was overridden.
        now = withDestinationOptions(original, lab, options({{"copies", "3"}}));
        now = withDefaultDestination(now, office);
        now = withDestinationLines(now, lab, savedLab);
        QCOMPARE(lpOptionsDefaultDestination(now), office);
        QVERIFY(now.contains("Dest Lab media=A4 # the lab\r\n"));
        QVERIFY(sameDestinationOptions(destinationLines(now, lab), savedLab));

        // ... and made a printer without lines of its own the default.
        now = withDestinationOptions(original, QStringLiteral("New"), options({{"copies", "2"}}));
        now = withDefaultDestination(now, QStringLiteral("New"));
        now = withDestinationLines(now, QStringLiteral("New"), {});
        QCOMPARE(lpOptionsDefaultDestination(now), QStringLiteral("New"));
        QCOMPARE(lpOptionsFor(now, QStringLiteral("New")), OptionList());
        QCOMPARE(lpOptionsFor(now, lab), lpOptionsFor(original, lab));

        // The last line comes back without the ending it never had.
        now = withDestinationOptions(original, QStringLiteral("Other"), options({{"copies", "1"}}));
        QCOMPARE(withDestinationLines(now, QStringLiteral("Other"),
                                      destinationLines(original, QStringLiteral("Other"))),
                 original);
    }

    // A file that did not exist is removed again when nothing else came in
    // meanwhile; one that gained other lines keeps them.
    void restoringIntoAFileThatDidNotExist()
    {
        const LpOptionsLines none{false, {}};
        QVERIFY(writeLpOptions("Dest Lab copies=2\n"));
        QVERIFY(restoreDestinationLines(QStringLiteral("Lab"), none));
        QVERIFY(!QFile::exists(userLpOptionsPath()));

        QVERIFY(writeLpOptions("Dest Lab copies=2\nDest Office copies=4\n"));
        QVERIFY(restoreDestinationLines(QStringLiteral("Lab"), none));
        QCOMPARE(readFile(userLpOptionsPath()), QByteArray("Dest Office copies=4\n"));
    }

    // A read-modify-write waits for another process that holds the lock,
    // and then builds on what that process wrote.
    void lockIsSharedWithOtherProcesses()
    {
        QVERIFY(writeLpOptions("Dest Lab copies=2\n"));
        // The other process says when it holds the lock, then writes a second later.
        const QString held = userLpOptionsPath() + QStringLiteral(".held");
        QProcess holder;
        holder.start(QStringLiteral("flock"),
                     {userLpOptionsPath() + QStringLiteral(".lock"), QStringLiteral("sh"),
                      QStringLiteral("-c"),
                      QStringLiteral("touch %2; sleep 1; printf 'Dest Lab copies=2\\nDest Office copies=4\\n' > %1")
                          .arg(userLpOptionsPath(), held)});
        QVERIFY(holder.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(held), 30000);
        QVERIFY(restoreDestinationLines(QStringLiteral("Lab"), {true, {"Dest Lab copies=9\n"}}));
        QVERIFY(holder.waitForFinished());
        QCOMPARE(readFile(userLpOptionsPath()), QByteArray("Dest Lab copies=9\nDest Office copies=4\n"));
    }

    void unusableFilesAreRefused()
    {
        QVERIFY(writeFile(userLpOptionsPath(), QByteArray(kLpOptionsMaxBytes + 1, '#')));
        LpOptionsSnapshot snapshot;
        setLastError(ErrorSuccess);
        QVERIFY(!readLpOptions(&snapshot));
        QCOMPARE(lastError(), quint32(ErrorFileTooLarge));

        // Something at the path that cannot be read as a file, even by root.
        QFile::remove(userLpOptionsPath());
        QVERIFY(QDir().mkpath(userLpOptionsPath()));
        QVERIFY(!readLpOptions(&snapshot));
        QVERIFY(!writeLpOptions("Dest Lab copies=1\n"));
        QVERIFY(QFileInfo(userLpOptionsPath()).isDir());
    }
};

DUNMARROW_TEST_MAIN(TestLpOptions)
#include "tst_lpoptions.moc"
