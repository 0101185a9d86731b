// A form template of 2,000 elements: loading it onto the canvas, rendering
// the canvas, saving it, and the snapping of one element dragged among them.

#include "BenchSupport.h"
#include "QueueFixture.h"
#include "forms/FormCanvas.h"
#include "forms/FormElementItem.h"
#include "forms/FormLayout.h"
#include "forms/FormScene.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <cstdio>

using namespace Forms;

namespace {

constexpr int kElements = 2000;

QByteArray bigLayout()
{
    QRandomGenerator random(11);
    const QStringList types = {"text", "field", "table", "rect", "line"};
    QList<FormElement> elements;
    for (int i = 0; i < kElements; ++i) {
        FormElement element = defaultElement(types.at(i % types.size()));
        element.x = random.bounded(600);
        element.y = random.bounded(2000);
        element.width = std::min(element.width, 150.0);
        element.z = i;
        elements << element;
    }
    return layoutJson(FormSetup(), elements);
}

template <typename Work>
qint64 medianMs(int runs, Work work)
{
    QList<qint64> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        times << timer.elapsed();
    }
    return median(times);
}

} // namespace

int main(int argc, char *argv[])
{
    BenchProcess process(argc, argv);
    const QByteArray json = bigLayout();
    FormScene scene;
    scene.setPaperSize(241.3, 700);
    FormCanvas canvas(&scene);

    const qint64 load = medianMs(5, [&] { canvas.setElements(parseLayoutJson(json).elements); });
    QImage page(1200, 3480, QImage::Format_ARGB32_Premultiplied);
    const qint64 render = medianMs(5, [&] {
        QPainter painter(&page);
        scene.render(&painter, QRectF(page.rect()), scene.sceneRect());
    });
    auto store = freshLocalStore();
    const qint64 save = medianMs(5, [&] {
        store->saveTemplate(1, "Big", 241.3, 700, QString::fromUtf8(layoutJson(FormSetup(), canvas.elementValues())));
    });

    // One element dragged across the sheet, one position at a time.
    FormElementItem *dragged = canvas.elements().at(kElements / 2);
    QList<qint64> moves;
    for (int step = 0; step < 300; ++step) {
        QElapsedTimer timer;
        timer.start();
        dragged->setPos(30 + step * 2.1, 300 + step * 1.3);
        moves << timer.nsecsElapsed() / 1000;
    }
    std::printf("%d elements, %.0f KB of layout: load %lld ms, render %lld ms, save %lld ms; "
                "one snapped move among them %lld us (median of 300)\n",
                kElements, json.size() / 1024.0, load, render, save, median(moves));
    return 0;
}
