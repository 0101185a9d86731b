#include "QueueFixture.h"
#include "TestMain.h"

#include "queue/QueueController.h"
#include "queue/QueueTable.h"

#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>

#include <memory>

using QueueTable::Column;

class TestQueueTable : public QObject
{
    Q_OBJECT

    std::unique_ptr<QueueHarness> m_list;

    void addRows(int count, int folder = 0)
    {
        for (int i = 0; i < count; ++i) {
            const QString path = m_list->makeFile(QStringLiteral("f%1.pdf").arg(i));
            QVERIFY(m_list->store.addFile(path, folder, RowSettings{}));
        }
        m_list->queue.reloadQueueTable();
    }

    QPoint cellCenter(int row, int column) const
    {
        return m_list->table.visualRect(m_list->table.model()->index(row, column)).center();
    }

    QString fileNameAt(int row) const { return m_list->table.item(row, Column::File)->text(); }

    QSet<int> rows(std::initializer_list<int> list) { return QSet<int>(list); }

private Q_SLOTS:
    void init()
    {
        QSettings().clear();
        m_list = std::make_unique<QueueHarness>();
        m_list->table.resize(900, 600);
        m_list->table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_list->table));
    }

    void cleanup() { m_list.reset(); }

    void statusPrecedenceAndColours()
    {
        LocalStore &store = m_list->store;
        const QString printed = m_list->makeFile("printed.pdf");
        const QString failed = m_list->makeFile("failed.pdf");
        const QString cached = m_list->makeFile("cached.pdf");
        const QString prn = m_list->makeFile("k.prn");
        for (const QString &path : {printed, failed, cached})
            QVERIFY(store.addFile(path, 0, RowSettings{}));
        QVERIFY(store.addCacheJob({"job", cached, prn, 2}, 0, RowSettings{}));
        QVERIFY(store.addCacheJob({"gone", cached, m_list->files.filePath("gone.prn"), 2}, 0,
                                  RowSettings{}));
        QVERIFY(store.markPrinted(printed, "P", false, false, 1));
        QVERIFY(store.markFailed(failed, "Paper jam"));
        // The printed row has a cache too: printed wins.
        m_list->queue.setCacheLookup([&](const QString &path, const PrintSettings &) {
            return path == LocalStore::normalizedPath(cached) || path == LocalStore::normalizedPath(printed);
        });
        m_list->queue.reloadQueueTable();

        const auto status = [this](int row) { return m_list->table.item(row, Column::Status); };
        QCOMPARE(status(0)->text(), QStringLiteral("Printed"));
        QCOMPARE(status(0)->foreground().color(), QColor("#059669"));
        QCOMPARE(status(1)->text(), QStringLiteral("Failed"));
        QCOMPARE(status(1)->foreground().color(), QColor("#dc2626"));
        QCOMPARE(status(1)->toolTip(), QStringLiteral("Paper jam"));
        QVERIFY(m_list->table.item(1, Column::File)->toolTip().startsWith(failed + "\nDouble-click to open"));
        QCOMPARE(status(2)->text(), QStringLiteral("Cache ready"));
        QCOMPARE(status(2)->foreground().color(), QColor("#7c3aed"));
        QCOMPARE(status(2)->toolTip(),
                 QStringLiteral("The cache will be uploaded directly to the printer when printing"));
        QCOMPARE(status(3)->text(), QStringLiteral("Cache ready"));
        QVERIFY(status(3)->toolTip().startsWith("Standalone cache job"));
        QCOMPARE(status(4)->text(), QStringLiteral("Pending"));

        QCOMPARE(m_list->table.item(3, Column::File)->data(QueueTable::IsCacheRole).toBool(), true);
        QCOMPARE(m_list->table.item(3, Column::File)->data(QueueTable::SourcePathRole).toString(),
                 LocalStore::normalizedPath(cached));
        QCOMPARE(m_list->table.item(0, Column::Info)->text(), QStringLiteral("1.5 KB · PDF"));
        QCOMPARE(m_list->table.item(3, Column::Info)->text(), QStringLiteral("Standalone cache · 1.5 KB"));
        QCOMPARE(m_list->table.item(4, Column::Info)->text(), QStringLiteral("Cached file is missing"));
        QFile::remove(failed);
        m_list->queue.reloadQueueTable();
        QCOMPARE(m_list->table.item(1, Column::Info)->text(), QStringLiteral("File is missing"));
        QCOMPARE(m_list->table.item(2, Column::Number)->text(), QStringLiteral("3"));
    }

    void normalQueueAndHotFolderLayouts()
    {
        QVERIFY(m_list->store.addFile(m_list->makeFile("a.pdf"), 0, RowSettings{"P", 0, false, "A4", 7}));
        m_list->queue.reloadQueueTable();
        for (const int column : {Column::Printer, Column::Duplex, Column::Color, Column::Size})
            QVERIFY(m_list->table.isColumnHidden(column));
        QVERIFY(!m_list->table.isColumnHidden(Column::Info));
        QCOMPARE(m_list->table.rowHeight(0), 46);
        QCOMPARE(m_list->table.columnWidth(Column::Number), 42);

        QVERIFY(m_list->store.addHotFolder({"Lab", "P", 0, false, "A4", "#e9edf3"}));
        const int id = m_list->store.hotFolders().first().toMap().value("id").toInt();
        QVERIFY(m_list->store.addFile(m_list->makeFile("b.pdf"), id, RowSettings{"P", 0, false, "A4", 7}));
        m_list->queue.setCurrentTab(id, "Lab");
        m_list->queue.reloadQueueTable();
        QVERIFY(m_list->table.isColumnHidden(Column::Info));
        QCOMPARE(m_list->table.rowHeight(0), 44);
        // 34 is asked for, but no section is narrower than the header's minimum of 40.
        QCOMPARE(m_list->table.columnWidth(Column::Number), 40);
        QCOMPARE(QueueTable::copiesBox(&m_list->table, 0)->value(), 7);
        QVERIFY(m_list->store.setFolderCopies(id, 2));
        m_list->queue.reloadQueueTable();
        QCOMPARE(QueueTable::copiesBox(&m_list->table, 0)->value(), 2);
        QCOMPARE(QueueTable::copiesBox(&m_list->table, 0)->maximum(), 9999);
    }

    // Each row keeps its own copies through rebuilds, in the normal queue
    // as in a hot folder: changing one box changes neither the other rows
    // nor the setting for new rows.
    void copiesSurviveARebuild()
    {
        QSettings().setValue("normalCopies", 3);
        addRows(3);
        QueueTable::copiesBox(&m_list->table, 1)->setValue(5);
        QCOMPARE(QueueTable::copiesBox(&m_list->table, 0)->value(), 1);
        m_list->queue.reloadQueueTable();
        QCOMPARE(QueueTable::copiesBox(&m_list->table, 1)->value(), 5);
        QCOMPARE(QueueTable::copiesBox(&m_list->table, 2)->value(), 1);
        QCOMPARE(m_list->queue.buildPrintJob(1).copies, 5);
        QCOMPARE(m_list->queue.buildPrintJob(2).copies, 1);
        QCOMPARE(QSettings().value("normalCopies").toInt(), 3);
    }

    void clickCtrlAndShift()
    {
        addRows(5);
        QTest::mouseClick(m_list->table.viewport(), Qt::LeftButton, {}, cellCenter(1, Column::File));
        QCOMPARE(m_list->table.selectedRows(), rows({1}));
        QTest::mouseClick(m_list->table.viewport(), Qt::LeftButton, Qt::ControlModifier,
                          cellCenter(3, Column::Number));
        QCOMPARE(m_list->table.selectedRows(), rows({1, 3}));
        QTest::mouseClick(m_list->table.viewport(), Qt::LeftButton, Qt::ControlModifier,
                          cellCenter(1, Column::Status));
        QCOMPARE(m_list->table.selectedRows(), rows({3}));
        // The last Ctrl-click anchors Shift, even when it deselected its row.
        QTest::mouseClick(m_list->table.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          cellCenter(4, Column::File));
        QCOMPARE(m_list->table.selectedRows(), rows({1, 2, 3, 4}));
        QCOMPARE(m_list->lastStatus(),
                 QStringLiteral("4 files selected. Press Delete to remove or drag the group to reorder"));
        QTest::mouseClick(m_list->table.viewport(), Qt::LeftButton, {}, cellCenter(0, Column::File));
        QTest::mouseClick(m_list->table.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          cellCenter(2, Column::File));
        QCOMPARE(m_list->table.selectedRows(), rows({0, 1, 2}));
    }

    void dragStartsOnlyPastTheDragDistance()
    {
        addRows(5);
        m_list->table.setSelectedRows(rows({4, 1}));
        const QPoint start = cellCenter(4, Column::File);
        QTest::mousePress(m_list->table.viewport(), Qt::LeftButton, {}, start);
        const int distance = QApplication::startDragDistance();
        QMouseEvent small(QEvent::MouseMove, start + QPoint(distance - 1, 0),
                          m_list->table.viewport()->mapToGlobal(start + QPoint(distance - 1, 0)),
                          Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_list->table.viewport(), &small);
        QVERIFY(m_list->table.startedDrags.isEmpty());

        const QPoint far = start + QPoint(distance, distance);
        QMouseEvent big(QEvent::MouseMove, far, m_list->table.viewport()->mapToGlobal(far), Qt::NoButton,
                        Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_list->table.viewport(), &big);
        QCOMPARE(m_list->table.startedDrags, (QList<QList<int>>{{1, 4}}));
        QTest::mouseRelease(m_list->table.viewport(), Qt::LeftButton, {}, far);
        QCOMPARE(ReorderTableWidget::encodeDraggedRows({0, 3, 4}), QByteArray("0,3,4"));
    }

    void rubberBand()
    {
        addRows(5);
        // The Info column is not draggable: a press there starts a band.
        const QPoint origin = cellCenter(1, Column::Info);
        const QPoint end = cellCenter(3, Column::Info);
        QTest::mousePress(m_list->table.viewport(), Qt::LeftButton, {}, origin);
        QCOMPARE(m_list->table.selectedRows(), QSet<int>());
        QMouseEvent move(QEvent::MouseMove, end, m_list->table.viewport()->mapToGlobal(end),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_list->table.viewport(), &move);
        QCOMPARE(m_list->table.selectedRows(), rows({1, 2, 3}));
        QTest::mouseRelease(m_list->table.viewport(), Qt::LeftButton, {}, end);
        QVERIFY(m_list->table.startedDrags.isEmpty());

        // With Ctrl the band adds to what was selected.
        const QPoint last = cellCenter(4, Column::Info);
        QTest::mousePress(m_list->table.viewport(), Qt::LeftButton, Qt::ControlModifier, last);
        QMouseEvent within(QEvent::MouseMove, last + QPoint(5, 2),
                           m_list->table.viewport()->mapToGlobal(last + QPoint(5, 2)), Qt::NoButton,
                           Qt::LeftButton, Qt::ControlModifier);
        QApplication::sendEvent(m_list->table.viewport(), &within);
        QTest::mouseRelease(m_list->table.viewport(), Qt::LeftButton, Qt::ControlModifier, last);
        QCOMPARE(m_list->table.selectedRows(), rows({1, 2, 3, 4}));

        // Shift after a band extends from its first row.
        QTest::mouseClick(m_list->table.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          cellCenter(0, Column::File));
        QCOMPARE(m_list->table.selectedRows(), rows({0, 1}));
    }

    void dropPositions()
    {
        addRows(3);
        const QRect row1 = m_list->table.visualRect(m_list->table.model()->index(1, 0));
        QCOMPARE(m_list->table.dropTargetAt(row1.top() + 1), 1);
        QCOMPARE(m_list->table.dropTargetAt(row1.top() + row1.height() / 2), 2);
        QCOMPARE(m_list->table.dropTargetAt(row1.bottom()), 2);
        QCOMPARE(m_list->table.dropTargetAt(m_list->table.viewport()->height() - 2), 3);
        QCOMPARE(m_list->table.dropTargetAt(-5), 0);
        QCOMPARE(m_list->table.parseDraggedRows("2,x,0,2,7,-1, 1"), (QList<int>{0, 1, 2}));

        QSignalSpy moves(&m_list->table, &ReorderTableWidget::rowsMoveRequested);
        for (const char *format : {"text/plain", ReorderTableWidget::kMimeType}) {
            QMimeData data;
            data.setData(QLatin1String(format), "0,1");
            // No drag of this table is running: the source is another program.
            QDropEvent drop(QPointF(cellCenter(2, Column::File)), Qt::MoveAction, &data,
                            Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_list->table.viewport(), &drop);
            QVERIFY(!drop.isAccepted());
        }
        QCOMPARE(moves.count(), 0);
        QVERIFY(!m_list->table.isDropIndicatorVisible());
    }

    void movesAreStored()
    {
        addRows(5);
        m_list->queue.moveRows({2, 3}, 1);
        QStringList names;
        for (int row = 0; row < 5; ++row)
            names << fileNameAt(row);
        QCOMPARE(names, (QStringList{"f0.pdf", "f2.pdf", "f3.pdf", "f1.pdf", "f4.pdf"}));
        QCOMPARE(m_list->table.selectedRows(), rows({1, 2}));
        QCOMPARE(m_list->lastStatus(), QStringLiteral("Moved 2 files to position 2"));

        // Survives a restart: the order is in the database.
        LocalStore reopened;
        QVERIFY(reopened.open());
        QCOMPARE(reopened.files(0).at(1).toMap().value("file_name").toString(),
                 QStringLiteral("f2.pdf"));

        m_list->statuses.clear();
        m_list->queue.moveRows({4}, 4);
        QVERIFY(m_list->statuses.isEmpty());
        QCOMPARE(m_list->table.selectedRows(), rows({4}));

        m_list->queue.moveRows({1, 4}, 5);
        QCOMPARE(fileNameAt(3), QStringLiteral("f2.pdf"));
        QCOMPARE(fileNameAt(4), QStringLiteral("f4.pdf"));
        QCOMPARE(m_list->lastStatus(), QStringLiteral("Moved 2 files to position 4"));

        m_list->queue.moveRows({0}, 6); // beyond the list: ignored
        QCOMPARE(fileNameAt(0), QStringLiteral("f0.pdf"));

        // A move the database refuses changes nothing.
        QVERIFY(m_list->refuse("no_order", "BEFORE UPDATE OF sort_order ON print_files"));
        m_list->queue.moveRows({2}, 0);
        QVERIFY(m_list->lastStatus().startsWith(QStringLiteral("Failed to reorder files：")));
        QCOMPARE(fileNameAt(0), QStringLiteral("f0.pdf"));
    }

    void deleteAndEscapeKeys()
    {
        addRows(4);
        m_list->table.setSelectedRows(rows({3, 1}));
        m_list->table.setFocus();
        QTest::keyClick(&m_list->table, Qt::Key_Delete, {}, -1);
        QCOMPARE(m_list->table.rowCount(), 2);
        QCOMPARE(fileNameAt(1), QStringLiteral("f2.pdf"));
        QCOMPARE(m_list->lastStatus(),
                 QStringLiteral("Removed 2 files from the queue; original files were not deleted"));
        QVERIFY(QFile::exists(m_list->files.filePath("f1.pdf")));

        m_list->table.setSelectedRows(rows({0, 1}));
        QTest::keyClick(&m_list->table, Qt::Key_Escape);
        QVERIFY(m_list->table.selectedRows().isEmpty());
        QTest::keyClick(&m_list->table, Qt::Key_Delete);
        QCOMPARE(m_list->table.rowCount(), 2);
    }

    void rowButtons()
    {
        addRows(2);
        QSignalSpy prints(&m_list->queue, &QueueController::printRequested);
        QWidget *actions = m_list->table.cellWidget(1, Column::Actions);
        auto *print = actions->findChild<QPushButton *>("RowPrintButton");
        auto *remove = actions->findChild<QPushButton *>("RowRemoveButton");
        QTest::mouseClick(print, Qt::LeftButton);
        QCOMPARE(prints.count(), 1);
        QCOMPARE(prints.first().first().toInt(), 1);

        QueueTable::markRowBusy(&m_list->table, 1);
        QCOMPARE(m_list->table.item(1, Column::Status)->text(), QStringLiteral("Printing"));
        QCOMPARE(print->text(), QStringLiteral("Printing"));
        QVERIFY(!remove->isEnabled());

        m_list->queue.reloadQueueTable();
        remove = m_list->table.cellWidget(1, Column::Actions)->findChild<QPushButton *>("RowRemoveButton");
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(m_list->table.rowCount(), 1);
        QCOMPARE(m_list->lastStatus(), QStringLiteral("Removed from queue: ：f1.pdf"));
    }

    // Row widgets exist only around the rows in view; a row scrolled away
    // and back shows and prints what it showed before.
    void longListsKeepRowStateOutOfView()
    {
        addRows(300);
        m_list->table.resize(900, 400);
        m_list->table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_list->table));
        QueueTable::copiesBox(&m_list->table, 0)->setValue(5);
        QueueTable::markRowBusy(&m_list->table, 1);
        const auto widgetCount = [this] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return m_list->table.findChildren<QSpinBox *>().size();
        };
        QVERIFY(widgetCount() < 40);

        m_list->table.scrollToBottom();
        QVERIFY(!QueueTable::copiesBox(&m_list->table, 0));
        QCOMPARE(m_list->queue.buildPrintJob(0).copies, 5);
        QSignalSpy prints(&m_list->queue, &QueueController::printRequested);
        QTest::mouseClick(m_list->table.cellWidget(299, Column::Actions)
                              ->findChild<QPushButton *>("RowPrintButton"),
                          Qt::LeftButton);
        QCOMPARE(prints.first().first().toInt(), 299);

        m_list->table.scrollToTop();
        QCOMPARE(QueueTable::copiesBox(&m_list->table, 0)->value(), 5);
        QVERIFY(!m_list->table.cellWidget(1, Column::Actions)
                     ->findChild<QPushButton *>("RowRemoveButton")
                     ->isEnabled());
        QVERIFY(widgetCount() < 40);
    }
};

DUNMARROW_TEST_MAIN(TestQueueTable)
#include "tst_queuetable.moc"
