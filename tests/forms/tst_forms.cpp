#include "QueueFixture.h"
#include "TestMain.h"

#include "forms/DesignerGraphicsView.h"
#include "forms/FormCanvas.h"
#include "forms/FormElementItem.h"
#include "forms/FormLayout.h"
#include "forms/FormScene.h"
#include "forms/FormSnapping.h"
#include "store/LocalStore.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <limits>

using namespace Forms;

namespace {

// One element of each type, every value away from its default.
QList<FormElement> everyType()
{
    QList<FormElement> elements;
    double z = 3;
    for (const QString type : {"text", "field", "table", "rect", "line"}) {
        FormElement element = defaultElement(type);
        element.x = 12.34 * kUnitsPerMm;
        element.y = (20 + elements.size() * 30) * kUnitsPerMm;
        element.width = 61.5 * kUnitsPerMm;
        element.text = "<b>Not bold</b> “quoted” 数据 " + type;
        element.fieldKey = "key_" + type;
        element.alignment = elements.size() % 2 ? "right" : "center";
        element.fontSize = 14;
        element.borderWidth = 3;
        element.rows = 7;
        element.columns = 9;
        element.z = z;
        z -= 1.5; // the array order is not the stacking order
        elements << element;
    }
    return elements;
}

QJsonObject elementMap(const QByteArray &extra)
{
    return QJsonDocument::fromJson("{\"type\":\"rect\"" + extra + "}").object();
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void templateStore()
    {
        auto store = freshLocalStore();
        int first = 0;
        int second = 0;
        QString error;
        QVERIFY(store->saveTemplate(0, "  Delivery note ", 10, 5000, "{}", &first, &error));
        QVERIFY(store->saveTemplate(0, "Invoice", std::nan(""), 210, "{\"version\":2}", &second));
        QVERIFY(first >= 1 && second > first);
        QVariantMap row = store->formTemplate(first);
        QCOMPARE(row.value("name").toString(), QString("Delivery note"));
        QCOMPARE(row.value("paper_width_mm").toDouble(), 30.0);
        QCOMPARE(row.value("paper_height_mm").toDouble(), 2000.0);
        QCOMPARE(store->formTemplate(second).value("paper_width_mm").toDouble(), 30.0);
        QCOMPARE(store->formTemplates().first().toMap().value("id").toInt(), second);

        // Saving again moves it to the top.
        int saved = 0;
        QTest::qWait(5);
        QVERIFY(store->saveTemplate(first, "Delivery note", 100, 150, "{}", &saved));
        QCOMPARE(saved, first);
        QCOMPARE(store->formTemplates().first().toMap().value("id").toInt(), first);
        QVERIFY(!store->saveTemplate(0, "   ", 100, 100, "{}", &saved, &error));
        QCOMPARE(error, QString("The template name cannot be empty."));
        QCOMPARE(saved, 0);
        QVERIFY(store->formTemplate(0).isEmpty());
        QVERIFY(store->deleteTemplate(first));
        QVERIFY(store->deleteTemplate(first)); // already gone: fine
        QCOMPARE(store->formTemplates().size(), 1);
    }

    // Every type and every setup value survive store, JSON and canvas.
    void layoutRoundTrip()
    {
        FormSetup setup{"ncr-impact", 5, "in", -12.25, 33.125};
        QList<FormElement> elements = everyType();
        std::stable_sort(elements.begin(), elements.end(),
                         [](const FormElement &a, const FormElement &b) { return a.z < b.z; });
        const QByteArray json = layoutJson(setup, elements);

        auto store = freshLocalStore();
        int id = 0;
        QVERIFY(store->saveTemplate(0, "Every type", 241.3, 279.4, QString::fromUtf8(json), &id));
        const QByteArray stored = store->formTemplate(id).value("layout_json").toString().toUtf8();
        const ParsedLayout parsed = parseLayoutJson(stored);
        QVERIFY(parsed.isObject);
        QCOMPARE(parsed.setup, setup);
        QCOMPARE(parsed.elements, elements);

        // On the canvas the stacking follows z, whatever the array order.
        FormScene scene;
        scene.setPaperSize(241.3, 279.4);
        FormCanvas canvas(&scene);
        canvas.setElements(everyType());
        QCOMPARE(canvas.elementValues(), elements);
        QCOMPARE(layoutJson(setup, canvas.elementValues()), json);
        // Loaded exactly where stored, even off the whole millimetre.
        QCOMPARE(canvas.elements().first()->pos().x(), 12.34 * kUnitsPerMm);
    }

    void valuesOutOfTheirDomain()
    {
        FormElement element = defaultElement("rect");
        applyElementMap(&element, elementMap(",\"font_size\":100,\"border_width\":-1,\"rows\":0,"
                                             "\"columns\":99,\"width_mm\":2,\"x_mm\":\"12\","
                                             "\"y_mm\":1e300,\"z\":-1e300,\"text\":5,\"alignment\":[]"));
        FormElement clamped = defaultElement("rect");
        clamped.fontSize = 72;
        clamped.borderWidth = 0;
        clamped.rows = 1;
        clamped.columns = 30;
        clamped.width = clamped.height = kMinimumSide; // a missing height: 3 mm, not the type's
        clamped.x = 0;                                 // a number as text is no number
        clamped.y = 100000 * kUnitsPerMm;              // far, yet finite
        clamped.z = -1e9;
        clamped.text = QString();
        QCOMPARE(element, clamped);

        // Unknown types are skipped; the rest of the array loads.
        ParsedLayout layout = parseLayoutJson(
            R"({"formMode":"continuous","multipartParts":9,"measurementUnit":"cm","horizontalOffsetMm":500,
                "verticalOffsetMm":"x","elements":[{"type":"Text"},{"type":"image"},{"type":"line"},7,null]})");
        QCOMPARE(layout.setup, (FormSetup{"standard", 2, "mm", 100, 0}));
        QCOMPARE(layout.elements.size(), 1);
        QCOMPARE(layout.elements.first().type, QString("line"));
        for (const QByteArray &bad : {QByteArray(), QByteArray("[1,2]"), QByteArray("{\"x\":"), QByteArray("NaN")})
            QVERIFY(!parseLayoutJson(bad).isObject);

        // Thousands of elements, ids and extra keys included: all load.
        QJsonArray many;
        for (int i = 0; i < 5000; ++i)
            many.append(QJsonObject{{"type", "field"}, {"id", 1}, {"x_mm", i % 200}});
        const QByteArray big = QJsonDocument(QJsonObject{{"elements", many}}).toJson();
        QCOMPARE(parseLayoutJson(big).elements.size(), 5000);

        QCOMPARE(matchingPaperPreset(215.85, 279.45), QString("215.9x279.4"));
        QCOMPARE(matchingPaperPreset(216.2, 279.4), QString("custom"));
    }

