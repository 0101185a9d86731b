#include "ModalAnswerer.h"
#include "PdfFactory.h"
#include "QueueFixture.h"
#include "StandIns.h"
#include "TestMain.h"

#include "app/MainWindow.h"
#include "engines/OfficeSuites.h"
#include "forms/FormDesignerDialog.h"
#include "queue/BatchPrinter.h"
#include "queue/ColoredTabBar.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

namespace {

QColor pixelAt(const QImage &image, const QWidget *widget, const QWidget *window, QPoint pos)
{
    return image.pixelColor(widget->mapTo(window, pos));
}

bool hasPixelNear(const QImage &image, const QColor &wanted)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - wanted.red()) < 12 && qAbs(c.green() - wanted.green()) < 12
                && qAbs(c.blue() - wanted.blue()) < 12)
                return true;
        }
    }
    return false;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    QComboBox *engineCombo(MainWindow &window, int which)
    {
        return window.findChildren<QComboBox *>("PrintEngineCombo").value(which);
    }

private Q_SLOTS:
    void init()
    {
        QSettings().clear();
        removeLocalData();
    }

    void widgetTreeAndLook()
    {
        MainWindow window;
        window.resize(1328, 760);

        auto *sidebar = window.findChild<QFrame *>("Sidebar");
        QVERIFY(sidebar);
        QCOMPARE(sidebar->width(), 244);
        QStringList primary;
        for (auto *b : window.findChildren<QPushButton *>("PrimaryButton"))
            primary << b->text();
        QCOMPARE(primary, (QStringList{"Forms designer", "Import files", "Print all"}));
        for (QPushButton *b : window.findChildren<QPushButton *>())
            QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(buttonNamed(&window, "Forms designer")->shortcut(), QKeySequence("Ctrl+Shift+F"));
        QCOMPARE(window.findChild<QComboBox *>("NormalPrinterCombo")->parent()->objectName(),
                 QStringLiteral("ColoredTabBar"));
        auto *hint = window.findChild<QLabel *>("HotFolderHint");
        QCOMPARE(hint->text(), QStringLiteral("Normal queue: printer, duplex, color, paper, and "
                                              "other settings use the printer driver properties."));
        // The normal queue has no caches; the tools need nothing.
        QVERIFY(!buttonNamed(&window, "Cache")->isEnabled());
        QVERIFY(buttonNamed(&window, "Image layout")->isEnabled());
        QVERIFY(buttonNamed(&window, "Forms designer")->isEnabled());

        window.showStatus("Something failed", true);
        QImage image = window.grab().toImage();
        QCOMPARE(image.pixelColor(5, 400), QColor("#12233d"));
        auto *import = buttonNamed(&window, "Import files");
        QCOMPARE(pixelAt(image, import, &window, {4, import->height() / 2}), QColor("#2563eb"));
        QCOMPARE(pixelAt(image, hint, &window, {5, hint->height() / 2}), QColor("#eef5ff"));
        // An empty list: "Print all" is off and looks it.
        auto *printAll = buttonNamed(&window, "Print all");
        QVERIFY(!printAll->isEnabled());
        QCOMPARE(pixelAt(image, printAll, &window, {4, printAll->height() / 2}), QColor("#eef1f5"));
        auto *status = window.statusBar();
        const QRect statusRect(status->mapTo(&window, QPoint(0, 0)), status->size());
        QVERIFY(hasPixelNear(image.copy(statusRect), QColor("#dc2626")));
        // A name in the status line is shown as the text it is.
        window.showStatus("Opened file: report <u>draft &lt;v2&gt;.pdf");
        QCOMPARE(window.statusText(), QStringLiteral("Opened file: report <u>draft &lt;v2&gt;.pdf"));
        QCOMPARE(status->findChild<QLabel *>()->textFormat(), Qt::PlainText);
        window.showStatus("All fine");
        image = window.grab().toImage();
        QVERIFY(!hasPixelNear(image.copy(statusRect), QColor("#dc2626")));
        QVERIFY(hasPixelNear(image.copy(statusRect), QColor("#374151")));
    }

    // Acrobat and the COM suites do not exist here: offered greyed with the
    // reason, never chosen by the keyboard; a stored choice of them, or an
    // unknown one, shows and prints as what can, and stays stored.
    void engineChoicesOnLinux()
    {
        QSettings().setValue("acrobatDefaultRestored", true);
        QSettings().setValue("pdfEngine", "acrobat");
        QSettings().setValue("officeEngine", "wps");
        MainWindow window;
        QComboBox *pdf = engineCombo(window, 0);
        QComboBox *office = engineCombo(window, 1);
        QCOMPARE(pdf->currentData().toString(), QStringLiteral("pdfium"));
        QCOMPARE(office->currentData().toString(), QStringLiteral("auto"));
        const auto enabled = [](QComboBox *combo) {
            QList<bool> states;
            for (int i = 0; i < combo->count(); ++i)
                states << qobject_cast<QStandardItemModel *>(combo->model())->item(i)->isEnabled();
            return states;
        };
        QCOMPARE(enabled(pdf), (QList<bool>{false, true}));
        QCOMPARE(enabled(office), (QList<bool>{true, false, false, true}));
        QCOMPARE(pdf->itemData(0, Qt::ToolTipRole).toString(),
                 QStringLiteral("Adobe Acrobat is not available on Linux. PDFs print with the built-in engine."));
        QVERIFY(office->itemData(1, Qt::ToolTipRole).toString().startsWith("Microsoft Office is not available"));
        QTest::keyClick(pdf, Qt::Key_Up);
        QTest::keyClick(office, Qt::Key_Down);
        QCOMPARE(pdf->currentData().toString(), QStringLiteral("pdfium"));
        QCOMPARE(office->currentData().toString(), QStringLiteral("libreoffice"));
        QCOMPARE(QSettings().value("pdfEngine").toString(), QStringLiteral("acrobat"));
        QCOMPARE(QSettings().value("officeEngine").toString(), QStringLiteral("libreoffice"));
    }

    // Where Acrobat and an office suite exist, their rules hold as they are.
    void engineDefaultsWithAcrobat()
    {
        {
            // No Acrobat: the one-time switch picks the built-in engine.
            MainWindow window;
            QCOMPARE(engineCombo(window, 0)->currentData().toString(), QStringLiteral("pdfium"));
            QCOMPARE(QSettings().value("acrobatDefaultRestored").toBool(), true);
        }
        QSettings().clear();
        StandInPrograms programs;
        QSettings().setValue("pdfEngine", "pdfium");
        QSettings().setValue("officeEngine", "Unknown");
        {
            MainWindow window;
            QCOMPARE(engineCombo(window, 0)->currentText(), QStringLiteral("Adobe Acrobat"));
            QCOMPARE(engineCombo(window, 1)->currentText(), QStringLiteral("Automatic"));
            engineCombo(window, 0)->setCurrentIndex(1);
            engineCombo(window, 1)->setCurrentIndex(1);
        }
        {
            MainWindow window;
            QCOMPARE(engineCombo(window, 0)->currentData().toString(), QStringLiteral("pdfium"));
            QCOMPARE(engineCombo(window, 1)->currentData().toString(), QStringLiteral("microsoft"));
        }
        // Values of the wrong case or type select the first item.
        QSettings().setValue("pdfEngine", "PDFium");
        QSettings().setValue("officeEngine", QVariantList{1, 2});
        {
            MainWindow window;
            QCOMPARE(engineCombo(window, 0)->currentIndex(), 0);
            QCOMPARE(engineCombo(window, 1)->currentIndex(), 0);
        }
    }

    void unreadableSettings()
    {
        QSettings().sync();
        const QString file = QSettings().fileName();
        QFile::remove(file);
        QVERIFY(QDir().mkpath(file)); // a folder where the file should be
        {
            MainWindow window;
            QCOMPARE(engineCombo(window, 1)->currentData().toString(), QStringLiteral("auto"));
            window.addFiles({});
        }
        QVERIFY(QFileInfo(file).isDir());
        QDir(file).removeRecursively();
    }

    // From "Import files" to the job at the scheduler with the built-in
    // engine, on a profile that has never chosen an engine.
    void importAndPrint()
    {
        QSettings().setValue("defaultPrinter", PrivateCups::kRawQueue);
        QTemporaryDir files;
        const QString pdf = files.filePath("imported “one”.pdf");
        QVERIFY(PdfFactory::write(pdf, PdfFactory::textPages(1)));
        MainWindow window;
        ModalAnswerer dialogs;
        // With LibreOffice installed, start-up asks nothing.
        QTest::qWait(20);
        QCOMPARE(dialogs.seen.isEmpty(), isLibreOfficeAvailable());
        QStringList filters;
        dialogs.onDialog = [&](QDialog *dialog) {
            auto *files = qobject_cast<QFileDialog *>(dialog);
            if (!files) {
                dialog->reject();
                return;
            }
            filters = files->nameFilters();
            QCOMPARE(files->fileMode(), QFileDialog::ExistingFiles);
            chooseInFileDialog(files, pdf);
        };
        QTest::mouseClick(buttonNamed(&window, "Import files"), Qt::LeftButton);
        QVERIFY(dialogs.seen.contains("Import printable files"));
        QVERIFY(filters.value(0).startsWith("Printable files (*.pdf *.caj *.doc *.docx *.rtf"));
        QCOMPARE(window.queue()->entries().size(), 1);

        // The row's own button, then the whole list.
        auto *rowPrint = window.queueTable()->cellWidget(0, QueueTable::Actions)
                             ->findChild<QPushButton *>("RowPrintButton");
        QTest::mouseClick(rowPrint, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialogs.seen.contains("Print complete"), 60000);
        QCOMPARE(window.statusText(), QStringLiteral("Sent to Dunmarrow_Raw: imported “one”.pdf"));
        dialogs.seen.clear();
        QTest::mouseClick(buttonNamed(&window, "Print all"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialogs.seen.contains("Print complete"), 60000);
        // Printed once the printer finished the job.
        QTRY_COMPARE_WITH_TIMEOUT(window.queueTable()->item(0, QueueTable::Status)->text(), QStringLiteral("Printed"),
                                  30000);
        QCOMPARE(window.findChildren<QLabel *>("SummaryCard").at(2)->text().contains(">1</span>"),
                 true);

        dialogs.reply = QMessageBox::No;
        QTest::mouseClick(buttonNamed(&window, "Clear queue"), Qt::LeftButton);
        QCOMPARE(window.queue()->entries().size(), 1);
        dialogs.reply = QMessageBox::Yes;
        QTest::mouseClick(buttonNamed(&window, "Clear queue"), Qt::LeftButton);
        QCOMPARE(window.queue()->entries().size(), 0);
        QCOMPARE(dialogs.seen.last(), QStringLiteral("ClearQueue / This clears only the print list "
                                                     "and will not delete original files. Continue?"));
        QCOMPARE(window.statusText(), QStringLiteral("Print list cleared; original files were not deleted"));
        QVERIFY(QFile::exists(pdf));

        QTest::mouseClick(buttonNamed(&window, "History"), Qt::LeftButton);
        QCOMPARE(dialogs.seen.last(), QStringLiteral("Print history"));
        QTest::mouseClick(buttonNamed(&window, "Refresh"), Qt::LeftButton);
        QVERIFY(window.statusText().startsWith("Found "));

        // Closed while a batch sends its first file: that file reaches the
        // printer and is recorded, the rest is not sent, nothing is asked.
        QVERIFY(PdfFactory::write(files.filePath("never sent.pdf"), PdfFactory::textPages(1)));
        window.queue()->addFiles({pdf, files.filePath("never sent.pdf")});
        QCOMPARE(window.queue()->entries().size(), 2);
        std::atomic<bool> held{true};
        window.batch()->setDispatcher([&held](const PrintJob &job) {
            while (held)
                QThread::msleep(5);
            return dispatchPrintJob(job);
        });
        dialogs.seen.clear();
        QTest::mouseClick(buttonNamed(&window, "Print all"), Qt::LeftButton);
        QTimer::singleShot(200, [&held] { held = false; });
        QVERIFY(window.close());
        QCOMPARE(window.batch()->inFlightCount(), 0);
        QVERIFY(dialogs.seen.isEmpty());
        QCOMPARE(window.queue()->entries().first().toMap().value("status").toString(), QString("printed"));
        QCOMPARE(window.queue()->entries().last().toMap().value("status").toString(), QString("pending"));
    }

    // A long list: a window still being built gives widgets only to the
    // first rows; the shown window's top bar shows whole numbers and
    // nothing overlaps or is cut at any width; copies boxes have arrows.
    void aLongListInTheWindow()
    {
        QueueFixture fixture;
        for (int i = 0; i < 1000; ++i)
            QVERIFY(fixture.store.addFile(QStringLiteral("/nowhere/%1.pdf").arg(i), 0, RowSettings()));
        MainWindow window;
        QCOMPARE(window.queueTable()->rowCount(), 1000);
        QVERIFY(window.findChildren<QSpinBox *>().size() <= 64);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(QueueTable::copiesBox(window.queueTable(), 0));

        const QList<QLabel *> cards = window.findChildren<QLabel *>("SummaryCard");
        QCOMPARE(cards.size(), 3);
        QVERIFY(cards.first()->text().contains(">1000<"));
        QWidget *topBar = cards.first()->parentWidget()->parentWidget();
        for (int width : {window.minimumWidth(), 1143, 1920}) {
            window.resize(width, 760);
            QTRY_COMPARE(window.width(), width);
            QApplication::processEvents();
            QList<QRect> taken;
            for (QWidget *control : topBar->findChildren<QWidget *>()) {
                if (control->parentWidget() == topBar || !control->isVisible()
                    || control->parentWidget()->parentWidget() != topBar)
                    continue;
                const QRect rect(control->mapTo(&window, QPoint()), control->size());
                QVERIFY2(control->width() >= control->sizeHint().width(),
                         qPrintable(QString("%1 cut at %2 px").arg(control->metaObject()->className()).arg(width)));
                QVERIFY2(window.rect().contains(rect), qPrintable(QString("outside at %1 px").arg(width)));
                for (const QRect &other : std::as_const(taken))
                    QVERIFY2(!other.intersects(rect), qPrintable(QString("overlap at %1 px").arg(width)));
                taken << rect;
            }
            QCOMPARE(taken.size(), 3 + 4 + 3);
        }

        // The arrows are drawn: dark on the up button, pale on the down
        // button of a box at its lowest value.
        QSpinBox *copies = QueueTable::copiesBox(window.queueTable(), 0);
        QCOMPARE(copies->value(), 1);
        const QImage image = copies->grab().toImage();
        const QRect right(copies->width() - 20, 0, 20, copies->height());
        QVERIFY(hasPixelNear(image.copy(right.adjusted(0, 0, 0, -copies->height() / 2)), QColor("#475467")));
        QVERIFY(hasPixelNear(image.copy(right.adjusted(0, copies->height() / 2, 0, 0)), QColor("#c3cad5")));

        // So do the designer's length fields, which are double spin boxes.
        FormDesignerDialog designer(&fixture.store, {}, &window);
        designer.show();
        const auto lengths = designer.findChildren<QDoubleSpinBox *>();
        QVERIFY(!lengths.isEmpty());
        QDoubleSpinBox *length = lengths.first();
        const QImage field = length->grab().toImage();
        QVERIFY(hasPixelNear(field.copy(length->width() - 20, 0, 20, length->height() / 2), QColor("#475467")));
    }

    void hotFolderTabs()
    {
        QueueFixture fixture;
        QVERIFY(fixture.store.addHotFolder({"Invoices", "Office_PS", 1, false, "A4", "#ffffff"}));
        QVERIFY(fixture.store.addHotFolder({"Photos", "", 0, true, "driver-default", "#12233d"}));
        QVERIFY(fixture.store.addHotFolder({"Labels", "Zebra", 2, false, "Letter", "bad"}));
        MainWindow window;
        auto *bar = window.findChild<ColoredTabBar *>();
        QCOMPARE(bar->count(), 4);
        bar->resize(216, bar->sizeHint().height());

        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(100, 200));
        QCOMPARE(bar->currentIndex(), 2);
        QCOMPARE(window.queue()->currentTabText(), QStringLiteral("Photos"));
        QCOMPARE(window.findChild<QLabel *>("HotFolderHint")->text(),
                 QStringLiteral("Current hot folder: Photos　Printer：Nothing selectedPrinter　"
                                "Simplex　Color　Printer driver default"));
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(100, 400));
        QCOMPARE(bar->currentIndex(), 2);
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(100, 350));
        QCOMPARE(bar->currentIndex(), 3);

        // Choosing the normal queue's printer goes back to the normal queue.
        auto *printers = window.findChild<QComboBox *>("NormalPrinterCombo");
        QVERIFY(printers->count() > 1);
        printers->setCurrentIndex(printers->currentIndex() == 0 ? 1 : 0);
        QCOMPARE(bar->currentIndex(), 0);
        QCOMPARE(window.statusText(), QStringLiteral("Normal queuePrinter：") + printers->currentText());
        QCOMPARE(QSettings().value("defaultPrinter").toString(), printers->currentText());
    }
};

DUNMARROW_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
