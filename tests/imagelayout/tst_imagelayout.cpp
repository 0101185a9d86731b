#include "ImageFactory.h"
#include "ModalAnswerer.h"
#include "TestMain.h"

#include "imagelayout/ImageLayoutDialog.h"
#include "imagelayout/ImageListWidget.h"
#include "imagelayout/ImageLoading.h"
#include "imagelayout/LayoutPdf.h"

#include <QBuffer>
#include <QDir>
#include <QtEndian>
#include <QFileDialog>
#include <QImageWriter>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>

#include <zlib.h>

namespace {

QImage filled(int width, int height, const QColor &color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A PNG whose header claims 30000 × 30000 pixels: the reader must refuse to
// allocate it rather than try.
QByteArray pngBomb()
{
    const auto chunk = [](const QByteArray &type, const QByteArray &data) {
        QByteArray out;
        const quint32 length = qToBigEndian(quint32(data.size()));
        out.append(reinterpret_cast<const char *>(&length), 4);
        const QByteArray body = type + data;
        const quint32 crc = qToBigEndian(quint32(
            crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))));
        return out + body + QByteArray(reinterpret_cast<const char *>(&crc), 4);
    };
    QByteArray header;
    const quint32 side = qToBigEndian(quint32(30000));
    header.append(reinterpret_cast<const char *>(&side), 4).append(reinterpret_cast<const char *>(&side), 4);
    header.append("\x08\x02\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header)
        + chunk("IDAT", qCompress(QByteArray(65536, 0)).mid(4)) + chunk("IEND", {});
}

// Rows of samples as a PDF image stores them.
QByteArray rowsOf(const QImage &image)
{
    QByteArray rows;
    for (int y = 0; y < image.height(); ++y)
        rows.append(reinterpret_cast<const char *>(image.constScanLine(y)), image.width() * 3);
    return rows;
}

// The box of one colour on a page rendered at 50 dpi, in millimetres.
QRectF colourBox(const QString &pdf, int page, const QColor &colour)
{
    QTemporaryDir dir;
    QProcess::execute("pdftoppm", {"-r", "50", "-f", QString::number(page), "-l", QString::number(page),
                                   "-png", pdf, dir.filePath("page")});
    const QStringList pages = QDir(dir.path()).entryList({"page*.png"});
    const QImage image(dir.filePath(pages.value(0)));
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (qAbs(pixel.red() - colour.red()) < 40 && qAbs(pixel.green() - colour.green()) < 40
                && qAbs(pixel.blue() - colour.blue()) < 40)
                box |= QRect(x, y, 1, 1);
        }
    }
    const double mm = 25.4 / 50;
    return QRectF(box.x() * mm, box.y() * mm, box.width() * mm, box.height() * mm);
}

QString pageSizes(const QString &pdf)
{
    QProcess info;
    info.start("pdfinfo", {"-f", "1", "-l", "99", pdf});
    info.waitForFinished();
    QStringList sizes;
    for (const QString &line : QString::fromUtf8(info.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("Page") && line.contains(" size:"))
            sizes << line.section(':', 1).simplified().section(" pts", 0, 0);
    }
    return sizes.join(" | ");
}

bool near(const QRectF &actual, const QRectF &expected)
{
    const double tolerance = 1.5; // mm: three pixels at 50 dpi
    return qAbs(actual.left() - expected.left()) < tolerance && qAbs(actual.top() - expected.top()) < tolerance
        && qAbs(actual.width() - expected.width()) < tolerance
        && qAbs(actual.height() - expected.height()) < tolerance;
}

} // namespace

class TestImageLayout : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString image(const QString &name, const QImage &content)
    {
        const QString path = m_dir.filePath(name);
        content.save(path);
        return path;
    }

    static QStringList labels(const ImageListWidget *list)
    {
        QStringList texts;
        for (int row = 0; row < list->count(); ++row)
            texts << list->item(row)->text();
        return texts;
    }

