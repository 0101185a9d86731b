#pragma once

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// Answers every modal box or dialog the code under test opens, as a user
// would (a message box is accepted, any other dialog closed), and keeps
// what each said: "title / text" for a message box, the title for a dialog.
class ModalAnswerer
{
public:
    ModalAnswerer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                seen << box->windowTitle() + QStringLiteral(" / ") + box->text();
                icons << box->icon();
                box->accept();
            } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
                seen << dialog->windowTitle();
                icons << QMessageBox::NoIcon;
                dialog->reject();
            }
        });
        m_timer.start(10);
    }

    QStringList seen;
    QList<QMessageBox::Icon> icons;

private:
    QTimer m_timer;
};
