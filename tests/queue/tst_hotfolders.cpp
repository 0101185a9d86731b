#include "ModalAnswerer.h"
#include "PdfFactory.h"
#include "PrinterQueues.h"
#include "QueueFixture.h"
#include "TestMain.h"

#include "app/MainWindow.h"
#include "queue/ColoredTabBar.h"
#include "queue/HotFolderEditor.h"
#include "queue/DriverProperties.h"
#include "queue/PrinterList.h"
#include "queue/QueueController.h"
#include "platform/LpOptions.h"
#include "platform/PrinterPropertiesDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>
#include <QWheelEvent>

namespace {

// The printer's properties window, as the user leaves it with OK.
void confirmProperties(QDialog *dialog)
{
    if (qobject_cast<Platform::PrinterPropertiesDialog *>(dialog))
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    else
        dialog->reject();
}

// What reached the PostScript queue for the next job titled so.
QByteArray nextPsJob(int before, const QString &title, QString *info)
{
    int job = 0;
    // The window's answers come through its event loop.
    if (!QTest::qWaitFor([&] { return (job = PrivateCups::waitForJobAfter(kPs, before, title, 50)) > 0; },
                         60000))
        return QByteArray();
    *info = PrivateCups::jobInfo(kPs, job);
    return PrivateCups::waitForJobOutput(kPs, job);
}

// A minimal printer description with a constraint, 200 options in a group of
// their own and choice names full of characters that need quoting.
QByteArray manyOptionsPpd()
{
    QByteArray ppd =
        "*PPD-Adobe: \"4.3\"\n"
        "*OpenUI *PageSize/Media Size: PickOne\n"
        "*DefaultPageSize: A4\n"
        "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
        "*PageSize Letter/US Letter: \"<</PageSize[612 792]>>setpagedevice\"\n"
        "*CloseUI: *PageSize\n"
        "*DefaultImageableArea: A4\n"
        "*ImageableArea A4/A4: \"0 0 595 842\"\n"
        "*ImageableArea Letter/US Letter: \"0 0 612 792\"\n"
        "*DefaultPaperDimension: A4\n"
        "*PaperDimension A4/A4: \"595 842\"\n"
        "*PaperDimension Letter/US Letter: \"612 792\"\n"
        "*OpenGroup: Finishing/Finishing\n"
        "*OpenUI *Staple/Staple: PickOne\n"
        "*DefaultStaple: None\n"
        "*Staple None/Off: \"\"\n"
        "*Staple TopLeft/Top left: \"\"\n"
        "*CloseUI: *Staple\n"
        "*OpenUI *Fold/Fold: Boolean\n"
        "*DefaultFold: False\n"
        "*Fold True/Yes: \"\"\n"
        "*Fold False/No: \"\"\n"
        "*CloseUI: *Fold\n"
        "*UIConstraints: *Staple *Fold True\n"
        "*UIConstraints: *Fold True *Staple\n"
        "*CloseGroup: Finishing\n"
        "*OpenGroup: Extra/Extra\n";
    for (int i = 1; i <= 200; ++i) {
        const QByteArray name = "Opt" + QByteArray::number(i);
        ppd += "*OpenUI *" + name + "/Option " + QByteArray::number(i) + ": PickOne\n"
            + "*Default" + name + ": Plain\n"
            + "*" + name + " Plain/Plain: \"\"\n"
            + "*" + name + " Tray'2\"{x=y/Odd tray: \"\"\n"
            + "*CloseUI: *" + name + "\n";
    }
    return ppd + "*CloseGroup: Extra\n";
}

// A queue with that driver description, as an administrator adds one.
bool addManyOptionsQueue(const QString &queue)
{
    QTemporaryDir dir;
    const QString ppd = dir.filePath("many.ppd");
    return writeFile(ppd, manyOptionsPpd())
        && QProcess::execute("lpadmin", {"-p", queue, "-E", "-v", "file:/dev/null", "-P", ppd}) == 0;
}

} // namespace

