#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QList>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <functional>

// The push button a user would click by its text; null when there is none.
inline QPushButton *buttonNamed(const QWidget *parent, const QString &text)
{
    for (QPushButton *button : parent->findChildren<QPushButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// Chooses a file in a file dialog as a user would: its folder, then its
// name in the name field; then accepts. (QFileDialog::selectFile leaves the
// field as it is while the field has focus, so the choice would depend on
// what had focus before.)
inline void chooseInFileDialog(QFileDialog *dialog, const QString &path)
{
    const QFileInfo file(path);
    dialog->setDirectory(file.absolutePath());
    dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(file.fileName());
    QMetaObject::invokeMethod(dialog, "accept");
}

// Answers every modal box or dialog the code under test opens, as a user
// would, and keeps what each said: "title / text" for a message box, the
// title for a dialog. A box is answered with `reply` when it offers that
// button, else accepted; a dialog is handed to `onDialog` when set (which
// answers it), else closed.
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
                formats << box->textFormat();
                if (QAbstractButton *button = box->button(reply))
                    button->click();
                else
                    box->accept();
            } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
                seen << dialog->windowTitle();
                icons << QMessageBox::NoIcon;
                formats << Qt::AutoText;
                if (onDialog)
                    onDialog(dialog);
                else
                    dialog->reject();
            }
        });
        m_timer.start(10);
    }

    QStringList seen;
    QList<QMessageBox::Icon> icons;
    QList<Qt::TextFormat> formats; // how each box shows its text
    QMessageBox::StandardButton reply = QMessageBox::NoButton;
    std::function<void(QDialog *)> onDialog;

private:
    QTimer m_timer;
};
