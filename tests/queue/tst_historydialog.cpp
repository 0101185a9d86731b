#include "QueueFixture.h"
#include "ModalAnswerer.h"
#include "TestMain.h"

#include "queue/HistoryDialog.h"
#include "store/LocalStore.h"

#include <QDialog>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>

#include <memory>

class TestHistoryDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<LocalStore> m_store;

private Q_SLOTS:
    void init()
    {
        m_store = freshLocalStore();
        QVERIFY(m_store->isOpen());
    }
    void cleanup() { m_store.reset(); }

    void timesAndNames()
    {
        QCOMPARE(HistoryDialog::displayTime("2025-03-01T14:05:09.123"),
                 QStringLiteral("2025-03-01 14:05:09.123"));
        QCOMPARE(HistoryDialog::displayTime("2025-03-01T14:05:09.123+08:00"),
                 QStringLiteral("2025-03-01 14:05:09.123"));
        QCOMPARE(HistoryDialog::displayTime("2025-03-01"), QStringLiteral("2025-03-01"));
        QCOMPARE(HistoryDialog::exportTarget("/h/backup"), QStringLiteral("/h/backup.db"));
        QCOMPARE(HistoryDialog::exportTarget("/h/backup.DB"), QStringLiteral("/h/backup.DB"));
        QCOMPARE(HistoryDialog::exportTarget("/h/backup.db.txt"), QStringLiteral("/h/backup.db.txt.db"));
    }

    void emptyHistory()
    {
        HistoryDialog dialog(m_store.get());
        QCOMPARE(dialog.table()->rowCount(), 0);
        QVERIFY(dialog.findChild<QLabel *>()->text().contains("0 print jobs · 0 document pages · 0 pages printed"));
        ModalAnswerer boxes;
        QVERIFY(dialog.exportTo(m_dir.filePath("empty")));
        QVERIFY(QFile::exists(m_dir.filePath("empty.db")));
        QCOMPARE(boxes.seen, QStringList{"Export complete / Exported 0 print history records."});
    }

    void rowsTotalsAndNumericSorting()
    {
        QVERIFY(m_store->addHistory("/d/ten.pdf", "P", 10, 1, 0, "Normal queue", ""));
        QVERIFY(m_store->addHistory("/d/nine.pdf", "P", 9, 2, 2, "Lab", ""));
        QVERIFY(m_store->addHistory("/d/hundred.pdf", "P", 100, 1, 0, "Normal queue", ""));
        // What the printer did with the jobs it was followed for.
        QVERIFY(m_store->recordJobEnd(3, "P", 12, "aborted", "Failed at the printer: jam"));
        QVERIFY(m_store->recordJobEnd(2, "P", 11, "completed", ""));
        HistoryDialog dialog(m_store.get());
        QVERIFY(dialog.findChild<QLabel *>()->text().contains(
            "3 print jobs · 119 document pages · 128 pages printed"));
        QTableWidget *table = dialog.table();
        QCOMPARE(table->columnCount(), 10);
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("hundred.pdf"));
        QCOMPARE(table->item(0, 9)->text(), QStringLiteral("Failed at the printer: jam"));
        QCOMPARE(table->item(1, 9)->text(), QStringLiteral("Completed"));
        QCOMPARE(table->item(2, 9)->text(), QString());
        QCOMPARE(table->item(0, 1)->toolTip(), QStringLiteral("/d/hundred.pdf"));
        QCOMPARE(table->item(0, 2)->text(), QStringLiteral("PDF"));
        table->sortItems(3, Qt::AscendingOrder);
        QCOMPARE(table->item(0, 3)->text(), QStringLiteral("9"));
        QCOMPARE(table->item(2, 3)->text(), QStringLiteral("100"));
        QVERIFY(!table->item(0, 0)->text().contains('T'));
    }

    void importMergesAndAsksForAFreshDialog()
    {
        QVERIFY(m_store->addHistory("/d/a.pdf", "P", 1, 1, 0, "Normal queue", ""));
        const QString backup = m_dir.filePath("merge.db");
        QVERIFY(m_store->exportHistory(backup));
        m_store.reset();
        m_store = freshLocalStore();

        ModalAnswerer boxes;
        HistoryDialog dialog(m_store.get());
        QVERIFY(!dialog.importFrom(m_dir.filePath("missing.db")));
        QVERIFY(!dialog.imported());
        QVERIFY(dialog.importFrom(backup));
        QVERIFY(dialog.imported());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(boxes.seen,
                 (QStringList{"Import failed / The selected database file does not exist.",
                              "Import complete / Imported 1 records and skipped 0 duplicates."}));
        HistoryDialog fresh(m_store.get());
        QCOMPARE(fresh.table()->rowCount(), 1);
    }
};

DUNMARROW_TEST_MAIN(TestHistoryDialog)
#include "tst_historydialog.moc"
