#pragma once

#include "store/QueueRecords.h"

#include <QColor>
#include <QDialog>

class LocalStore;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The editor of one hot-folder preset: a new one (id 0) or a stored one.
// Accepting it stores the preset; the paper list and, where asked, duplex
// and colour come from the chosen printer's driver.
class HotFolderEditor : public QDialog
{
    Q_OBJECT

public:
    HotFolderEditor(LocalStore *store, const QStringList &printers, int id,
                    QWidget *parent = nullptr);

    // Runs the dialog; true when a preset was stored.
    bool run();

    // Fills the paper list from the printer's driver and, unless the stored
    // values are kept, takes duplex, colour and paper from it too.
    void syncEditorFromDriver(bool keepStored);

    QLineEdit *nameEdit() const { return m_name; }
    QComboBox *printerCombo() const { return m_printer; }
    QComboBox *duplexCombo() const { return m_duplex; }
    QComboBox *colorCombo() const { return m_color; }
    QComboBox *paperCombo() const { return m_paper; }
    QPushButton *tabColorButton() const { return m_tabColorButton; }
    QLabel *infoLabel() const { return m_info; }
    void setTabColor(const QColor &color);

private:
    void buildUi(const QStringList &printers);
    void chooseTabColor();
    void openDriverSettings();
    void trySave();
    void selectPaper(const QString &wanted);
    // The chosen printer's name; a missing one is shown with a remark.
    QString printerName() const;
    HotFolderPreset preset() const;

    LocalStore *m_store;
    int m_id;
    HotFolder m_stored;
    QString m_missingPrinter;
    QColor m_tabColor;
    QLineEdit *m_name = nullptr;
    QComboBox *m_printer = nullptr;
    QComboBox *m_duplex = nullptr;
    QComboBox *m_color = nullptr;
    QComboBox *m_paper = nullptr;
    QPushButton *m_driverButton = nullptr;
    QPushButton *m_tabColorButton = nullptr;
    QLabel *m_info = nullptr;
};
