// Writes the fuzz targets' seed corpora from the tests' own factories:
//   make_seeds <corpus folder>
// (one folder per target beneath it).

#include "FuzzSupport.h"
#include "PdfFactory.h"
#include "TestProfile.h"

#include "forms/FormLayout.h"
#include "store/LocalStore.h"

#include <QDir>

#include <cstdio>

namespace {

bool writePdfSeeds(const QString &folder)
{
    using PdfFactory::Page;
    QList<QPair<QString, QList<Page>>> seeds;
    seeds.append({QStringLiteral("text.pdf"), PdfFactory::textPages(2)});
    seeds.append({QStringLiteral("scan.pdf"), PdfFactory::scannedPages(2, 240, 340)});
    Page rotated = PdfFactory::scannedPages(1, 240, 340).first();
    rotated.rotate = 90;
    Page annotated = PdfFactory::textPages(1).first();
    annotated.annotation = true;
    Page highlight = PdfFactory::textPages(1).first();
    highlight.highlightWithoutAppearance = true;
    Page damaged = PdfFactory::textPages(1).first();
    damaged.damagedContent = true;
    Page split = PdfFactory::textPages(1).first();
    split.splitContent = true;
    split.deflatedContent = true;
    Page flate = PdfFactory::scannedPages(1, 240, 340).first();
    flate.images[0].filters = QStringList{"FlateDecode", "DCTDecode"};
    Page grey = PdfFactory::scannedPages(1, 240, 340).first();
    grey.images[0].components = 1;
    seeds.append({QStringLiteral("mixed.pdf"),
                  {rotated, annotated, highlight, damaged, split, flate, grey}});
    Page boxless = PdfFactory::textPages(1).first();
    boxless.noMediaBox = true;
    seeds.append({QStringLiteral("boxless.pdf"), {boxless}});
    for (const auto &[name, pages] : seeds) {
        if (!PdfFactory::write(QDir(folder).filePath(name), pages))
            return false;
    }
    return PdfFactory::write(QDir(folder).filePath(QStringLiteral("locked.pdf")),
                             PdfFactory::textPages(1), QString(), false);
}

bool writeLpOptionsSeeds(const QString &folder)
{
    const QList<QByteArray> files = {
        "Default Office sides=two-sided-long-edge media=iso_a4_210x297mm\n"
        "Dest Office/draft print-quality=3 # fast\n"
        "Dest Lab copies=2 job-sheets='none,none' title=\"a \\\"quoted\\\" name\"\n",
        "# written by lpoptions\nDest Office\nDefault Lab\n\nDest Lab/Élan media=na_letter_8.5x11in\n",
        "dest office collate=true\r\nDEFAULT office\r\n",
    };
    for (int i = 0; i < files.size(); ++i) {
        if (!writeFile(QDir(folder).filePath(QStringLiteral("lpoptions-%1").arg(i + 1)), files[i]))
            return false;
    }
    return true;
}

bool writeHistorySeed(const QString &folder)
{
    LocalStore store;
    if (!store.open())
        return false;
    store.addHistory(QStringLiteral("/srv/print/Invoice 12 «draft».pdf"), QStringLiteral("Office"),
                     3, 2, 0, QString(), QString());
    store.addHistory(QStringLiteral("/srv/print/scan.pdf"), QStringLiteral("Lab"), 1, 1, 4,
                     QStringLiteral("Scans"), QStringLiteral("scan.pdf"));
    return store.exportHistory(QDir(folder).filePath(QStringLiteral("backup.sqlite")));
}

bool writeFormLayoutSeed(const QString &folder)
{
    Forms::FormSetup setup;
    setup.formMode = QStringLiteral("ncr-impact");
    setup.multipartParts = 4;
    setup.measurementUnit = QStringLiteral("in");
    setup.horizontalOffsetMm = 2.5;
    setup.verticalOffsetMm = -1;
    QList<Forms::FormElement> elements;
    double z = 0;
    for (const char *type : {"rect", "table", "text", "field", "line"}) {
        Forms::FormElement element = Forms::defaultElement(QString::fromLatin1(type));
        element.x = 30 + 45 * z;
        element.y = 60 + 37.02 * z;
        element.z = z++;
        elements << element;
    }
    elements[3].text = QStringLiteral("Customer «name»");
    elements[3].fieldKey = QStringLiteral("customer_name");
    elements[3].alignment = QStringLiteral("right");
    return writeFile(QDir(folder).filePath(QStringLiteral("designer-layout.json")),
                     Forms::layoutJson(setup, elements));
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <corpus folder>\n");
        return 2;
    }
    Fuzz::setUpProcess(&argc, &argv);
    const QDir corpus(QFile::decodeName(argv[1]));
    for (const char *target :
         {"fuzz_lpoptions", "fuzz_historyimport", "fuzz_pdfscan", "fuzz_pdfspool", "fuzz_formlayout"})
        corpus.mkpath(QString::fromLatin1(target));
    const bool ok = writeLpOptionsSeeds(corpus.filePath(QStringLiteral("fuzz_lpoptions")))
        && writeHistorySeed(corpus.filePath(QStringLiteral("fuzz_historyimport")))
        && writePdfSeeds(corpus.filePath(QStringLiteral("fuzz_pdfscan")))
        && writePdfSeeds(corpus.filePath(QStringLiteral("fuzz_pdfspool")))
        && writeFormLayoutSeed(corpus.filePath(QStringLiteral("fuzz_formlayout")));
    std::printf(ok ? "seeds written\n" : "seeds could not be written\n");
    return ok ? 0 : 1;
}
