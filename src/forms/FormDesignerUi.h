#pragma once

// Internal to the designer: its widgets.

#include "forms/FormDesignerDialog.h"

class QAbstractButton;
class QToolButton;

struct FormDesignerDialog::Ui
{
    QComboBox *templates = nullptr;
    QPushButton *newButton = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *deleteTemplateButton = nullptr;
    QPushButton *undoButton = nullptr;
    QPushButton *redoButton = nullptr;
    QComboBox *printers = nullptr;
    QPushButton *printButton = nullptr;

    QLineEdit *name = nullptr;
    QComboBox *workflow = nullptr;
    QComboBox *ncrParts = nullptr;
    QLabel *ncrHint = nullptr;
    QComboBox *unit = nullptr;
    QComboBox *paperPreset = nullptr;
    QDoubleSpinBox *paperWidth = nullptr;
    QDoubleSpinBox *paperHeight = nullptr;
    QPushButton *swapButton = nullptr;
    QDoubleSpinBox *offsetX = nullptr;
    QDoubleSpinBox *offsetY = nullptr;
    QList<QPushButton *> componentButtons; // text, field, table, rect, line

    QToolButton *zoomOut = nullptr;
    QSlider *zoomSlider = nullptr;
    QToolButton *zoomIn = nullptr;
    QLabel *zoomValue = nullptr;
    QPushButton *zoomReset = nullptr;
    QPushButton *zoomFit = nullptr;

    QLabel *selectionType = nullptr;
    QLineEdit *content = nullptr;
    QLineEdit *fieldKey = nullptr;
    QDoubleSpinBox *x = nullptr;
    QDoubleSpinBox *y = nullptr;
    QDoubleSpinBox *width = nullptr;
    QDoubleSpinBox *height = nullptr;
    QSpinBox *fontSize = nullptr;
    QComboBox *alignment = nullptr;
    QSpinBox *border = nullptr;
    QSpinBox *rows = nullptr;
    QSpinBox *columns = nullptr;
    QPushButton *frontButton = nullptr;
    QPushButton *backButton = nullptr;
    QPushButton *duplicateButton = nullptr;
    QPushButton *deleteButton = nullptr;

    // The eight length fields: paper, element geometry, offsets.
    QList<QDoubleSpinBox *> lengthFields() const
    {
        return {paperWidth, paperHeight, x, y, width, height, offsetX, offsetY};
    }
};

// The unit's range, step and decimals of one length field.
void setLengthFieldUnit(QDoubleSpinBox *field, bool inches, bool isPaper, bool isOffset);
QString formDesignerStyleSheet();
