#include "TestMain.h"

#include "platform/LastError.h"
#include "platform/LpOptions.h"

#include <QDir>
#include <QFile>

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

void writeUserFile(const QByteArray &bytes)
{
    QVERIFY(writeFile(userLpOptionsPath(), bytes));
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
        // instances and comments do not count.
        QCOMPARE(sorted(lpOptionsFor(kUserFile, QStringLiteral("LAB"))),
                 sorted(options({{"media", "A4"}, {"sides", "two-sided-long-edge"},
                                 {"copies", "2"}})));
        QCOMPARE(lpOptionsFor(kUserFile, QStringLiteral("Other")), options({{"copies", "5"}}));
        QCOMPARE(lpOptionsFor(kUserFile, QStringLiteral("Missing")), OptionList());
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
        QCOMPARE(lpOptionsFor(out, QStringLiteral("Lab")), options({{"copies", "3"}}));

        // A destination without a line gets one, after a line ending.
        const QByteArray added = withDestinationOptions(kUserFile, QStringLiteral("New"),
                                                        options({{"sides", "one-sided"}}));
        QVERIFY(added.startsWith(kUserFile + '\n'));
        QVERIFY(added.endsWith("Dest New sides=one-sided\n"));
        QCOMPARE(withDestinationOptions(QByteArray(), QStringLiteral("New"), {}),
                 QByteArray("Dest New\n"));

        // A later line that made it the default keeps it the default.
        const QByteArray split = "Dest Lab copies=2\nDefault Lab\n";
        const QByteArray folded = withDestinationOptions(split, QStringLiteral("Lab"), {});
        QCOMPARE(folded, QByteArray("Default Lab\n"));
        QCOMPARE(lpOptionsDefaultDestination(folded), QStringLiteral("Lab"));
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
        QVERIFY(moved.contains("Default Other\tcopies=5\n"));
        QCOMPARE(lpOptionsFor(moved, QStringLiteral("Lab")),
                 lpOptionsFor(kUserFile, QStringLiteral("Lab")));

        const QByteArray none = withDefaultDestination(kUserFile, QString());
        QCOMPARE(lpOptionsDefaultDestination(none), QString());

        const QByteArray added = withDefaultDestination(kUserFile, QStringLiteral("New"));
        QCOMPARE(lpOptionsDefaultDestination(added), QStringLiteral("New"));
        QVERIFY(added.contains("Dest Lab sides"));
    }

    void fileSnapshots()
    {
        LpOptionsSnapshot missing;
        QVERIFY(readLpOptions(&missing));
        QVERIFY(!missing.existed);

        QVERIFY(writeLpOptions("Dest Lab copies=2\n"));
        QVERIFY(restoreLpOptions(missing));
        QVERIFY(!QFile::exists(userLpOptionsPath()));

        writeUserFile(kUserFile);
        LpOptionsSnapshot saved;
        QVERIFY(readLpOptions(&saved));
        QVERIFY(saved.existed);
        QCOMPARE(saved.bytes, kUserFile);
        QVERIFY(writeLpOptions("changed"));
        QVERIFY(restoreLpOptions(saved));
        QFile file(userLpOptionsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kUserFile);
    }

    void unusableFilesAreRefused()
    {
        writeUserFile(QByteArray(kLpOptionsMaxBytes + 1, '#'));
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
