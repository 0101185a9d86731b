#include "TestMain.h"

#include <QPrinterInfo>

// The private scheduler is what every printing suite stands on: its queues
// must be visible to the toolkit's printer list, as the program sees them.
class TestPrivateCups : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(PrivateCups::isAvailable(), "the private scheduler fixture did not run");
    }

    void queuesAreListed()
    {
        const QStringList names = QPrinterInfo::availablePrinterNames();
        QVERIFY2(names.contains(QLatin1String(PrivateCups::kRawQueue)), qPrintable(names.join(',')));
        QVERIFY2(names.contains(QLatin1String(PrivateCups::kPostScriptQueue)),
                 qPrintable(names.join(',')));
    }

    void postScriptQueueHasADuplexer()
    {
        const QPrinterInfo ps = QPrinterInfo::printerInfo(QLatin1String(PrivateCups::kPostScriptQueue));
        QVERIFY(!ps.isNull());
        QVERIFY(ps.supportedDuplexModes().contains(QPrinter::DuplexLongSide));
        QVERIFY(!ps.supportedPageSizes().isEmpty());

        const QPrinterInfo raw = QPrinterInfo::printerInfo(QLatin1String(PrivateCups::kRawQueue));
        QVERIFY(!raw.isNull());
        QVERIFY(!raw.supportedDuplexModes().contains(QPrinter::DuplexLongSide));
    }
};

DUNMARROW_TEST_MAIN(TestPrivateCups)
#include "tst_privatecups.moc"
