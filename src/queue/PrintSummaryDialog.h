#pragma once

#include <QDialog>
#include <QList>
#include <QVariantMap>

#include <functional>

class QPushButton;
class QWidget;

// "Print complete": what was sent, with a list of files and page counts
// on request, and a way to clear the print list.
class PrintSummaryDialog : public QDialog
{
    Q_OBJECT

public:
    // clearList empties the current list; false with the reason on failure.
    PrintSummaryDialog(const QList<QVariantMap> &results,
                       std::function<bool(QString *error)> clearList, QWidget *parent = nullptr);

    QPushButton *listButton() const { return m_listButton; }
    QPushButton *clearButton() const { return m_clearButton; }
    QWidget *detail() const { return m_detail; }

private:
    void toggleList();
    void clear();

    std::function<bool(QString *)> m_clearList;
    QWidget *m_detail = nullptr;
    QPushButton *m_listButton = nullptr;
    QPushButton *m_clearButton = nullptr;
};
