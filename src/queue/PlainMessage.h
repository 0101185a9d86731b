#pragma once

#include <QMessageBox>

// A message box whose text is shown as the plain text it is: a file or
// hot-folder name such as "report <u>draft &lt;v2&gt;.pdf" must not be read
// as markup (the toolkit's own boxes guess), and its full-width gaps stay.
inline QMessageBox::StandardButton plainMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                                const QString &text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}
