#pragma once

#include "forms/FormLayout.h"

#include <QDialog>
#include <QStringList>
#include <QTimer>

class DesignerGraphicsView;
class FormCanvas;
class FormElementItem;
class FormScene;
class LocalStore;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

// The continuous and multipart form designer: templates from the store,
// the form setup, the canvas, the properties of the selected component,
// an undo history of layout snapshots, and printing.
class FormDesignerDialog : public QDialog
{
    Q_OBJECT

public:
    FormDesignerDialog(LocalStore *store, const QStringList &printerNames, QWidget *parent = nullptr);
    ~FormDesignerDialog() override;

    void addElement(const QString &type);
    void duplicateSelected();
    void deleteSelected();
    void restoreLayout(const QString &json);
    QString currentLayoutJson() const;

    void refreshTemplateList(int selectId);
    void loadTemplate(int id);
    void newForm();
    void saveCurrentTemplate();
    void deleteCurrentTemplate();
    // Whether the form differs from the template as loaded or last saved.
    bool hasUnsavedChanges() const;

    void commitHistory();
    void scheduleHistory();
    void resetHistory();
    void undo();
    void redo();
    void updateHistoryButtons();

    void refreshProperties();
    void applyProperties();
    void setMeasurementUnit(bool inches);
    void applyPrinterDefaultPaper();
    void updatePaperRect();
    void printForm();

Q_SIGNALS:
    // A form went to the printer's queue under this title at this time
    // (seconds since the epoch), to be followed there.
    void formSubmitted(const QString &printer, const QString &title, qint64 since);

public:

    int currentTemplateId() const { return m_templateId; }
    int historySize() const { return int(m_history.size()); }
    int historyIndex() const { return m_historyIndex; }
    FormCanvas *canvas() const { return m_canvas; }
    FormScene *scene() const { return m_scene; }
    DesignerGraphicsView *view() const { return m_view; }
    // Paper and offsets in millimetres, whatever unit is shown.
    double paperWidthMm() const;
    double paperHeightMm() const;

private:
    struct Ui;

    void buildUi();
    void connectUi();
    void attach(FormElementItem *element);
    FormElementItem *firstSelected() const;
    double millimetres(const QDoubleSpinBox *field) const;
    void setMillimetres(QDoubleSpinBox *field, double mm);
    void applyPaperPreset();
    void applyZoom(int percent);
    void updateNcrState();
    bool storeCurrentTemplate();
    QString editState() const;
    // Asks to save, discard or keep unsaved edits; true to go on.
    bool settleUnsavedChanges();
    void reject() override;

    LocalStore *m_store;
    QStringList m_printerNames;
    QStringList m_history;
    int m_historyIndex = -1;
    int m_templateId = 0;
    QString m_savedState;
    bool m_panelUpdating = false;
    bool m_loading = false;
    bool m_inches = false;
    QTimer m_historyTimer;

    FormScene *m_scene = nullptr;
    FormCanvas *m_canvas = nullptr;
    DesignerGraphicsView *m_view = nullptr;
    Ui *m_ui = nullptr;
};
