#include "ModalAnswerer.h"
#include "PrinterQueues.h"
#include "QueueFixture.h"
#include "TestMain.h"

#include "forms/DesignerGraphicsView.h"
#include "forms/FormCanvas.h"
#include "forms/FormDesignerDialog.h"
#include "forms/FormElementItem.h"
#include "forms/FormLayout.h"
#include "forms/FormScene.h"
#include "platform/JobTracking.h"
#include "queue/JobFollower.h"
#include "store/LocalStore.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>

namespace {

template <typename Widget>
Widget *named(const FormDesignerDialog &dialog, const char *name)
{
    return dialog.findChild<Widget *>(QLatin1String(name));
}

// The fields of the form-setup panel and the properties panel, by the
// label of their row.
template <typename Field>
Field *fieldFor(const FormDesignerDialog &dialog, const QString &label)
{
    for (QLabel *candidate : dialog.findChildren<QLabel *>()) {
        if (candidate->text() == label && candidate->buddy())
            return qobject_cast<Field *>(candidate->buddy());
    }
    return nullptr;
}

QComboBox *comboWithItem(const FormDesignerDialog &dialog, const QString &item)
{
    for (QComboBox *box : dialog.findChildren<QComboBox *>()) {
        if (box->findText(item) >= 0)
            return box;
    }
    return nullptr;
}

// The box of the dark ink above a height of the page (in mm), rendered at
// 100 dpi, in millimetres.
QRectF inkBox(const QString &pdf, double aboveMm)
{
    QTemporaryDir dir;
    QProcess::execute("pdftoppm", {"-r", "100", "-f", "1", "-l", "1", "-png", pdf, dir.filePath("p")});
    const QImage image(dir.filePath(QDir(dir.path()).entryList({"p*.png"}).value(0)));
    QRect box;
    for (int y = 0; y < std::min(image.height(), int(aboveMm / 25.4 * 100)); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 120)
                box |= QRect(x, y, 1, 1);
        }
    }
    const double mm = 25.4 / 100;
    return QRectF(box.x() * mm, box.y() * mm, box.width() * mm, box.height() * mm);
}

QString pdfText(const QString &pdf)
{
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    text.waitForFinished();
    return QString::fromUtf8(text.readAllStandardOutput());
}

} // namespace

class TestFormDesigner : public QObject
{
    Q_OBJECT

    std::unique_ptr<LocalStore> m_store;

private Q_SLOTS:
    void init() { m_store = freshLocalStore(); }
    void cleanup() { m_store.reset(); }

