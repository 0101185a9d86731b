#include "ModalAnswerer.h"
#include "TestMain.h"

#include "queue/PrintSummaryDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

class TestPrintSummary : public QObject
{
    Q_OBJECT

    const QList<QVariantMap> m_results = {
        {{"path", "/d/a.pdf"}, {"displayName", "First"}, {"pages", 3}, {"copies", 2}},
        {{"path", "/d/second file.pdf"}, {"displayName", ""}, {"pages", 1}, {"copies", 1}},
    };

private Q_SLOTS:
    void listAndTotals()
    {
        PrintSummaryDialog dialog(m_results, nullptr);
        QVERIFY(dialog.findChild<QLabel *>()->text().contains("Successfully sent 2 files to the printer"));
        QVERIFY(dialog.detail()->isHidden());
        QCOMPARE(dialog.minimumWidth(), 430);

        QTest::mouseClick(dialog.listButton(), Qt::LeftButton);
        QVERIFY(!dialog.detail()->isHidden());
        QCOMPARE(dialog.listButton()->text(), QStringLiteral("Hide list"));
        QCOMPARE(dialog.minimumWidth(), 680);
        auto *table = dialog.detail()->findChild<QTableWidget *>();
        QCOMPARE(table->item(0, 3)->text(), QStringLiteral("6"));
        QCOMPARE(table->item(1, 0)->text(), QStringLiteral("second file.pdf"));
        bool totalShown = false;
        for (QLabel *label : dialog.detail()->findChildren<QLabel *>())
            totalShown = totalShown || label->text() == QStringLiteral("2 files，printed 7 pages total");
        QVERIFY(totalShown);

        QTest::mouseClick(dialog.listButton(), Qt::LeftButton);
        QCOMPARE(dialog.listButton()->text(), QStringLiteral("Print list"));
        QCOMPARE(dialog.minimumWidth(), 430);
    }

    void clearingTheList()
    {
        ModalAnswerer boxes;

        PrintSummaryDialog failing(m_results, [](QString *error) {
            *error = QStringLiteral("database is locked");
            return false;
        });
        failing.show();
        QTest::mouseClick(failing.clearButton(), Qt::LeftButton);
        QCOMPARE(boxes.seen, QStringList{"ClearFailed / database is locked"});
        QVERIFY(failing.isVisible());

        bool cleared = false;
        PrintSummaryDialog working(m_results, [&](QString *) { return cleared = true; });
        working.show();
        QTest::mouseClick(working.clearButton(), Qt::LeftButton);
        QVERIFY(cleared);
        QCOMPARE(working.result(), int(QDialog::Accepted));
    }
};

DUNMARROW_TEST_MAIN(TestPrintSummary)
#include "tst_printsummary.moc"
