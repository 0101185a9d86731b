#pragma once

#include <QDialog>
#include <QList>
#include <QVariantMap>

#include <functional>

class JobFollower;
class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;

// A followed job's end, kept in the sent file's result map ("atPrinter":
// the state, "unknown" when none came; "failure"): the first result of that
// path still waiting. Its index, or -1.
int noteEndAtPrinter(QList<QVariantMap> *results, const QString &path, const QString &state, const QString &failure);

// "Print complete": what was sent, with a list of files and page counts
// on request, and a way to clear the print list. Below the heading, what
// became of the files at the printer, kept up to date while it is open.
class PrintSummaryDialog : public QDialog
{
    Q_OBJECT

public:
    // clearList empties the current list; false with the reason on failure.
    PrintSummaryDialog(const QList<QVariantMap> &results,
                       std::function<bool(QString *error)> clearList, QWidget *parent = nullptr);

    // Counts the sent files by their jobs' ends (the results' "atPrinter"
    // and "failure"), apart from the notSent files that never reached the
    // printer, and follows the jobs still waiting.
    void followAtPrinter(JobFollower *follower, int notSent);

    QPushButton *listButton() const { return m_listButton; }
    QLabel *outcome() const { return m_outcome; }
    QPushButton *clearButton() const { return m_clearButton; }
    QWidget *detail() const { return m_detail; }

private:
    void toggleList();
    void clear();
    void jobEnded(const QString &path, const QString &state, const QString &failure);
    void showOutcome();
    void showRowOutcome(int row);

    std::function<bool(QString *)> m_clearList;
    QList<QVariantMap> m_results;
    int m_notSent = 0;
    QLabel *m_outcome = nullptr;
    QTableWidget *m_table = nullptr;
    QWidget *m_detail = nullptr;
    QPushButton *m_listButton = nullptr;
    QPushButton *m_clearButton = nullptr;
};
