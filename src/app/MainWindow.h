#pragma once

#include "store/LocalStore.h"

#include <QMainWindow>

class QLabel;

// The composition root of the program: builds the window, owns the store and
// hands each area's work to the classes of that area.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    LocalStore &store() { return m_store; }

    // The single status line: errors in red, everything else in grey.
    void showStatus(const QString &text, bool error = false);
    QString statusText() const;

private:
    void setupUi();
    void openLocalStore();
    void runDependencyCheck();

    LocalStore m_store;
    QLabel *m_statusLabel = nullptr;
};