class TestHotFolders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        Platform::restoreLpOptions({});
        QSettings().clear();
        QSettings().setValue("acrobatDefaultRestored", true);
        QSettings().setValue("pdfEngine", "pdfium");
        removeLocalData();
    }

    void createEditDropDelete()
    {
        const QString oddName = QStringLiteral("Duplex <u>A4</u>　&lt;v2&gt;");
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *bar = window.findChild<ColoredTabBar *>();
        ModalAnswerer dialogs;
        QString name = QStringLiteral("  ");
        dialogs.onDialog = [&](QDialog *dialog) {
            auto *editor = qobject_cast<HotFolderEditor *>(dialog);
            editor->nameEdit()->setText(name);
            editor->printerCombo()->setCurrentText(kPs);
            editor->duplexCombo()->setCurrentIndex(1);
            // Clicked from the event loop, so the answerer can answer the box.
            QTimer::singleShot(0, editor, [editor, oddName] {
                buttonNamed(editor, "Save")->click();
                if (editor->isVisible()) { // refused: a real name this time
                    editor->nameEdit()->setText(oddName);
                    buttonNamed(editor, "Save")->click();
                }
            });
        };
        buttonNamed(&window, "+ New hot folder")->click();
        QVERIFY(dialogs.seen.contains("Name cannot be empty / Enter a hot folder name."));
        QCOMPARE(bar->count(), 2);
        QCOMPARE(bar->currentIndex(), 1);
        QCOMPARE(window.statusText(), QStringLiteral("Hot folder created. Drag files into the current tab"));
        const int id = window.queue()->currentHotFolderId();
        HotFolder stored = window.store().hotFolder(id);
        QCOMPARE(stored.value("printer_name").toString(), kPs);
        QCOMPARE(stored.value("duplex_mode").toInt(), 1);
        QVERIFY(stored.value("paper_size").toString().startsWith("win:"));

        // Names are shown as the text they are, never as markup.
        auto *hint = window.findChild<QLabel *>("HotFolderHint");
        QVERIFY(hint->text().startsWith(QStringLiteral("Current hot folder: ") + oddName));
        QCOMPARE(hint->textFormat(), Qt::PlainText);
        name = oddName;
        buttonNamed(&window, "+ New hot folder")->click();
        QCOMPARE(dialogs.seen.last(), QStringLiteral("SaveFailed / Hot folder names must be unique."));
        QCOMPARE(bar->count(), 2);

        // The edit icon edits the clicked tab.
        bar->setCurrentIndex(0);
        dialogs.onDialog = [](QDialog *dialog) {
            auto *editor = qobject_cast<HotFolderEditor *>(dialog);
            editor->duplexCombo()->setCurrentIndex(2);
            editor->setTabColor(QColor("#fde68a"));
            buttonNamed(editor, "Save")->click();
        };
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->editIconRect(1).center());
        QCOMPARE(window.statusText(), QStringLiteral("Hot folder preset updated"));
        stored = window.store().hotFolder(id);
        QCOMPARE(stored.value("duplex_mode").toInt(), 2);
        QCOMPARE(stored.value("tab_color").toString(), QStringLiteral("#fde68a"));

        // Files dropped on the tab go into its list.
        bar->setCurrentIndex(0);
        QTemporaryDir files;
        const QString pdf = files.filePath("dropped.pdf");
        QVERIFY(PdfFactory::write(pdf, PdfFactory::textPages(1)));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(pdf)});
        const QPoint onTab = bar->mapTo(&window, bar->tabArea(1).center());
        QDragEnterEvent enter(onTab, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&window, &enter);
        QDropEvent drop(onTab, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&window, &drop);
        QCOMPARE(bar->currentIndex(), 1);
        QCOMPARE(window.store().files(id).size(), 1);

        // Deleting it moves its files back to the normal queue.
        dialogs.reply = QMessageBox::Yes;
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->deleteIconRect(1).center());
        QCOMPARE(dialogs.seen.last(),
                 QStringLiteral("Delete hot folder / Delete “%1”? Its files will move back to the "
                                "normal queue. Original files will not be deleted.").arg(oddName));
        QCOMPARE(dialogs.formats.last(), Qt::PlainText);
        QCOMPARE(bar->count(), 1);
        QCOMPARE(window.queue()->currentHotFolderId(), 0);
        QCOMPARE(window.store().files(0).size(), 1);
        QCOMPARE(window.statusText(), QStringLiteral("Hot folder deleted. Files moved back to the normal queue"));
    }

    // Many presets scroll in the sidebar: the window does not grow with
    // them, and the wheel scrolls rather than switching presets.
    void manyPresetsScroll()
    {
        MainWindow window;
        for (int i = 0; i < 12; ++i)
            QVERIFY(window.store().addHotFolder({QString("Preset %1").arg(i), kPs, 0, false, "A4", "#ffffff"}));
        window.loadHotFolderTabs(0);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *bar = window.findChild<ColoredTabBar *>();
        QCOMPARE(bar->height(), 108 + 82 * 12);
        QVERIFY(window.minimumSizeHint().height() < 600);
        QWheelEvent wheel(QPointF(50, 150), bar->mapToGlobal(QPointF(50, 150)), {}, {0, -120},
                          Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &wheel);
        QCOMPARE(bar->currentIndex(), 0);
    }

    // A stored printer that is gone gives way to the first one installed.
    void refreshWithAVanishedPrinter()
    {
        QSettings().setValue("defaultPrinter", "Vanished_Printer");
        MainWindow window;
        auto *combo = window.findChild<QComboBox *>("NormalPrinterCombo");
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(QSettings().value("defaultPrinter").toString(), combo->currentText());
        // (Other suites add and remove printers meanwhile: the choice is known by its name.)
        combo->setCurrentText(kPs);
        QTest::mouseClick(buttonNamed(&window, "Refresh"), Qt::LeftButton);
        QCOMPARE(combo->currentText(), QString(kPs)); // the choice on screen stays
        QCOMPARE(window.statusText(), QStringLiteral("Found %1 printers").arg(combo->count()));
    }

    // Choices made in the printer's properties window become the printer's
    // defaults for every CUPS client and the normal queue's settings.
    void propertiesRoundTrip()
    {
        QSettings().setValue("defaultPrinter", kPs);
        MainWindow window;
        ModalAnswerer dialogs;
        QAbstractButton *propertiesButton = window.findChild<ColoredTabBar *>()->propertiesButton();
        QTest::mouseClick(propertiesButton, Qt::LeftButton);
        QCOMPARE(dialogs.seen, QStringList("Dunmarrow_PS Printing Preferences")); // cancelled
        QCOMPARE(userOptionsFile(), QByteArray("<no file>"));
        QVERIFY(!QSettings().contains("normalDuplexMode"));

        QStringList options;
        dialogs.onDialog = [&](QDialog *dialog) {
            auto *properties = qobject_cast<Platform::PrinterPropertiesDialog *>(dialog);
            options = properties->optionKeywords();
            QVERIFY(properties->choose("Duplex", "DuplexTumble"));
            QVERIFY(properties->choose("PageSize", "A4"));
            properties->copiesBox()->setValue(3);
            confirmProperties(dialog);
        };
        QTest::mouseClick(propertiesButton, Qt::LeftButton);
        dialogs.onDialog = nullptr;
        // The hardware setup and the PageSize alias are not the user's to set.
        QCOMPARE(options, QStringList({"PageSize", "InputSlot", "Duplex"}));
        QCOMPARE(window.statusText(),
                 QStringLiteral("Printer driver properties saved. Future jobs will use these settings"));
        QVERIFY(hasOption(userOptionsFile(), kPs, "sides", "two-sided-short-edge"));
        QVERIFY(hasOption(userOptionsFile(), kPs, "media", "iso_a4_210x297mm"));
        QCOMPARE(QSettings().value("normalDuplexMode").toInt(), 2);
        QCOMPARE(QSettings().value("normalPaperSize").toString(), QStringLiteral("win:9:A4"));
        QCOMPARE(QSettings().value("normalCopies").toInt(), 3);

        // Another CUPS client, then a print of ours, both follow them.
        QTemporaryDir files;
        const QString pdf = files.filePath("round trip.pdf");
        QVERIFY(PdfFactory::write(pdf, PdfFactory::textPages(2)));
        QString info;
        int before = PrivateCups::lastJobId(kPs);
        QVERIFY(PrivateCups::submitWithLp(kPs, pdf) > 0);
        for (int round = 0; round < 2; ++round) {
            const QByteArray output = nextPsJob(before, "round trip.pdf", &info);
            QVERIFY2(info.contains("copies=3\n"), qPrintable(info));
            QVERIFY(output.contains("/Tumble true"));
            QVERIFY(output.contains("%%HiResBoundingBox: 0 0 595.00 842.00"));
            if (round == 1)
                break;
            before = PrivateCups::lastJobId(kPs);
            window.addFiles({pdf});
            window.startPrint(0, false);
        }

        // A hot folder's preset prints as it says, whatever these defaults.
        QVERIFY(window.store().addHotFolder({"Long edge Letter", kPs, 1, false, "Letter", "#fde68a"}));
        window.loadHotFolderTabs(window.store().hotFolders().first().toMap().value("id").toInt());
        const QString preset = files.filePath("preset.pdf");
        QVERIFY(PdfFactory::write(preset, PdfFactory::textPages(2)));
        window.addFiles({preset});
        before = PrivateCups::lastJobId(kPs);
        window.startPrint(0, false);
        const QByteArray output = nextPsJob(before, "preset.pdf", &info);
        QVERIFY2(output.contains("/Tumble false"), output.left(2000));
        QVERIFY(output.contains("%%HiResBoundingBox: 0 0 612.00 792.00"));
    }

    // What the driver reports is kept within 1..9999; a printer that is not
    // there, or none at all, is refused before any window opens.
    void driverValuesAndFailures()
    {
        DriverValues values;
        QString error;
        {
            ModalAnswerer dialogs;
            dialogs.onDialog = confirmProperties;
            for (const auto &[written, kept] : {qMakePair(0, 1), qMakePair(20000, 9999)}) {
                QVERIFY(Platform::writeLpOptions("Dest Dunmarrow_PS copies=" + QByteArray::number(written) + "\n"));
                QVERIFY2(openPrinterProperties(nullptr, kPs, &values, &error), qPrintable(error));
                QCOMPARE(values.copies, kept);
            }
            // Options that cannot be saved leave everything as it was.
            const QByteArray huge = "Dest Dunmarrow_PS copies=2\n" + QByteArray(Platform::kLpOptionsMaxBytes, '#');
            QVERIFY(Platform::writeLpOptions(huge));
            QVERIFY(!openPrinterProperties(nullptr, kPs, &values, &error));
            QVERIFY2(error.startsWith("Failed to save printer driver properties（error "), qPrintable(error));
            QCOMPARE(readFile(Platform::userLpOptionsPath()), huge);
        }
        QVERIFY(Platform::writeLpOptions("Dest Dunmarrow_PS copies=2\n"));
        const QByteArray before = userOptionsFile();
        QVERIFY(!openPrinterProperties(nullptr, "  ", &values, &error));
        QCOMPARE(error, QStringLiteral("Please select a printer first"));
        QVERIFY(!openPrinterProperties(nullptr, "Gone_Printer", &values, &error));
        QCOMPARE(error, QStringLiteral("Unable to openPrinter“Gone_Printer”（error 1801）"));
        QCOMPARE(userOptionsFile(), before);
    }

    // Hundreds of options, odd choice names and a constraint: conflicting
    // choices are refused in the window, the rest survive the options file.
    void aPrinterWithManyOddOptions()
    {
        const QString queue = QStringLiteral("Dunmarrow_Many");
        QVERIFY(addManyOptionsQueue(queue));
        const auto removeQueue = qScopeGuard([&] { QProcess::execute("lpadmin", {"-x", queue}); });

        QStringList keywords;
        QString problem;
        const QString odd = QStringLiteral("Tray'2\"{x=y");
        ModalAnswerer dialogs;
        dialogs.onDialog = [&](QDialog *dialog) {
            auto *properties = qobject_cast<Platform::PrinterPropertiesDialog *>(dialog);
            keywords = properties->optionKeywords();
            properties->choose("Staple", "TopLeft");
            properties->choose("Fold", "True");
            confirmProperties(dialog);
            problem = properties->problemText();
            properties->choose("Fold", "False");
            properties->choose("Opt150", odd);
            confirmProperties(dialog);
        };
        DriverValues values;
        QString error;
        QVERIFY2(openPrinterProperties(nullptr, queue, &values, &error), qPrintable(error));
        QCOMPARE(keywords.size(), 203);
        QCOMPARE(problem, QStringLiteral("These choices cannot be used together: Staple: Top left and Fold: Yes."));
        QVERIFY(hasOption(userOptionsFile(), queue, "Opt150", odd));
        QVERIFY(hasOption(userOptionsFile(), queue, "Staple", "TopLeft"));
        QVERIFY(!hasOption(userOptionsFile(), queue, "Opt1", "Plain"));

        // The window opens on what was stored.
        dialogs.onDialog = [&](QDialog *dialog) {
            problem = qobject_cast<Platform::PrinterPropertiesDialog *>(dialog)->choice("Opt150");
            dialog->reject();
        };
        QVERIFY(!openPrinterProperties(nullptr, queue, &values, &error));
        QVERIFY(error.isEmpty());
        QCOMPARE(problem, odd);
    }

    // A preset whose printer was removed keeps it through the editor until
    // the user picks another; an installed printer brings its own papers.
    void aRemovedPrinterAndTheDriversPapers()
    {
        const QString gone = QStringLiteral("Dunmarrow_Gone");
        QVERIFY(addManyOptionsQueue(gone));
        MainWindow window;
        QVERIFY(window.store().addHotFolder({"Kept", gone, 2, true, "A3", "not a colour"}));
        const int id = window.store().hotFolders().first().toMap().value("id").toInt();
        QCOMPARE(QProcess::execute("lpadmin", {"-x", gone}), 0);
        QTest::mouseClick(buttonNamed(&window, "Refresh"), Qt::LeftButton);
        window.loadHotFolderTabs(id);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QStringList shown;
        ModalAnswerer dialogs;
        dialogs.onDialog = [&](QDialog *dialog) {
            auto *editor = qobject_cast<HotFolderEditor *>(dialog);
            shown = QStringList{editor->printerCombo()->currentText(), editor->paperCombo()->currentText(),
                                editor->infoLabel()->text()};
            editor->nameEdit()->setText("Kept, renamed");
            buttonNamed(editor, "Save")->click();
        };
        auto *bar = window.findChild<ColoredTabBar *>();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->editIconRect(1).center());
        QCOMPARE(shown, QStringList({"Dunmarrow_Gone (not installed)", "A3",
                                     "The printer “Dunmarrow_Gone” is not installed. Saving keeps it and "
                                     "these values; choose another printer to change it."}));
        HotFolder stored = window.store().hotFolder(id);
        QCOMPARE(stored.value("name").toString(), QStringLiteral("Kept, renamed"));
        QCOMPARE(stored.value("printer_name").toString(), gone);
        QCOMPARE(stored.value("paper_size").toString(), QStringLiteral("A3"));
        QCOMPARE(stored.value("duplex_mode").toInt(), 2);

        HotFolderEditor editor(&window.store(), installedPrinters(), id);
        QCOMPARE(editor.tabColorButton()->text(), QStringLiteral("Choose color  #e9edf3"));
        // Another printer brings its own papers and defaults.
        editor.printerCombo()->setCurrentText(kPs);
        QVERIFY(editor.paperCombo()->count() > 5);
        QVERIFY(editor.paperCombo()->currentData().toString().startsWith("win:"));
        QCOMPARE(editor.infoLabel()->text(),
                 QStringLiteral("Synced from the Dunmarrow_PS printer driver. Changing the printer "
                                "refreshes these values."));
        // The driver's window sets what the editor then shows.
        dialogs.onDialog = [](QDialog *dialog) {
            qobject_cast<Platform::PrinterPropertiesDialog *>(dialog)->choose("Duplex", "DuplexNoTumble");
            confirmProperties(dialog);
        };
        const QString normalPrinter = QSettings().value("defaultPrinter").toString();
        buttonNamed(&editor, "Open printer driver settings...")->click();
        QCOMPARE(editor.duplexCombo()->currentIndex(), 1);
        // The normal queue keeps its printer: only its own properties set it.
        QCOMPARE(QSettings().value("defaultPrinter").toString(), normalPrinter);
        QVERIFY(hasOption(userOptionsFile(), kPs, "sides", "two-sided-long-edge"));

        editor.printerCombo()->setCurrentIndex(0);
        QCOMPARE(editor.paperCombo()->currentText(), QStringLiteral("A3"));
        dialogs.onDialog = nullptr;
        buttonNamed(&editor, "Open printer driver settings...")->click();
        QCOMPARE(dialogs.seen.last(),
                 QStringLiteral("Printer settings / Unable to openPrinter“Dunmarrow_Gone”（error 1801）"));
    }

    // A white tab has dark text and, when current, an outline of its colour
    // darkened; a dark one white text and #9bc0ff.
    void tabColours()
    {
        ColoredTabBar bar;
        for (const char *name : {"Normal queue", "White", "Navy"})
            bar.addTab(QString::fromLatin1(name));
        bar.setTabColor(1, QColor("#ffffff"));
        bar.setTabColor(2, QColor("#12233d"));
        bar.resize(bar.sizeHint());
        const auto outlineAt = [&](int index) {
            const QImage image = bar.grab().toImage();
            return image.pixelColor(bar.width() / 2, bar.tabArea(index).top());
        };
        bar.setCurrentIndex(1);
        QCOMPARE(outlineAt(1).rgb(), QColor("#ffffff").darker(145).rgb());
        QCOMPARE(bar.grab().toImage().pixelColor(bar.width() - 8, bar.tabArea(1).top() + 45),
                 QColor("#ffffff"));
        bar.setCurrentIndex(2);
        QCOMPARE(outlineAt(2).rgb(), QColor("#9bc0ff").rgb());
        QCOMPARE(bar.grab().toImage().pixelColor(bar.width() - 8, bar.tabArea(2).top() + 45),
                 QColor(QColor("#12233d").lighter(108).rgb()));
    }
};

DUNMARROW_TEST_MAIN(TestHotFolders)
#include "tst_hotfolders.moc"
