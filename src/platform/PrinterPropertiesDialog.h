#pragma once

#include "platform/PrinterProperties.h"

#include <QDialog>
#include <QMap>

class QComboBox;
class QLabel;
class QSpinBox;

namespace Platform {

inline constexpr int IDCANCEL = 2;

// DocumentPropertiesW with DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER: the
// printer's properties window on a settings record, owned by parent. IDOK
// when the user confirmed (the record then holds the choices), IDCANCEL when
// the window was cancelled (the record is unchanged), -1 (last error set)
// when the printer cannot be asked.
int documentPropertiesPrompt(QWidget *parent, PrinterHandle &printer, DeviceMode *inOut);

// The printer's properties window: one tab per option group of the
// printer, one list per option, and the copies. OK is refused, with the
// reason shown, while two choices conflict.
class PrinterPropertiesDialog : public QDialog
{
    Q_OBJECT

public:
    PrinterPropertiesDialog(PrinterHandle &printer, const PrinterProperties &properties,
                            const DeviceMode &devMode, QWidget *parent = nullptr);

    // The record as chosen; valid once the dialog was accepted.
    DeviceMode deviceMode() const { return m_result; }

    // What a user does with the window, by option keyword and choice
    // keyword ("Duplex", "DuplexTumble"); false when there is no such
    // option or choice.
    QStringList optionKeywords() const;
    QString choice(const QString &keyword) const;
    bool choose(const QString &keyword, const QString &choiceKeyword);
    QSpinBox *copiesBox() const { return m_copies; }
    QString problemText() const;

private:
    QWidget *buildGroupPage(const QString &group, const PropertyChoices &initial);
    PropertyChoices currentChoices() const;
    void tryAccept();

    PrinterHandle &m_printer;
    PrinterProperties m_properties;
    DeviceMode m_in;
    DeviceMode m_result;
    QMap<QString, QComboBox *> m_combos;
    QSpinBox *m_copies = nullptr;
    QLabel *m_problem = nullptr;
};

} // namespace Platform
