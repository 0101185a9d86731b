#include "ModalAnswerer.h"
#include "PdfFactory.h"
#include "QueueFixture.h"
#include "StandIns.h"
#include "TestMain.h"

#include "app/MainWindow.h"
#include "queue/ColoredTabBar.h"
#include "queue/HotFolderEditor.h"
#include "queue/QueueController.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QUrl>

namespace {

QPushButton *buttonNamed(QWidget *parent, const QString &text)
{
    for (QPushButton *button : parent->findChildren<QPushButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

} // namespace

class TestHotFolders : public QObject
{
    Q_OBJECT

    StandInPrograms m_programs;

private Q_SLOTS:
    void init()
    {
        QSettings().clear();
        QSettings().setValue("acrobatDefaultRestored", true);
        removeLocalData();
    }

    void createEditDropDelete()
    {
        MainWindow window;
        auto *bar = window.findChild<ColoredTabBar *>();
        bar->resize(216, 400);
        ModalAnswerer dialogs;
        QString name = QStringLiteral("  ");
        dialogs.onDialog = [&](QDialog *dialog) {
            auto *editor = qobject_cast<HotFolderEditor *>(dialog);
            editor->nameEdit()->setText(name);
            editor->printerCombo()->setCurrentText(PrivateCups::kPostScriptQueue);
            editor->duplexCombo()->setCurrentIndex(1);
            // Clicked from the event loop, so the answerer can answer the box.
            QTimer::singleShot(0, editor, [editor] {
                buttonNamed(editor, "Save")->click();
                if (editor->isVisible()) { // refused: a real name this time
                    editor->nameEdit()->setText("Duplex A4");
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
        QCOMPARE(stored.value("printer_name").toString(), QString(PrivateCups::kPostScriptQueue));
        QCOMPARE(stored.value("duplex_mode").toInt(), 1);
        QVERIFY(stored.value("paper_size").toString().startsWith("win:"));

        name = "Duplex A4";
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
        QueueFixture files; // (its own fresh store is not used)
        const QString pdf = files.files.filePath("dropped.pdf");
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
                 QStringLiteral("Delete hot folder / Delete “Duplex A4”? Its files will move back to the "
                                "normal queue. Original files will not be deleted."));
        QCOMPARE(bar->count(), 1);
        QCOMPARE(window.queue()->currentHotFolderId(), 0);
        QCOMPARE(window.store().files(0).size(), 1);
        QCOMPARE(window.statusText(), QStringLiteral("Hot folder deleted. Files moved back to the normal queue"));
    }

    // A stored printer that is gone gives way to the first one installed.
    void refreshWithAVanishedPrinter()
    {
        QSettings().setValue("defaultPrinter", "Vanished_Printer");
        MainWindow window;
        auto *combo = window.findChild<QComboBox *>("NormalPrinterCombo");
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(QSettings().value("defaultPrinter").toString(), combo->currentText());
        combo->setCurrentIndex(combo->count() - 1);
        QTest::mouseClick(buttonNamed(&window, "Refresh"), Qt::LeftButton);
        QCOMPARE(combo->currentIndex(), combo->count() - 1); // the choice on screen stays
        QCOMPARE(window.statusText(), QStringLiteral("Found %1 printers").arg(combo->count()));
    }

    void papersFromTheDriver()
    {
        QueueFixture fixture;
        QVERIFY(fixture.store.addHotFolder({"Kept", "Gone_Printer", 2, true, "A3", "not a colour"}));
        const int id = fixture.store.hotFolders().first().toMap().value("id").toInt();
        HotFolderEditor editor(&fixture.store, {PrivateCups::kPostScriptQueue, "Gone_Printer"}, id);
        // A printer that is gone keeps the stored choices.
        QCOMPARE(editor.printerCombo()->currentText(), QStringLiteral("Gone_Printer"));
        QCOMPARE(editor.paperCombo()->count(), 1);
        QCOMPARE(editor.paperCombo()->currentText(), QStringLiteral("A3"));
        QCOMPARE(editor.duplexCombo()->currentIndex(), 2);
        QCOMPARE(editor.infoLabel()->text(),
                 QStringLiteral("Driver values could not be read. Paper size will follow the printer driver."));
        QVERIFY(!editor.infoLabel()->toolTip().isEmpty());
        QCOMPARE(editor.tabColorButton()->text(), QStringLiteral("Choose color  #e9edf3"));

        // Another printer brings its own papers and defaults.
        editor.printerCombo()->setCurrentIndex(0);
        QVERIFY(editor.paperCombo()->count() > 5);
        QVERIFY(editor.paperCombo()->currentData().toString().startsWith("win:"));
        QCOMPARE(editor.infoLabel()->text(),
                 QStringLiteral("Synced from the Dunmarrow_PS printer driver. Changing the printer "
                                "refreshes these values."));
        editor.printerCombo()->setCurrentIndex(1);
        QCOMPARE(editor.paperCombo()->currentText(), QStringLiteral("Use printer driver default"));
    }

    // The Part's examples: a white tab has dark text and, when current, an
    // outline of its colour darkened; a dark one white text and #9bc0ff.
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