    // Moves land on whole millimetres, edges within 5 mm meet, the paper
    // holds the element.
    void snapping()
    {
        const QSizeF paper(630, 891); // 210 × 297 mm
        const QSizeF box(90, 30);
        // Another element's left edge at 60 (20 mm): 4 mm away aligns, 6 mm not.
        QCOMPARE(snapPosition({72, 300}, box, false, {60}, {}, paper), QPointF(60, 300));
        QCOMPARE(snapPosition({78.5, 300}, box, false, {60}, {}, paper), QPointF(78, 300));
        // Equal distances: the first anchor and guide found win.
        QCOMPARE(snapPosition({150, 0}, box, false, {141, 159}, {}, paper).x(), 141.0);
        QCOMPARE(snapPosition({50, 50}, QSizeF(900, 30), false, {}, {}, paper), QPointF(0, 51));
        // A line: 8 mm reach, its middle on y.
        QCOMPARE(snapPosition({21, 100}, QSizeF(210, 9), true, {0}, {}, paper).x(), 0.0);
        QCOMPARE(snapPosition({21, 100}, QSizeF(210, 9), false, {0}, {}, paper).x(), 21.0);
        QCOMPARE(snapPosition({0, 100}, QSizeF(210, 9), true, {}, {120}, paper).y(), 115.5);

        // Resizing: whole millimetres, at least 3 mm, the line keeps its height,
        // its end pulled within 8 mm.
        QCOMPARE(snapResize({30, 30}, box, {-200, 4}, false, {}, {}, paper), QSizeF(9, 33));
        QCOMPARE(snapResize({0, 0}, QSizeF(210, 9), {20, 50}, true, {250}, {}, paper), QSizeF(250, 9));
        QCOMPARE(snapResize({600, 0}, box, {100, 0}, false, {}, {}, paper), QSizeF(30, 30));

        // On the canvas: a table's inner lines are guides; a dragged element
        // meets them, an element placed before joining is not moved.
        FormScene scene;
        scene.setPaperSize(210, 297);
        FormCanvas canvas(&scene);
        FormElementItem *table = canvas.addElement("table"); // 120 × 45 mm, 4 × 4
        table->setPos(30, 30);
        QVERIFY(snapGuides(table, Qt::Horizontal).isEmpty());
        FormElementItem *rect = canvas.addElement("rect");
        QVERIFY(snapGuides(rect, Qt::Horizontal).contains(30 + 360 / 4.0));
        rect->setPos(124, 400); // left edge 1 mm from the first column line at 120
        QCOMPARE(rect->pos(), QPointF(120, 399));
        QVERIFY(rect->handleRect().contains(rect->width() + 4.9, rect->height() + 4.9));
        QVERIFY(!rect->handleRect().contains(rect->width() - 6, rect->height() - 6));
    }

