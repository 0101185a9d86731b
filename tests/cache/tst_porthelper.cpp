#include "TestMain.h"

#include "cache/PortHelper.h"
#include "platform/CapturePorts.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

namespace {

QStringList helperArgs(const QString &action, const QString &port)
{
    return {QStringLiteral("/usr/bin/quorvalent-dunmarrow"), QLatin1String(PortHelper::kSwitch),
            action, PortHelper::encodePortName(port)};
}

} // namespace

class TestPortHelper : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_cache; // a real cache folder of this user's

    QString inCache(const QString &name) const { return QDir(m_cache).filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        // The port list of a scheduler of our own, not the system's.
        qputenv("CUPS_SERVERROOT", QFile::encodeName(m_dir.filePath("cups")));
        QVERIFY(QDir().mkpath(m_dir.filePath("cups")));
        m_cache = m_dir.filePath("rip-cache");
        QVERIFY(QDir().mkpath(inCache("x/y")));
        QVERIFY(writeFile(inCache("existing.prn.tmp")));
    }

    void switchIsExactAtAnyPosition()
    {
        const QString program = QStringLiteral("/usr/bin/quorvalent-dunmarrow");
        QVERIFY(PortHelper::hasHelperSwitch({program, "x", "--native-port-helper", "add"}));
        QVERIFY(PortHelper::hasHelperSwitch({program, "--native-port-helper"}));
        QVERIFY(!PortHelper::hasHelperSwitch({program, "--Native-Port-Helper", "add"}));
        QVERIFY(!PortHelper::hasHelperSwitch({program, "--native-port-helper=add"}));
        QVERIFY(!PortHelper::hasHelperSwitch({program}));
    }

    void portNamesSurviveTheCommandLine_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("/a/b.prn.tmp");
        QTest::newRow("spaces and quotes") << QStringLiteral("/My Files/\"quoted\" 'x'.prn.tmp");
        QTest::newRow("non-ASCII") << QStringLiteral("/数据/Überweisung ü.prn.tmp");
        QTest::newRow("needs padding") << QStringLiteral("ab");
    }

    void portNamesSurviveTheCommandLine()
    {
        QFETCH(QString, name);
        const QString encoded = PortHelper::encodePortName(name);
        QVERIFY(!encoded.contains(QLatin1Char('=')));
        QVERIFY(!encoded.contains(QLatin1Char('+')));
        QVERIFY(!encoded.contains(QLatin1Char('/')));
        QCOMPARE(PortHelper::decodePortName(encoded), name);
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        const QString program = QStringLiteral("/usr/bin/quorvalent-dunmarrow");
        const QString port = inCache(QStringLiteral("abc.prn.tmp"));

        QTest::newRow("no switch") << QStringList{program, "add"} << 10;
        QTest::newRow("one argument after switch")
            << QStringList{program, "--native-port-helper", "add"} << 10;
        QTest::newRow("empty port") << QStringList{program, "--native-port-helper", "add", ""} << 11;
        QTest::newRow("not base64") << QStringList{program, "--native-port-helper", "add", "@@@"}
                                    << 11;
        QTest::newRow("outside cache") << helperArgs("add", "/etc/passwd.prn.tmp") << 12;
        QTest::newRow("wrong suffix") << helperArgs("add", inCache("abc.prn")) << 12;
        QTest::newRow("climbs out")
            << helperArgs("add", inCache("../QuorvalentDunmarrow.db.prn.tmp")) << 12;
        QTest::newRow("sibling folder")
            << helperArgs("add", m_cache + "-evil/abc.prn.tmp") << 12;
        QTest::newRow("cache folder itself") << helperArgs("add", m_cache) << 12;
        QTest::newRow("other case") << helperArgs("add", m_cache.toUpper() + "/a.prn.tmp") << 12;
        QTest::newRow("add") << helperArgs("add", port) << 0;
        QTest::newRow("existing port file") << helperArgs("add", inCache("existing.prn.tmp")) << 0;
        QTest::newRow("add again, untrimmed upper case") << helperArgs("  ADD ", port) << 0;
        QTest::newRow("delete") << helperArgs("delete", port) << 0;
        QTest::newRow("delete an unknown port") << helperArgs("delete", inCache("x/y/abc.prn.tmp")) << 0;
        QTest::newRow("dot segments, even staying inside")
            << helperArgs("delete", inCache("x/../abc.prn.tmp")) << 12;
        QTest::newRow("unknown action") << helperArgs("list", port) << 15;
        QTest::newRow("switch given third")
            << QStringList{program, "-v", "--native-port-helper", "nop",
                           PortHelper::encodePortName(port)}
            << 15;
    }

    void exitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        const QByteArray listBefore = readFile(Platform::capturePortListPath());
        QCOMPARE(PortHelper::runPortHelper(arguments, m_cache, getuid()), code);
        if (code != 0)
            QCOMPARE(readFile(Platform::capturePortListPath()), listBefore);
    }

    void portListRecordsTheInvokingUser()
    {
        // The line the capture backend reads: the invoking user, the path.
        const QString port = inCache("listed.prn.tmp");
        QCOMPARE(PortHelper::runPortHelper(helperArgs("add", port), m_cache, getuid()), 0);
        QVERIFY(readFile(Platform::capturePortListPath())
                    .contains(QByteArray::number(getuid()) + '\t' + port.toUtf8() + '\n'));

        // A list that cannot be changed: the operations fail.
        ScopedEnv broken("CUPS_SERVERROOT", "/dev/null/cups");
        QCOMPARE(PortHelper::runPortHelper(helperArgs("add", port), m_cache, getuid()), 13);
        QCOMPARE(PortHelper::runPortHelper(helperArgs("delete", port), m_cache, getuid()), 14);
    }

    // The helper runs elevated: whatever a name looks like, what it names on
    // disk must be inside the user's cache folder.
    void linksAndOddNamesCannotLeadOut()
    {
        const auto link = [this](const QString &target, const QString &name) {
            return QFile::link(target, inCache(name));
        };
        QVERIFY(link("/etc", "etc"));
        QVERIFY(link("..", "up"));
        QVERIFY(link("/etc", "x/y/deep"));
        QVERIFY(link("/etc/shadow", "shadow.prn.tmp"));
        QVERIFY(link("/nonexistent/file", "dangling.prn.tmp"));
        QVERIFY(link(inCache("existing.prn.tmp"), "inner link.prn.tmp"));
        for (const QString name : {"etc/passwd.prn.tmp", "up/x.prn.tmp", "shadow.prn.tmp",
                                   "dangling.prn.tmp", "inner link.prn.tmp", "x",
                                   "x/y/deep/../../a.prn.tmp"}) {
            QVERIFY2(!PortHelper::isSafeCapturePort(inCache(name), m_cache, getuid()),
                     qPrintable(name));
        }
        QVERIFY(!PortHelper::isSafeCapturePort(inCache(QStringLiteral("a") + QChar(0) + ".prn.tmp"),
                                               m_cache, getuid()));
        QVERIFY(PortHelper::isSafeCapturePort(inCache("x/y/new.prn.tmp"), m_cache, getuid()));

        // The cache folder replaced by a link, or someone else's folder.
        const QString linkedRoot = m_dir.filePath("linked-cache");
        QVERIFY(QFile::link(m_cache, linkedRoot));
        QVERIFY(!PortHelper::isSafeCapturePort(linkedRoot + "/new.prn.tmp", linkedRoot, getuid()));
        QVERIFY(!PortHelper::isSafeCapturePort(inCache("new.prn.tmp"), m_cache, getuid() + 1));
    }

    // The folder comes from the account, not from variables the caller sets;
    // pkexec's word counts only in a process it made root.
    void cacheFolderOfTheInvokingUser()
    {
        const auto homeOf = [](uint uid) {
            return QFile::decodeName(getpwuid(uid)->pw_dir)
                + "/.local/share/Quorvalent/Dunmarrow/rip-cache";
        };
        ScopedEnv data("XDG_DATA_HOME", m_dir.filePath("evil").toUtf8());
        ScopedEnv pkexec("PKEXEC_UID", "65534");
        if (getuid() == 0) {
            QCOMPARE(PortHelper::invokingUserId(), 65534u);
            QCOMPARE(PortHelper::invokingUserCacheDirectory(), homeOf(65534));
        } else {
            QCOMPARE(PortHelper::invokingUserId(), uint(getuid()));
            QCOMPARE(PortHelper::invokingUserCacheDirectory(), homeOf(getuid()));
        }
    }

    // The program itself: no window, no database, no settings in helper mode.
    void programInHelperModeTouchesNothing()
    {
        QTemporaryDir home;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process.setProcessEnvironment(env);

        const QString program = qEnvironmentVariable("DUNMARROW_PROGRAM");
        QVERIFY2(QFile::exists(program), "DUNMARROW_PROGRAM does not name the program");

        process.start(program, {QStringLiteral("--native-port-helper")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 10);

        process.start(program, {QStringLiteral("x"), QStringLiteral("--native-port-helper"),
                                QStringLiteral("add"), PortHelper::encodePortName("/tmp/a.prn.tmp")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 12);

        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }
};

DUNMARROW_TEST_MAIN(TestPortHelper)
#include "tst_porthelper.moc"
