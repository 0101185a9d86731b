#include "QueueFixture.h"
#include "TestMain.h"

#include "queue/QueueController.h"
#include "queue/QueueTable.h"

#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>

#include <memory>

using QueueTable::Column;

class TestQueueTable : public QObject
{
    Q_OBJECT

    std::unique_ptr<QueueFixture> m_fixture;
    std::unique_ptr<RecordingTable> m_table;
    std::unique_ptr<QueueController> m_queue;
    QStringList m_statuses;

    void addRows(int count, int folder = 0)
    {
        for (int i = 0; i < count; ++i) {
            const QString path = m_fixture->makeFile(QStringLiteral("f%1.pdf").arg(i));
            QVERIFY(m_fixture->store.addFile(path, folder, RowSettings{}));
        }
        m_queue->reloadQueueTable();
    }

    QPoint cellCenter(int row, int column) const
    {
        return m_table->visualRect(m_table->model()->index(row, column)).center();
    }

    QString fileNameAt(int row) const { return m_table->item(row, Column::File)->text(); }

    QSet<int> rows(std::initializer_list<int> list) { return QSet<int>(list); }

private Q_SLOTS:
    void init()
    {
        QSettings().clear();
        m_fixture = std::make_unique<QueueFixture>();
        m_table = std::make_unique<RecordingTable>();
        QueueTable::setup(m_table.get());
        m_table->resize(900, 600);
        m_queue = std::make_unique<QueueController>(&m_fixture->store, m_table.get());
        m_statuses.clear();
        connect(m_queue.get(), &QueueController::statusMessage, this,
                [this](const QString &text, bool) { m_statuses << text; });
        m_table->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_table.get()));
    }

    void cleanup()
    {
        m_queue.reset();
        m_table.reset();
        m_fixture.reset();
    }

    void statusPrecedenceAndColours()
    {
        LocalStore &store = m_fixture->store;
        const QString printed = m_fixture->makeFile("printed.pdf");
        const QString failed = m_fixture->makeFile("failed.pdf");
        const QString cached = m_fixture->makeFile("cached.pdf");
        const QString prn = m_fixture->makeFile("k.prn");
        for (const QString &path : {printed, failed, cached})
            QVERIFY(store.addFile(path, 0, RowSettings{}));
        QVERIFY(store.addCacheJob({"job", cached, prn, 2}, 0, RowSettings{}));
        QVERIFY(store.addCacheJob({"gone", cached, m_fixture->files.filePath("gone.prn"), 2}, 0,
                                  RowSettings{}));
        QVERIFY(store.markPrinted(printed, "P", false, false, 1));
        QVERIFY(store.markFailed(failed, "Paper jam"));
        // The printed row has a cache too: printed wins.
        m_queue->setCacheLookup([&](const QString &path, const PrintSettings &) {
            return path == LocalStore::normalizedPath(cached) || path == LocalStore::normalizedPath(printed);
        });
        m_queue->reloadQueueTable();

        const auto status = [this](int row) { return m_table->item(row, Column::Status); };
        QCOMPARE(status(0)->text(), QStringLiteral("Printed"));
        QCOMPARE(status(0)->foreground().color(), QColor("#059669"));
        QCOMPARE(status(1)->text(), QStringLiteral("Failed"));
        QCOMPARE(status(1)->foreground().color(), QColor("#dc2626"));
        QCOMPARE(status(1)->toolTip(), QStringLiteral("Paper jam"));
        QCOMPARE(status(2)->text(), QStringLiteral("Cache ready"));
        QCOMPARE(status(2)->foreground().color(), QColor("#7c3aed"));
        QCOMPARE(status(2)->toolTip(),
                 QStringLiteral("The cache will be uploaded directly to the printer when printing"));
        QCOMPARE(status(3)->text(), QStringLiteral("Cache ready"));
        QVERIFY(status(3)->toolTip().startsWith("Standalone cache job"));
        QCOMPARE(status(4)->text(), QStringLiteral("Pending"));

        QCOMPARE(m_table->item(3, Column::File)->data(QueueTable::IsCacheRole).toBool(), true);
        QCOMPARE(m_table->item(3, Column::File)->data(QueueTable::SourcePathRole).toString(),
                 LocalStore::normalizedPath(cached));
        QCOMPARE(m_table->item(0, Column::Info)->text(), QStringLiteral("1.5 KB · PDF"));
        QCOMPARE(m_table->item(3, Column::Info)->text(), QStringLiteral("Standalone cache · 1.5 KB"));
        QCOMPARE(m_table->item(4, Column::Info)->text(), QStringLiteral("Cached file is missing"));
        QFile::remove(failed);
        m_queue->reloadQueueTable();
        QCOMPARE(m_table->item(1, Column::Info)->text(), QStringLiteral("File is missing"));
        QCOMPARE(m_table->item(2, Column::Number)->text(), QStringLiteral("3"));
    }

    void normalQueueAndHotFolderLayouts()
    {
        QSettings().setValue("normalCopies", 3);
        QVERIFY(m_fixture->store.addFile(m_fixture->makeFile("a.pdf"), 0, RowSettings{"P", 0, false, "A4", 7}));
        m_queue->reloadQueueTable();
        for (const int column : {Column::Printer, Column::Duplex, Column::Color, Column::Size})
            QVERIFY(m_table->isColumnHidden(column));
        QVERIFY(!m_table->isColumnHidden(Column::Info));
        QCOMPARE(m_table->rowHeight(0), 46);
        QCOMPARE(m_table->columnWidth(Column::Number), 42);
        QCOMPARE(m_table->columnWidth(Column::Actions), 154);
        QCOMPARE(QueueTable::copiesBox(m_table.get(), 0)->value(), 3);

        QVERIFY(m_fixture->store.addHotFolder({"Lab", "P", 0, false, "A4", "#e9edf3"}));
        const int id = m_fixture->store.hotFolders().first().toMap().value("id").toInt();
        QVERIFY(m_fixture->store.addFile(m_fixture->makeFile("b.pdf"), id, RowSettings{"P", 0, false, "A4", 7}));
        m_queue->setCurrentTab(id, "Lab");
        m_queue->reloadQueueTable();
        QVERIFY(m_table->isColumnHidden(Column::Info));
        QCOMPARE(m_table->rowHeight(0), 44);
        // 34 is asked for, but no section is narrower than the header's minimum of 40.
        QCOMPARE(m_table->columnWidth(Column::Number), 40);
        // A hot folder shows each row's own copies, not the normal queue's.
        QCOMPARE(QueueTable::copiesBox(m_table.get(), 0)->value(), 7);
        QVERIFY(m_fixture->store.setFolderCopies(id, 2));
        m_queue->reloadQueueTable();
        QCOMPARE(QueueTable::copiesBox(m_table.get(), 0)->value(), 2);
        QCOMPARE(QueueTable::copiesBox(m_table.get(), 0)->maximum(), 9999);
    }

    void copiesSurviveARebuild()
    {
        addRows(3);
        QueueTable::copiesBox(m_table.get(), 1)->setValue(5);
        // The normal queue has one number for all its rows.
        QCOMPARE(QueueTable::copiesBox(m_table.get(), 0)->value(), 5);
        m_queue->reloadQueueTable();
        QCOMPARE(QueueTable::copiesBox(m_table.get(), 2)->value(), 5);
        QCOMPARE(m_queue->buildPrintJob(2).copies, 5);

        QVERIFY(m_fixture->store.addHotFolder({"Lab", "P", 0, false, "A4", "#e9edf3"}));
        const int id = m_fixture->store.hotFolders().first().toMap().value("id").toInt();
        m_queue->setCurrentTab(id, "Lab");
        addRows(0);
        QVERIFY(m_fixture->store.addFile(m_fixture->makeFile("h1.pdf"), id, RowSettings{}));
        QVERIFY(m_fixture->store.addFile(m_fixture->makeFile("h2.pdf"), id, RowSettings{}));
        m_queue->reloadQueueTable();
        QueueTable::copiesBox(m_table.get(), 1)->setValue(8);
        m_queue->reloadQueueTable();
        QCOMPARE(QueueTable::copiesBox(m_table.get(), 0)->value(), 1);
        QCOMPARE(QueueTable::copiesBox(m_table.get(), 1)->value(), 8);
    }

    void headerButtonsSitAfterTheirTexts()
    {
        QToolButton *sort = QueueTable::sortButton(m_table.get());
        QToolButton *copies = QueueTable::copiesButton(m_table.get());
        QVERIFY(sort && copies);
        QCOMPARE(sort->toolTip(), QStringLiteral("Sort file names in ascending order"));
        QHeaderView *header = m_table->horizontalHeader();
        const int fileText = QFontMetrics(header->font()).horizontalAdvance("File");
        QCOMPARE(sort->x(), header->sectionViewportPosition(Column::File) + fileText + 15);
        m_table->resize(1200, 600);
        QTRY_COMPARE(copies->x(), header->sectionViewportPosition(Column::Copies)
                                      + QFontMetrics(header->font()).horizontalAdvance("Copies") + 15);
    }

    void clickCtrlAndShift()
    {
        addRows(5);
        QTest::mouseClick(m_table->viewport(), Qt::LeftButton, {}, cellCenter(1, Column::File));
        QCOMPARE(m_table->selectedRows(), rows({1}));
        QTest::mouseClick(m_table->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          cellCenter(3, Column::Number));
        QCOMPARE(m_table->selectedRows(), rows({1, 3}));
        QTest::mouseClick(m_table->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          cellCenter(1, Column::Status));
        QCOMPARE(m_table->selectedRows(), rows({3}));
        // The last Ctrl-click anchors Shift, even when it deselected its row.
        QTest::mouseClick(m_table->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          cellCenter(4, Column::File));
        QCOMPARE(m_table->selectedRows(), rows({1, 2, 3, 4}));
        QCOMPARE(m_statuses.last(),
                 QStringLiteral("4 files selected. Press Delete to remove or drag the group to reorder"));
        QTest::mouseClick(m_table->viewport(), Qt::LeftButton, {}, cellCenter(0, Column::File));
        QTest::mouseClick(m_table->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          cellCenter(2, Column::File));
        QCOMPARE(m_table->selectedRows(), rows({0, 1, 2}));
    }

    void pressOnAGroupKeepsIt()
    {
        addRows(5);
        m_table->setSelectedRows(rows({1, 3, 4}));
        QTest::mousePress(m_table->viewport(), Qt::LeftButton, {}, cellCenter(3, Column::File));
        QCOMPARE(m_table->selectedRows(), rows({1, 3, 4}));
        QTest::mouseRelease(m_table->viewport(), Qt::LeftButton, {}, cellCenter(3, Column::File));

        QTest::mousePress(m_table->viewport(), Qt::LeftButton, {}, cellCenter(2, Column::File));
        QCOMPARE(m_table->selectedRows(), rows({2}));
        QTest::mouseRelease(m_table->viewport(), Qt::LeftButton, {}, cellCenter(2, Column::File));
    }

    void dragStartsOnlyPastTheDragDistance()
    {
        addRows(5);
        m_table->setSelectedRows(rows({4, 1}));
        const QPoint start = cellCenter(4, Column::File);
        QTest::mousePress(m_table->viewport(), Qt::LeftButton, {}, start);
        const int distance = QApplication::startDragDistance();
        QMouseEvent small(QEvent::MouseMove, start + QPoint(distance - 1, 0),
                          m_table->viewport()->mapToGlobal(start + QPoint(distance - 1, 0)),
                          Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_table->viewport(), &small);
        QVERIFY(m_table->startedDrags.isEmpty());

        const QPoint far = start + QPoint(distance, distance);
        QMouseEvent big(QEvent::MouseMove, far, m_table->viewport()->mapToGlobal(far), Qt::NoButton,
                        Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_table->viewport(), &big);
        QCOMPARE(m_table->startedDrags, (QList<QList<int>>{{1, 4}}));
        QTest::mouseRelease(m_table->viewport(), Qt::LeftButton, {}, far);
        QCOMPARE(ReorderTableWidget::encodeDraggedRows({0, 3, 4}), QByteArray("0,3,4"));
    }

    void rubberBand()
    {
        addRows(5);
        // The Info column is not draggable: a press there starts a band.
        const QPoint origin = cellCenter(1, Column::Info);
        const QPoint end = cellCenter(3, Column::Info);
        QTest::mousePress(m_table->viewport(), Qt::LeftButton, {}, origin);
        QCOMPARE(m_table->selectedRows(), QSet<int>());
        QMouseEvent move(QEvent::MouseMove, end, m_table->viewport()->mapToGlobal(end),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_table->viewport(), &move);
        QCOMPARE(m_table->selectedRows(), rows({1, 2, 3}));
        QTest::mouseRelease(m_table->viewport(), Qt::LeftButton, {}, end);
        QVERIFY(m_table->startedDrags.isEmpty());

        // With Ctrl the band adds to what was selected.
        const QPoint last = cellCenter(4, Column::Info);
        QTest::mousePress(m_table->viewport(), Qt::LeftButton, Qt::ControlModifier, last);
        QMouseEvent within(QEvent::MouseMove, last + QPoint(5, 2),
                           m_table->viewport()->mapToGlobal(last + QPoint(5, 2)), Qt::NoButton,
                           Qt::LeftButton, Qt::ControlModifier);
        QApplication::sendEvent(m_table->viewport(), &within);
        QTest::mouseRelease(m_table->viewport(), Qt::LeftButton, Qt::ControlModifier, last);
        QCOMPARE(m_table->selectedRows(), rows({1, 2, 3, 4}));

        // Shift after a band extends from its first row.
        QTest::mouseClick(m_table->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          cellCenter(0, Column::File));
        QCOMPARE(m_table->selectedRows(), rows({0, 1}));
    }

    void dropPositions()
    {
        addRows(3);
        const QRect row1 = m_table->visualRect(m_table->model()->index(1, 0));
        QCOMPARE(m_table->dropTargetAt(row1.top() + 1), 1);
        QCOMPARE(m_table->dropTargetAt(row1.top() + row1.height() / 2), 2);
        QCOMPARE(m_table->dropTargetAt(row1.bottom()), 2);
        QCOMPARE(m_table->dropTargetAt(m_table->viewport()->height() - 2), 3);
        QCOMPARE(m_table->dropTargetAt(-5), 0);
        QCOMPARE(m_table->parseDraggedRows("2,x,0,2,7,-1, 1"), (QList<int>{0, 1, 2}));
    }

    void dropsFromElsewhereAreIgnored()
    {
        addRows(3);
        QSignalSpy moves(m_table.get(), &ReorderTableWidget::rowsMoveRequested);
        for (const char *format : {"text/plain", ReorderTableWidget::kMimeType}) {
            QMimeData data;
            data.setData(QLatin1String(format), "0,1");
            // No drag of this table is running: the source is another program.
            QDropEvent drop(QPointF(cellCenter(2, Column::File)), Qt::MoveAction, &data,
                            Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_table->viewport(), &drop);
            QVERIFY(!drop.isAccepted());
        }
        QCOMPARE(moves.count(), 0);
        QVERIFY(!m_table->isDropIndicatorVisible());
    }

    void movesAreStored()
    {
        addRows(5);
        m_queue->moveRows({2, 3}, 1);
        QStringList names;
        for (int row = 0; row < 5; ++row)
            names << fileNameAt(row);
        QCOMPARE(names, (QStringList{"f0.pdf", "f2.pdf", "f3.pdf", "f1.pdf", "f4.pdf"}));
        QCOMPARE(m_table->selectedRows(), rows({1, 2}));
        QCOMPARE(m_statuses.last(), QStringLiteral("Moved 2 files to position 2"));

        // Survives a restart: the order is in the database.
        LocalStore reopened;
        QVERIFY(reopened.open());
        QCOMPARE(reopened.files(0).at(1).toMap().value("file_name").toString(),
                 QStringLiteral("f2.pdf"));

        m_statuses.clear();
        m_queue->moveRows({4}, 4);
        QVERIFY(m_statuses.isEmpty());
        QCOMPARE(m_table->selectedRows(), rows({4}));

        m_queue->moveRows({1, 4}, 5);
        QCOMPARE(fileNameAt(3), QStringLiteral("f2.pdf"));
        QCOMPARE(fileNameAt(4), QStringLiteral("f4.pdf"));
        QCOMPARE(m_statuses.last(), QStringLiteral("Moved 2 files to position 4"));

        m_queue->moveRows({0}, 6); // beyond the list: ignored
        QCOMPARE(fileNameAt(0), QStringLiteral("f0.pdf"));
    }

    void failedMoveChangesNothing()
    {
        addRows(3);
        QVERIFY(m_fixture->refuse("no_order", "BEFORE UPDATE OF sort_order ON print_files"));
        m_queue->moveRows({2}, 0);
        QVERIFY(m_statuses.last().startsWith(QStringLiteral("Failed to reorder files：")));
        QCOMPARE(fileNameAt(0), QStringLiteral("f0.pdf"));
    }

    void deleteAndEscapeKeys()
    {
        addRows(4);
        m_table->setSelectedRows(rows({3, 1}));
        m_table->setFocus();
        QTest::keyClick(m_table.get(), Qt::Key_Delete, {}, -1);
        QCOMPARE(m_table->rowCount(), 2);
        QCOMPARE(fileNameAt(1), QStringLiteral("f2.pdf"));
        QCOMPARE(m_statuses.last(),
                 QStringLiteral("Removed 2 files from the queue; original files were not deleted"));
        QVERIFY(QFile::exists(m_fixture->files.filePath("f1.pdf")));

        m_table->setSelectedRows(rows({0, 1}));
        QTest::keyClick(m_table.get(), Qt::Key_Escape);
        QVERIFY(m_table->selectedRows().isEmpty());
        QTest::keyClick(m_table.get(), Qt::Key_Delete);
        QCOMPARE(m_table->rowCount(), 2);
    }

    void rowButtons()
    {
        addRows(2);
        QSignalSpy prints(m_queue.get(), &QueueController::printRequested);
        QWidget *actions = m_table->cellWidget(1, Column::Actions);
        auto *print = actions->findChild<QPushButton *>("RowPrintButton");
        auto *remove = actions->findChild<QPushButton *>("RowRemoveButton");
        QCOMPARE(print->size(), QSize(58, 34));
        QTest::mouseClick(print, Qt::LeftButton);
        QCOMPARE(prints.count(), 1);
        QCOMPARE(prints.first().first().toInt(), 1);

        QueueTable::markRowBusy(m_table.get(), 1);
        QCOMPARE(m_table->item(1, Column::Status)->text(), QStringLiteral("Printing"));
        QCOMPARE(print->text(), QStringLiteral("Printing"));
        QVERIFY(!remove->isEnabled());

        m_queue->reloadQueueTable();
        remove = m_table->cellWidget(1, Column::Actions)->findChild<QPushButton *>("RowRemoveButton");
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(m_table->rowCount(), 1);
        QCOMPARE(m_statuses.last(), QStringLiteral("Removed from queue: ：f1.pdf"));
    }
};

DUNMARROW_TEST_MAIN(TestQueueTable)
#include "tst_queuetable.moc"
