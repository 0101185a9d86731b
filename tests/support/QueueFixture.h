#pragma once

#include "TestProfile.h"
#include "queue/QueueActions.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"
#include "queue/ReorderTableWidget.h"
#include "store/LocalStore.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

// A table that records the drags it would start instead of running them
// (a real drag blocks until a drop).
class RecordingTable : public ReorderTableWidget
{
public:
    using ReorderTableWidget::ReorderTableWidget;
    QList<QList<int>> startedDrags;

protected:
    void startRowDrag(const QList<int> &rows) override { startedDrags << rows; }
};

#include <memory>

// Removes the profile's database and cache, so the next store starts empty.
inline void removeLocalData()
{
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)).removeRecursively();
}

// An open store on an empty database in the test profile.
inline std::unique_ptr<LocalStore> freshLocalStore()
{
    removeLocalData();
    auto store = std::make_unique<LocalStore>();
    store->open();
    return store;
}

// Makes one kind of write fail, as a locked or damaged database would: a
// trigger that aborts its statement inside whatever transaction runs it.
inline bool refuseWrites(LocalStore &store, const QString &trigger, const QString &when)
{
    return store.execStatement(QStringLiteral("CREATE TRIGGER %1 %2 BEGIN SELECT "
                                              "RAISE(ABORT, 'refused by test'); END")
                                   .arg(trigger, when));
}

// A fresh database in the test profile and a folder of real files.
struct QueueFixture
{
    QueueFixture()
    {
        removeLocalData();
        store.open();
    }

    QString makeFile(const QString &name, const QByteArray &content = QByteArray(1536, 'x'))
    {
        const QString path = files.filePath(name);
        writeFile(path, content);
        return path;
    }

    bool refuse(const QString &trigger, const QString &when)
    {
        return refuseWrites(store, trigger, when);
    }

    QTemporaryDir files;
    LocalStore store;
};

// A print list as the window has it: the database, the table, the list's
// controller and its dialog-driven actions, with every status line written.
struct QueueHarness : QueueFixture
{
    QueueHarness()
    {
        QueueTable::setup(&table);
        const auto record = [this](const QString &text, bool error) {
            statuses << qMakePair(text, error);
        };
        QObject::connect(&queue, &QueueController::statusMessage, record);
        actions = new QueueActions(&queue, &table, &window);
        QObject::connect(actions, &QueueActions::statusMessage, record);
    }

    QString lastStatus() const { return statuses.isEmpty() ? QString() : statuses.last().first; }

    RecordingTable table;
    QueueController queue{&store, &table};
    QWidget window;
    QueueActions *actions = nullptr; // owned by the window
    QList<QPair<QString, bool>> statuses;
};