    // Two fields under one key, an offset, an NCR set: the page arrives at
    // the template's exact size, shifted, filled with the one value typed.
    void printsTheForm()
    {
        FormDesignerDialog dialog(m_store.get(), {kRaw, kPs});
        dialog.canvas()->clear();
        comboWithItem(dialog, "Custom size")->setCurrentIndex(1);
        named<QDoubleSpinBox>(dialog, "PaperWidth")->setValue(150);
        named<QDoubleSpinBox>(dialog, "PaperHeight")->setValue(100);
        fieldFor<QDoubleSpinBox>(dialog, "Horizontal offset")->setValue(2.5);
        fieldFor<QDoubleSpinBox>(dialog, "Vertical offset")->setValue(-1.0);
        comboWithItem(dialog, "Multipart NCR (impact printer)")->setCurrentIndex(2);
        comboWithItem(dialog, "4-part (original + 3)")->setCurrentIndex(2);
        FormElementItem *frame = dialog.canvas()->addElement("rect");
        frame->setBorderWidth(2);
        frame->setPos(60, 60); // 20 mm, 20 mm
        FormElementItem *first = dialog.canvas()->addElement("field");
        first->setPos(90, 150);
        FormElementItem *second = dialog.canvas()->addElement("field");
        second->setPos(240, 210);
        second->setText(" ");
        second->setSelected(true);
        named<QComboBox>(dialog, "PrinterSelector")->setCurrentText(kRaw);

        const int before = PrivateCups::lastJobId(kRaw);
        ModalAnswerer answerer;
        answerer.reply = QMessageBox::Ok;
        int inputs = 0;
        answerer.onDialog = [&inputs](QDialog *opened) {
            if (qobject_cast<QPrintDialog *>(opened))
                return opened->accept();
            const QList<QLineEdit *> fields = opened->findChildren<QLineEdit *>();
            inputs = int(fields.size());
            fields.first()->setText("ACME & Co");
            opened->accept();
        };
        QSignalSpy submitted(&dialog, &FormDesignerDialog::formSubmitted);
        dialog.printForm();
        QCOMPARE(inputs, 1);
        QCOMPARE(answerer.seen.first(), QString("Enter one form record"));
        QCOMPARE(answerer.seen.last(),
                 QString("Print submitted / The form was submitted at 150.0 × 100.0 mm with an offset of 2.5, "
                         "-1.0 mm.\nFor tractor-feed paper, save the same form size in the printer "
                         "driver.\nNCR mode: load a 4-part carbonless set. The printer submits one impression "
                         "per form."));
        // The canvas looks as it did: placeholders, the selection back.
        QVERIFY(!first->isPrintMode() && first->printValue().isEmpty() && !dialog.scene()->isPrintMode());
        QVERIFY(second->isSelected());

        const int job = PrivateCups::waitForJobAfter(kRaw, before, "New continuous form");
        QVERIFY(job > 0);
        // The print dialog's job is found, and followed to its end.
        QCOMPARE(submitted.size(), 1);
        JobFollower follower(m_store.get());
        QSignalSpy ended(&follower, &JobFollower::jobEnded);
        follower.findAndFollow(kRaw, "New continuous form", submitted.first().at(2).toLongLong(), "Form");
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 30000);
        QCOMPARE(ended.first().at(1).toString(), QString("completed"));
        QCOMPARE(Platform::findJob(kRaw, "New continuous form", submitted.first().at(2).toLongLong()), job);
        // The exact size asked of the printer; the PDF's box in whole points.
        QVERIFY(PrivateCups::jobInfo(kRaw, job).contains("media=Custom.150x100mm "));
        const QString pdf = QDir(PrivateCups::outputFolder(kRaw)).filePath(QString("%1.prn").arg(job));
        QProcess info;
        info.start("pdfinfo", {pdf});
        info.waitForFinished();
        QVERIFY2(QString::fromUtf8(info.readAllStandardOutput()).contains("Page size:       425 x 283 pts"),
                 qPrintable(pdf));
        QCOMPARE(pdfText(pdf).count("ACME & Co"), 2);
        // A queue without custom sizes (the generic PostScript printer):
        // the refusal, and Cancel, its default, prints nothing.
        named<QComboBox>(dialog, "PrinterSelector")->setCurrentText(kPs);
        const int beforePs = PrivateCups::lastJobId(kPs);
        answerer.reply = QMessageBox::NoButton;
        answerer.seen.clear();
        dialog.printForm();
        QCOMPARE(answerer.seen.last().section(" / ", 0, 0), QString("Printer did not accept custom paper"));
        // (Other suites print on this queue meanwhile: look for this form.)
        QCOMPARE(PrivateCups::waitForJobAfter(kPs, beforePs, "New continuous form", 500), 0);
        QVERIFY(!first->isPrintMode() && second->isSelected());

