#include "TestMain.h"

#include "engines/PaperKey.h"
#include "engines/PrinterDefaults.h"
#include "platform/DeviceMode.h"

using namespace Platform;

class TestPaperKey : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void codeForKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("code");
        QTest::newRow("lower case") << "a4" << 9;
        QTest::newRow("blanks") << "  Letter " << 1;
        QTest::newRow("unknown name") << "Folio" << 9;
        QTest::newRow("driver default") << "driver-default" << 0;
        QTest::newRow("driver default, any case") << "Driver-Default" << 0;
        QTest::newRow("driver paper, upper case") << "WIN:11:A5" << 11;
        QTest::newRow("code not a number") << "win:x:Letter" << 9;
        QTest::newRow("code zero") << "win:0:Zero" << 9;
        QTest::newRow("code in hex") << "win:0x10:Hex" << 9;
        QTest::newRow("no name part") << "win:70" << 70;
    }

    void codeForKey()
    {
        QFETCH(QString, key);
        QFETCH(int, code);
        QCOMPARE(paperCodeForKey(key), code);
    }

    void labels_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("label");
        QTest::newRow("driver default") << "driver-default" << "Printer driver default";
        QTest::newRow("name with colon") << "win:9:A4: plain" << "A4: plain";
        QTest::newRow("upper case prefix") << "WIN:1:US Letter" << "US Letter";
        QTest::newRow("prefix alone") << "win:" << "win:";
        QTest::newRow("no second colon") << "win:256" << "win:256";
    }

    void labels()
    {
        QFETCH(QString, key);
        QFETCH(QString, label);
        QCOMPARE(paperKeyLabel(key), label);
    }

    void makeKey()
    {
        QCOMPARE(makePaperKey(256, QStringLiteral("  Custom 8x10 ")),
                 QStringLiteral("win:256:Custom 8x10"));
        const PaperKey key = makePaperKey(20, QStringLiteral("Envelope #10"));
        QCOMPARE(paperCodeForKey(key), 20);
        QCOMPARE(paperKeyLabel(key), QStringLiteral("Envelope #10"));
    }

    void pageSizes()
    {
        QCOMPARE(pageSizeForKey("driver-default").id(), QPageSize::A4);
        QCOMPARE(pageSizeForKey("letter").id(), QPageSize::Letter);
        QCOMPARE(pageSizeForKey("win:8:Big").id(), QPageSize::A3);
        QCOMPARE(pageSizeForKey("win:256:Custom").id(), QPageSize::A4);
    }

    void applyKey()
    {
        applyPaperKey(nullptr, QStringLiteral("A3"));

        DeviceMode dm;
        applyPaperKey(&dm, QStringLiteral("driver-default"));
        QCOMPARE(dm.dmFields, 0u);
        QCOMPARE(dm.dmPaperSize, short(0));

        applyPaperKey(&dm, QStringLiteral("win:256:Custom"));
        QVERIFY(dm.has(DM_PAPERSIZE));
        QCOMPARE(dm.dmPaperSize, short(256));
    }

    void settingsIntoDeviceMode()
    {
        DeviceMode dm;
        writeSettingsToDeviceMode(&dm, {0, 2, true, "A3", false});
        QCOMPARE(dm.dmCopies, short(1));
        QCOMPARE(dm.dmDuplex, DMDUP_HORIZONTAL);
        QCOMPARE(dm.dmColor, DMCOLOR_COLOR);
        QCOMPARE(dm.dmPaperSize, short(8));
        QCOMPARE(dm.dmFields, DM_COPIES | DM_DUPLEX | DM_COLOR | DM_PAPERSIZE);

        writeSettingsToDeviceMode(&dm, {10000, 1, false, "driver-default", false});
        QCOMPARE(dm.dmCopies, short(9999));
        QCOMPARE(dm.dmDuplex, DMDUP_VERTICAL);
        QCOMPARE(dm.dmColor, DMCOLOR_MONOCHROME);
        QCOMPARE(dm.dmPaperSize, short(8)); // driver-default writes no paper

        writeSettingsToDeviceMode(&dm, {1, 0, false, "A4", false});
        QCOMPARE(dm.dmDuplex, DMDUP_SIMPLEX);

        // The driver's own settings win: only copies reach the record.
        DeviceMode driver;
        driver.dmColor = DMCOLOR_COLOR;
        driver.dmDuplex = DMDUP_VERTICAL;
        driver.dmPaperSize = 1;
        DeviceMode expected = driver;
        writeSettingsToDeviceMode(&driver, {3, 0, false, "A3", true});
        expected.dmCopies = 3;
        expected.dmFields = DM_COPIES;
        QCOMPARE(driver, expected);
    }

    void paperListFromDriverAnswers()
    {
        QList<quint16> codes;
        QStringList names;
        for (int i = 0; i < 30; ++i)
            codes << quint16(256 + i);
        for (int i = 0; i < 28; ++i)
            names << QStringLiteral("Paper %1").arg(i);
        names[3] = QStringLiteral("   ");
        names[5] = QStringLiteral(" Slot") + QChar(u'\0') + QStringLiteral("garbage");

        const QList<PaperOption> papers = paperOptionsFromCapabilities(30, codes, names);
        QCOMPARE(papers.size(), 27); // 28 names, one blank
        QCOMPARE(papers.at(3).code, 257 + 3);
        QCOMPARE(papers.at(4).name, QStringLiteral("Slot"));
        QCOMPARE(papers.at(4).key, QStringLiteral("win:261:Slot"));

        QCOMPARE(paperOptionsFromCapabilities(2, codes, names).size(), 2);
        QCOMPARE(paperOptionsFromCapabilities(-1, codes, names).size(), 0);
    }
};

DUNMARROW_TEST_MAIN(TestPaperKey)
#include "tst_paperkey.moc"
