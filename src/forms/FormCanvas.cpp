#include "forms/FormCanvas.h"

#include "forms/FormElementItem.h"
#include "forms/FormScene.h"

#include <algorithm>

using namespace Forms;

FormCanvas::FormCanvas(FormScene *scene)
    : m_scene(scene)
{
}

void FormCanvas::attach(FormElementItem *element)
{
    element->geometryChanged = [this, element] {
        if (elementGeometryChanged)
            elementGeometryChanged(element);
    };
    element->editFinished = [this] { requestSnapshot(); };
}

void FormCanvas::requestSnapshot()
{
    if (snapshotRequested)
        snapshotRequested();
}

FormElementItem *FormCanvas::firstSelected() const
{
    // The scene's own order of the selection is not stable: the topmost
    // selected element counts as the first.
    const QList<FormElementItem *> all = elements();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if ((*it)->isSelected())
            return *it;
    }
    return nullptr;
}

FormElementItem *FormCanvas::addElement(const QString &type)
{
    auto *element = new FormElementItem(type);
    attach(element);
    m_scene->addItem(element);
    const int index = int(m_scene->items().size()) - 1;
    element->setPos((10 + 8 * (index % 6)) * kUnitsPerMm, (10 + 7 * (index % 8)) * kUnitsPerMm);
    m_scene->clearSelection();
    element->setSelected(true);
    element->setFocus();
    requestSnapshot();
    return element;
}

FormElementItem *FormCanvas::duplicateSelected()
{
    FormElementItem *source = firstSelected();
    if (!source)
        return nullptr;
    auto *copy = new FormElementItem(source->elementType());
    applyElementMap(copy, elementToMap(source));
    copy->setPos(source->pos() + QPointF(9, 9)); // before it joins: not snapped
    attach(copy);
    m_scene->addItem(copy);
    m_scene->clearSelection();
    copy->setSelected(true);
    requestSnapshot();
    return copy;
}

void FormCanvas::deleteSelected()
{
    QList<FormElementItem *> selected;
    for (FormElementItem *element : elements()) {
        if (element->isSelected())
            selected << element;
    }
    if (selected.isEmpty())
        return;
    qDeleteAll(selected);
    if (selectionContentsChanged)
        selectionContentsChanged();
    requestSnapshot();
}

void FormCanvas::bringToFront()
{
    if (FormElementItem *element = firstSelected()) {
        element->setZValue(element->zValue() + 1);
        requestSnapshot();
    }
}

void FormCanvas::sendToBack()
{
    if (FormElementItem *element = firstSelected()) {
        element->setZValue(element->zValue() - 1);
        requestSnapshot();
    }
}

QList<FormElementItem *> FormCanvas::elements() const
{
    QList<FormElementItem *> list;
    // The scene lists topmost first.
    const QList<QGraphicsItem *> items = m_scene->items(Qt::AscendingOrder);
    for (QGraphicsItem *item : items) {
        if (auto *element = dynamic_cast<FormElementItem *>(item))
            list << element;
    }
    return list;
}

QList<FormElement> FormCanvas::elementValues() const
{
    QList<FormElement> values;
    for (const FormElementItem *element : elements())
        values << element->values();
    return values;
}

void FormCanvas::clear()
{
    qDeleteAll(elements());
}

void FormCanvas::setElements(const QList<FormElement> &elements)
{
    clear();
    for (const FormElement &values : elements) {
        auto *element = new FormElementItem(values.type);
        element->setValues(values); // not on the canvas yet: exactly here
        attach(element);
        m_scene->addItem(element);
    }
}