    void canvasOperations()
    {
        FormScene scene;
        scene.setPaperSize(210, 297);
        FormCanvas canvas(&scene);
        int snapshots = 0;
        canvas.snapshotRequested = [&snapshots] { ++snapshots; };
        FormElementItem *first = canvas.addElement("text");
        FormElementItem *second = canvas.addElement("field");
        QCOMPARE(first->pos(), QPointF(30, 30));
        // (18, 17) mm, then pulled to the first one's bottom edge 1 mm away.
        QCOMPARE(second->pos(), QPointF(54, 54));
        QVERIFY(second->isSelected() && !first->isSelected());

        // Right at the paper's edge, then copied: 3 mm further, off the paper.
        second->setPos(630, 51);
        FormElementItem *copy = canvas.duplicateSelected();
        QCOMPARE(copy->pos(), second->pos() + QPointF(9, 9));
        QCOMPARE(elementToMap(copy).value("z"), elementToMap(second).value("z"));
        QVERIFY(copy->isSelected() && !second->isSelected());

        copy->setSelected(false);
        first->setSelected(true);
        canvas.bringToFront();
        QCOMPARE(canvas.elements().last(), first);
        canvas.sendToBack();
        canvas.sendToBack();
        QCOMPARE(canvas.elements().first(), first);
        canvas.deleteSelected();
        QCOMPARE(canvas.elements(), (QList<FormElementItem *>{second, copy}));
        QCOMPARE(snapshots, 7);
    }

    void zoom()
    {
        FormScene scene;
        scene.setPaperSize(2000, 2000);
        DesignerGraphicsView view;
        view.setScene(&scene);
        view.resize(200, 150);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QList<int> reported;
        view.zoomChanged = [&reported](int percent) { reported << percent; };
        view.setZoomPercent(1000);
        view.zoomIn();
        QCOMPARE(view.zoomPercent(), 400);
        view.setZoomPercent(5);
        view.zoomOut();
        QCOMPARE(view.zoomPercent(), 5);
        view.setZoomPercent(63);
        QCOMPARE(view.zoomPercent(), 63);
        view.fitCanvas(); // 2 m of paper in 150 pixels: below 5 %, reported as is
        QVERIFY2(reported.last() < 5 && reported.last() == view.zoomPercent(),
                 qPrintable(QString::number(reported.last())));
        QCOMPARE(reported.first(), 400);
    }
};

DUNMARROW_TEST_MAIN(TestForms)
#include "tst_forms.moc"
