#pragma once

#include "forms/FormLayout.h"

#include <QList>
#include <QString>

#include <functional>

class FormElementItem;
class FormScene;

// What the designer does to the elements of its canvas: add, duplicate,
// delete, restack, and the elements in and out of the layout JSON. Each
// change that the undo history keeps calls snapshotRequested.
class FormCanvas
{
public:
    explicit FormCanvas(FormScene *scene);

    // Given to every element the canvas adds.
    std::function<void(FormElementItem *)> elementGeometryChanged;
    std::function<void()> snapshotRequested;
    // Called after elements were deleted (the property panel follows).
    std::function<void()> selectionContentsChanged;

    FormScene *scene() const { return m_scene; }

    FormElementItem *addElement(const QString &type);
    FormElementItem *duplicateSelected();
    void deleteSelected();
    void bringToFront();
    void sendToBack();

    // Every element, bottom-most first.
    QList<FormElementItem *> elements() const;
    QList<Forms::FormElement> elementValues() const;
    // Replaces every element by these, positions taken exactly.
    void setElements(const QList<Forms::FormElement> &elements);
    void clear();

    // The topmost selected element, or none.
    FormElementItem *firstSelected() const;

private:
    void attach(FormElementItem *element);
    void requestSnapshot();

    FormScene *m_scene;
};
