// Any text stored as a form template's layout: read as the designer restores
// it, put on a canvas and drawn as the printout is. Nothing may crash, every
// value read must be one the designer can hold, and the layout written back
// must read as the same form (else every undo step or save would change it).

#include "FuzzSupport.h"

#include "forms/FormCanvas.h"
#include "forms/FormLayout.h"
#include "forms/FormScene.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace Forms;

namespace {

bool offered(const FormSetup &setup)
{
    bool mode = false;
    for (const auto &choice : formModes())
        mode = mode || choice.first == setup.formMode;
    bool parts = false;
    for (const auto &choice : multipartChoices())
        parts = parts || choice.first == setup.multipartParts;
    const bool unit = setup.measurementUnit == QLatin1String("mm") || setup.measurementUnit == QLatin1String("in");
    const auto offset = [](double mm) { return std::isfinite(mm) && mm >= -100 && mm <= 100; };
    return mode && parts && unit && offset(setup.horizontalOffsetMm) && offset(setup.verticalOffsetMm);
}

bool holdable(const FormElement &element)
{
    for (double value : {element.x, element.y, element.width, element.height, element.z}) {
        if (!std::isfinite(value))
            return false;
    }
    return isElementType(element.type) && element.width >= kMinimumSide && element.height >= kMinimumSide
        && element.fontSize >= 5 && element.fontSize <= 72 && element.borderWidth >= 0
        && element.borderWidth <= 8 && element.rows >= 1 && element.rows <= 50 && element.columns >= 1
        && element.columns <= 30;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Fuzz::setUpProcess(argc, argv, Fuzz::Application::Widgets);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const ParsedLayout layout =
        parseLayoutJson(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!layout.isObject)
        return 0;
    if (!offered(layout.setup))
        std::abort();
    for (const FormElement &element : layout.elements) {
        if (!holdable(element))
            std::abort();
    }
    const ParsedLayout again = parseLayoutJson(layoutJson(layout.setup, layout.elements));
    if (!again.isObject || again.setup != layout.setup || again.elements != layout.elements)
        std::abort();

    FormScene scene;
    scene.setPaperSize(210, 297);
    FormCanvas canvas(&scene);
    canvas.setElements(layout.elements);
    // The canvas holds them in stacking order: by z, equal ones as read.
    QList<FormElement> stacked = layout.elements;
    std::stable_sort(stacked.begin(), stacked.end(),
                     [](const FormElement &a, const FormElement &b) { return a.z < b.z; });
    if (canvas.elementValues() != stacked)
        std::abort();
    scene.setPrintMode(true);
    QImage page(105, 149, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    scene.render(&painter, QRectF(page.rect()), scene.sceneRect());
    painter.end();
    canvas.clear();
    return 0;
}