        const QRectF ink = inkBox(pdf, 47); // the frame: 55 × 25 mm at (20, 20), moved (2.5, -1)
        QVERIFY2(qAbs(ink.left() - 22.5) < 0.6 && qAbs(ink.top() - 19.0) < 0.6 && qAbs(ink.width() - 55) < 0.8,
                 qPrintable(QString("%1 %2 %3").arg(ink.left()).arg(ink.top()).arg(ink.width())));
    }

    // Undo and redo by the keys the tips name, pressed on the canvas.
    void historyAndTemplates()
    {
        FormDesignerDialog dialog(m_store.get(), {kPs});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(dialog.historySize(), 1);
        const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
            QTest::keyClick(dialog.view(), key, modifiers);
            return dialog.canvas()->elements().first()->text();
        };
        FormElementItem *text = dialog.canvas()->elements().first();
        text->setSelected(true);
        auto *content = fieldFor<QLineEdit>(dialog, "Content");
        content->setText("Invoice");
        emit content->textEdited("Invoice");
        QCOMPARE(text->text(), QString("Invoice")); // at once
        QCOMPARE(dialog.historySize(), 1);
        QTRY_COMPARE(dialog.historySize(), 2); // 350 ms later

        // Undo right after typing: the typed state first, then back.
        content->setText("Invoice 2");
        emit content->textEdited("Invoice 2");
        dialog.view()->setFocus();
        QCOMPARE(press(Qt::Key_Z), QString("Invoice"));
        QCOMPARE(dialog.historySize(), 3);
        QCOMPARE(press(Qt::Key_Y), QString("Invoice 2"));
        QCOMPARE(press(Qt::Key_Z), QString("Invoice"));
        QCOMPARE(press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier), QString("Invoice 2"));
        QCOMPARE(press(Qt::Key_Y), QString("Invoice 2")); // past the end: nothing
        dialog.canvas()->elements().first()->setSelected(true);
        press(Qt::Key_D);
        QCOMPARE(dialog.canvas()->elements().size(), 2);
        press(Qt::Key_Delete, Qt::NoModifier);
        QCOMPARE(dialog.canvas()->elements().size(), 1);

        // 101 moves keep 100 entries.
        for (int i = 0; i < 101; ++i) {
            dialog.canvas()->elements().first()->setPos(30 + (i % 2) * 60, 30);
            dialog.commitHistory();
        }
        QCOMPARE(dialog.historySize(), 100);
        dialog.commitHistory(); // nothing changed: no entry
        QCOMPARE(dialog.historyIndex(), 99);

        // A unit switch round-trips, and 10 mm under inches keeps its 3 decimals.
        const double paperWidth = dialog.paperWidthMm(); // the printer's default paper
        fieldFor<QDoubleSpinBox>(dialog, "Horizontal offset")->setValue(10);
        comboWithItem(dialog, "Inches (in)")->setCurrentIndex(1);
        QCOMPARE(fieldFor<QDoubleSpinBox>(dialog, "Horizontal offset")->value(), 0.394);
        QCOMPARE(Forms::parseLayoutJson(dialog.currentLayoutJson().toUtf8()).setup.horizontalOffsetMm, 0.394 * 25.4);
        comboWithItem(dialog, "Inches (in)")->setCurrentIndex(0);
        QVERIFY(qAbs(dialog.paperWidthMm() - paperWidth) < 0.05); // the field's one decimal

        // Saving: blank names refused; a new form is selected in the list.
        ModalAnswerer answerer;
        answerer.reply = QMessageBox::Yes;
        fieldFor<QLineEdit>(dialog, "Template name")->setText("   ");
        dialog.saveCurrentTemplate();
        QCOMPARE(answerer.seen.last(), QString("Save failed / The template name cannot be empty."));
        QCOMPARE(dialog.currentTemplateId(), 0);
        fieldFor<QLineEdit>(dialog, "Template name")->setText("Delivery note");
        dialog.saveCurrentTemplate();
        const int id = dialog.currentTemplateId();
        QVERIFY(id > 0);
        QCOMPARE(named<QComboBox>(dialog, "TemplateSelector")->currentData().toInt(), id);

        // Deleted by another window, then saved: stored anew, nothing lost.
        QVERIFY(m_store->deleteTemplate(id));
        dialog.saveCurrentTemplate();
        QVERIFY(dialog.currentTemplateId() > id);
        QVERIFY(m_store->formTemplate(dialog.currentTemplateId()).value("layout_json").toString().contains("Invoice 2"));

        // Loading resets the history; a paper change is not undone.
        dialog.newForm();
        QCOMPARE(dialog.canvas()->elements().size(), 1);
        dialog.loadTemplate(dialog.currentTemplateId() == 0 ? m_store->formTemplates().first().toMap().value("id").toInt()
                                                            : dialog.currentTemplateId());
        QCOMPARE(dialog.historySize(), 1);
        QCOMPARE(dialog.canvas()->elements().first()->text(), QString("Invoice 2"));
        dialog.addElement("table");
        comboWithItem(dialog, "A5 — 148 × 210 mm")->setCurrentIndex(6);
        dialog.undo();
        QCOMPARE(dialog.canvas()->elements().size(), 1);
        QCOMPARE(dialog.paperWidthMm(), 148.0);

        // Deleting the current template starts a new form.
        dialog.deleteCurrentTemplate();
        QCOMPARE(dialog.currentTemplateId(), 0);
        QCOMPARE(m_store->formTemplates().size(), 0);
    }

    // Changing one property leaves every other length exactly as it was,
    // whatever the unit shows it rounded to.
    void onlyTheEditedValueChanges()
    {
        FormDesignerDialog dialog(m_store.get(), {kPs});
        FormElementItem *element = dialog.canvas()->elements().first();
        element->setSize(135, 37.02);          // 45 × 12.34 mm
        element->setPos(30, 45);
        element->setSelected(true);
        const auto geometry = [element] { return QRectF(element->pos(), QSizeF(element->width(), element->height())); };
        const QRectF placed = geometry();
        fieldFor<QSpinBox>(dialog, "Border")->setValue(3);
        QCOMPARE(geometry(), placed);
        comboWithItem(dialog, "Inches (in)")->setCurrentIndex(1);
        fieldFor<QSpinBox>(dialog, "Font size")->setValue(14);
        QCOMPARE(geometry(), placed);
        // The value typed is taken as typed; the others stay.
        named<QDoubleSpinBox>(dialog, "ComponentWidth")->setValue(2);
        QCOMPARE(geometry(), QRectF(placed.topLeft(), QSizeF(2 * 25.4 * 3, placed.height())));
    }

    // Leaving unsaved edits asks first: Cancel keeps them, Discard drops
    // them, Save stores them and goes on.
    void unsavedEditsAreNeverDroppedSilently()
    {
        QVERIFY(m_store->saveTemplate(0, "Other", 210, 297, "{}"));
        const int other = m_store->formTemplates().first().toMap().value("id").toInt();
        FormDesignerDialog dialog(m_store.get(), {kPs});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QVERIFY(!dialog.hasUnsavedChanges());
        ModalAnswerer answerer;
        answerer.reply = QMessageBox::Cancel;
        QTest::mouseClick(buttonNamed(&dialog, "＋ Line"), Qt::LeftButton);
        fieldFor<QLineEdit>(dialog, "Template name")->setText("Delivery <b>note</b>");
        QTest::mouseClick(buttonNamed(&dialog, "New"), Qt::LeftButton);
        auto *templates = named<QComboBox>(dialog, "TemplateSelector");
        templates->setCurrentIndex(templates->findData(other));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(answerer.seen, QStringList(3, "Unsaved changes / “Delivery <b>note</b>” has changes that are "
                                               "not saved. Save them first?"));
        QCOMPARE(answerer.formats.last(), Qt::PlainText);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.canvas()->elements().size(), 2);
        QCOMPARE(templates->currentIndex(), 0);

        answerer.reply = QMessageBox::Discard;
        QTest::mouseClick(buttonNamed(&dialog, "New"), Qt::LeftButton);
        QCOMPARE(dialog.canvas()->elements().size(), 1);
        QVERIFY(!dialog.hasUnsavedChanges());

        // Save, then the chosen template loads; its own edits, then Escape.
        answerer.reply = QMessageBox::Save;
        QTest::mouseClick(buttonNamed(&dialog, "＋ Table"), Qt::LeftButton);
        templates->setCurrentIndex(templates->findData(other));
        QCOMPARE(dialog.currentTemplateId(), other);
        QCOMPARE(templates->currentData().toInt(), other);
        QCOMPARE(m_store->formTemplates().size(), 2);
        fieldFor<QLineEdit>(dialog, "Template name")->setText("Other, renamed");
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(m_store->formTemplate(other).value("name").toString(), QStringLiteral("Other, renamed"));
    }
};

DUNMARROW_TEST_MAIN(TestFormDesigner)
#include "tst_formdesigner.moc"
