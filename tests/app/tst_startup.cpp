#include "ModalAnswerer.h"
#include "TestMain.h"

#include "app/MainWindow.h"
#include "app/WindowGeometry.h"
#include "store/LocalStore.h"

#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compiledInIcons()
    {
        for (const char *name : {":/icons/app_icon.png", ":/icons/app_icon.ico", ":/icons/sort_ascending.svg",
                                 ":/icons/sort_descending.svg", ":/icons/sort_vertical.svg",
                                 ":/icons/copies_adjust.svg"})
            QVERIFY2(!QIcon(QString::fromLatin1(name)).pixmap(64, 64).isNull(), name);
    }

    void initialSizeRule_data()
    {
        QTest::addColumn<QSize>("workArea");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("large") << QSize(1920, 1040) << QSize(1328, 760);
        QTest::newRow("720p") << QSize(1280, 720) << QSize(1280, 720);
        QTest::newRow("wide but short") << QSize(2560, 700) << QSize(1328, 700);
    }

    void initialSizeRule()
    {
        QFETCH(QSize, workArea);
        QFETCH(QSize, expected);
        QCOMPARE(WindowGeometry::initialSizeFor(QRect(QPoint(0, 40), workArea)), expected);
    }

    void noScreenGivesPreferredSize()
    {
        QCOMPARE(WindowGeometry::initialSizeFor(static_cast<const QScreen *>(nullptr)),
                 QSize(1328, 760));
    }

    // The program's identity (its settings and data folders follow it), and
    // the window built with it.
    void windowIsBuiltAndOpensTheStore()
    {
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Dunmarrow"));
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Quorvalent"));
        QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.7.0"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("Quorvalent Dunmarrow"));
        MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Quorvalent Dunmarrow v1.7.0"));
        QVERIFY(window.acceptDrops());
        // The offscreen screen is smaller than the minimum in one direction.
        QCOMPARE(window.size(), WindowGeometry::initialSizeFor(window.screen())
                                    .expandedTo(WindowGeometry::kMinimumSize));
        // The printer list is read last; the status line says what it found.
        QVERIFY(QRegularExpression("^Found \\d+ printers$").match(window.statusText()).hasMatch());
        QVERIFY(window.store().isOpen());

        // A small screen cannot make the window smaller than its minimum.
        window.resize(800, 500);
        QCOMPARE(window.size(), QSize(900, 560));
    }

    void databaseFailureIsShownOnceAndStartupGoesOn()
    {
        QTemporaryDir dir;
        const QString blocker = dir.filePath(QStringLiteral("blocker"));
        QVERIFY(writeFile(blocker));
        ScopedEnv env("XDG_DATA_HOME", QFile::encodeName(blocker));

        ModalAnswerer boxes;
        MainWindow window;
        QTRY_VERIFY(!boxes.seen.isEmpty());

        QCOMPARE(boxes.icons.first(), QMessageBox::Critical);
        const QString dataDir =
            QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QCOMPARE(boxes.seen.first(), QStringLiteral("Local database / Initialization failed："
                                                    "Unable to create the local data directory: ")
                                         + dataDir);
        QVERIFY(!window.store().isOpen());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.statusText().startsWith("Found "));
    }
};

DUNMARROW_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