private Q_SLOTS:
    // Each file once, however it is named; unreadable ones reported together.
    void addingImages()
    {
        const QString a = image("a.png", filled(30, 20, Qt::red));
        const QString quoted = image("b \"quoted\" ü.jpg", filled(20, 30, Qt::blue));
        const QString upper = image("Photo.png", filled(10, 10, Qt::green));
        const QString lower = image("photo.png", filled(10, 10, Qt::green));
        QVERIFY(QFile::link(a, m_dir.filePath("link.png")));
        writeFile(m_dir.filePath("notes.png"), "not an image");
        writeFile(m_dir.filePath("empty.jpg"), QByteArray());
        writeFile(m_dir.filePath("bomb.png"), pngBomb());

        ImageLayoutDialog dialog;
        auto *count = dialog.findChild<QLabel *>("CountLabel");
        QCOMPARE(count->text(), QString("0 images"));
        QVERIFY(!buttonNamed(&dialog, "Generate PDF")->isEnabled());
        QVERIFY(!buttonNamed(&dialog, "Clear")->isEnabled());

        ModalAnswerer answerer;
        dialog.addImages({a, m_dir.filePath("sub/../a.png"), m_dir.filePath("link.png"), a,
                          m_dir.filePath("missing.png"), m_dir.filePath("notes.png"), quoted,
                          m_dir.filePath("empty.jpg"), m_dir.filePath("bomb.png"), upper, lower});
        QCOMPARE(dialog.imagePaths(), (QStringList{a, quoted, upper, lower}));
        QCOMPARE(labels(dialog.list()).first(), QString(" 1    a.png"));
        QCOMPARE(count->text(), QString("4 images"));
        QVERIFY(dialog.findChild<QLabel *>("EmptyState")->isHidden());
        QCOMPARE(answerer.seen.size(), 1);
        const QString warning = answerer.seen.first();
        QVERIFY2(warning.startsWith("Some files could not be added / The following files are invalid images "
                                    "or could not be read:\n\nnotes.png："),
                 qPrintable(warning));
        QVERIFY(warning.contains("\nempty.jpg：") && warning.contains("\nbomb.png："));
        QCOMPARE(ImageListWidget::gridCellSize(600), QSize(194, 168));
        QCOMPARE(ImageListWidget::gridCellSize(500), QSize(180, 168));

        // Files dropped from outside go to the end, whatever the position.
        const QString dropped = image("dropped.png", filled(10, 10, Qt::gray));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(dropped), QUrl("https://example.org/x.png")});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(dialog.list()->viewport(), &enter);
        QVERIFY(dialog.list()->property("externalDragActive").toBool());
        // The style sheet shows the state: the list turns light blue.
        const QPoint corner = dialog.list()->viewport()->geometry().bottomRight() - QPoint(3, 3);
        QCOMPARE(dialog.list()->grab().toImage().pixelColor(corner), QColor("#edf4ff"));
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(dialog.list()->viewport(), &drop);
        QVERIFY(!dialog.list()->property("externalDragActive").toBool());
        QCOMPARE(dialog.imagePaths().last(), dropped);
    }

    // Items 1 and 2 dragged to the gap after item 4 of five.
    void reorderByDrag()
    {
        ImageLayoutDialog dialog;
        QStringList paths;
        for (int i = 1; i <= 5; ++i)
            paths << image(QString("%1.png").arg(i), filled(10, 10, Qt::black));
        dialog.addImages(paths);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        ImageListWidget *list = dialog.list();
        const QRect fourth = list->visualItemRect(list->item(3));
        QCOMPARE(list->dropIndexAt(fourth.center() + QPoint(1, 0)), 4);
        QCOMPARE(list->dropIndexAt(fourth.center() - QPoint(1, 0)), 3);

        list->item(0)->setSelected(true);
        list->item(1)->setSelected(true);
        list->moveSelectedTo(4);
        QCOMPARE(labels(list), (QStringList{" 1    3.png", " 2    4.png", " 3    1.png", " 4    2.png",
                                            " 5    5.png"}));
        QVERIFY(list->item(2)->isSelected() && list->item(3)->isSelected());
        QCOMPARE(list->selectedItems().size(), 2);
        QVERIFY(buttonNamed(&dialog, "Remove selected")->isEnabled());
    }

    // Page geometry read back from the PDF, one page per readable image.
    void generatedPdf()
    {
        const QString wide = image("wide.png", filled(3000, 2000, Qt::red));
        const QString square = image("square.png", filled(1000, 1000, Qt::blue));
        // Stored 400 × 200, shown turned: a 200 × 400 portrait photo.
        const QString turned = m_dir.filePath("turned.jpg");
        QImage sideways = filled(400, 200, Qt::green);
        sideways.fill(QColor(0, 160, 0));
        writeFile(turned, ImageFactory::jpegWithOrientation(sideways, 6));
        QCOMPARE(loadImage(turned, nullptr).size(), QSize(200, 400));
        QImage deep(300, 100, QImage::Format_RGBA64);
        deep.fill(Qt::magenta);
        const QString sixteenBit = image("deep.png", deep);

        const QString pdf = m_dir.filePath("layout.pdf");
        const LayoutPdfResult result = writeLayoutPdf({wide, square, turned, sixteenBit}, pdf);
        QCOMPARE(result.status, LayoutPdfResult::Status::Written);
        QCOMPARE(result.pages, 4);
        QCOMPARE(pageSizes(pdf), QString("842 x 595 | 595 x 842 | 595 x 842 | 842 x 595"));
        // Fitted into the page inside 10 mm margins and centred there.
        QVERIFY(near(colourBox(pdf, 1, Qt::red), QRectF(10, 10 + (190 - 277 * 2.0 / 3) / 2, 277, 277 * 2.0 / 3)));
        QVERIFY(near(colourBox(pdf, 2, Qt::blue), QRectF(10, 10 + (277 - 190) / 2.0, 190, 190)));
        QVERIFY(near(colourBox(pdf, 3, QColor(0, 160, 0)), QRectF(10 + (190 - 138.5) / 2, 10, 138.5, 277)));

        // An input under the output's name is read before it is replaced.
        const QString named = m_dir.filePath("photo.pdf");
        QVERIFY(QFile::copy(square, named));
        QCOMPARE(writeLayoutPdf({named}, named).pages, 1);
        QVERIFY(readFile(named).startsWith("%PDF"));
        QCOMPARE(writeLayoutPdf({wide}, "/dev/null/x.pdf").status, LayoutPdfResult::Status::CannotWrite);
        QCOMPARE(writeLayoutPdf({m_dir.filePath("missing.png")}, pdf).status,
                 LayoutPdfResult::Status::NoReadableImage);
    }

    // Every page of a multi-page TIFF; a photo as its own bytes however
    // large; other images losslessly, 16-bit ones of any size too.
    void pagesAndPixelsAsTheyAre()
    {
        QList<QImage> faxPages;
        for (int page = 0; page < 3; ++page) {
            QImage fax(1728, 2200, QImage::Format_Grayscale8);
            fax.fill(255);
            fax.fill(page * 60); // distinct pages
            faxPages << fax;
        }
        const QString fax = m_dir.filePath("fax.tif");
        writeFile(fax, ImageFactory::tiff(faxPages));
        QImage deep(4800, 3600, QImage::Format_RGBX64); // 138 MB decoded
        deep.fill(QColor(20, 120, 220));
        const QString scan = m_dir.filePath("scan16.tif");
        writeFile(scan, ImageFactory::tiff({deep}));
        const QString photo = m_dir.filePath("photo 48mp.jpg");
        writeFile(photo, ImageFactory::jpegWithOrientation(filled(8000, 6000, QColor(200, 80, 40)), 1, 50));
        QImage pattern(300, 200, QImage::Format_RGB888);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x)
                pattern.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
        const QString png = image("pattern.png", pattern);

        const QString pdf = m_dir.filePath("pages.pdf");
        const LayoutPdfResult result = writeLayoutPdf({fax, photo, scan, png}, pdf);
        QCOMPARE(result.skipped, QStringList());
        QCOMPARE(result.pages, 6);
        QCOMPARE(pageSizes(pdf), QString("595 x 842 | 595 x 842 | 595 x 842 | 842 x 595 | 842 x 595 | 842 x 595"));
        const QByteArray written = readFile(pdf);
        QCOMPARE(ImageFactory::storedImage(written, "/DCTDecode"), readFile(photo));
        QVERIFY(ImageFactory::decodedImages(written).contains(rowsOf(pattern)));
        QVERIFY(near(colourBox(pdf, 5, QColor(20, 120, 220)), QRectF(10 + (277 - 190 * 4.0 / 3) / 2, 10, 190 * 4.0 / 3, 190)));
        QVERIFY(!makeThumbnail(scan, nullptr).isNull());
    }

    // The dialog's own run: ten images, the third unreadable by then.
    void generateFromTheDialog()
    {
        ImageLayoutDialog dialog;
        QStringList paths;
        for (int i = 1; i <= 10; ++i)
            paths << image(QString("page %1.png").arg(i), filled(40, 30, Qt::darkCyan));
        dialog.addImages(paths);
        writeFile(paths.at(2), "gone bad");
        QSignalSpy generated(&dialog, &ImageLayoutDialog::pdfGenerated);

        const QString typed = m_dir.filePath("Ten pages");
        ModalAnswerer answerer;
        answerer.onDialog = [typed](QDialog *opened) {
            auto *files = qobject_cast<QFileDialog *>(opened);
            if (!files)
                return opened->reject();
            chooseInFileDialog(files, typed);
        };
        dialog.generatePdf();
        QCOMPARE(generated.size(), 1);
        QCOMPARE(generated.first().first().toString(), typed + ".pdf");
        QCOMPARE(answerer.seen.last(),
                 "Generation complete / PDF generated, 9 pages:\n" + typed
                     + ".pdf\n\nThe following images were skipped because they could not be read:\npage 3.png");
        QCOMPARE(pageSizes(typed + ".pdf").count('|'), 8);
        QCOMPARE(dialog.imagePaths(), paths); // the list stays as it was
    }
};

DUNMARROW_TEST_MAIN(TestImageLayout)
#include "tst_imagelayout.moc"
