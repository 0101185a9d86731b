#include "QueueFixture.h"
#include "TestMain.h"

#include "store/LocalStore.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace {

RowSettings settings(const QString &printer, int duplex = 0, bool color = false,
                     const QString &paper = QStringLiteral("A4"), int copies = 1)
{
    return RowSettings{printer, duplex, color, paper, copies};
}

QStringList pathsOf(const QVariantList &rows)
{
    QStringList paths;
    for (const QVariant &row : rows)
        paths << row.toMap().value(QStringLiteral("path")).toString();
    return paths;
}

QVariantMap rowOf(const LocalStore &store, int folder, const QString &path)
{
    for (const QVariant &row : store.files(folder)) {
        if (row.toMap().value(QStringLiteral("path")).toString() == LocalStore::normalizedPath(path))
            return row.toMap();
    }
    return {};
}

} // namespace

class TestQueueStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;
    std::unique_ptr<LocalStore> m_store;

    QString file(const QString &name) const { return m_files.filePath(name); }

    void failWrites(const QString &trigger, const QString &when)
    {
        QVERIFY(refuseWrites(*m_store, trigger, when));
    }

private Q_SLOTS:
    void init()
    {
        m_store = freshLocalStore();
        QVERIFY(m_store->isOpen());
    }

    void cleanup() { m_store.reset(); }

    // A file has one row whatever the spelling of its path; adding it again
    // moves that row to the new list and starts it over with the new
    // settings.
    void reAddMovesAndResets()
    {
        QVERIFY(m_store->addHotFolder({"Invoices", "P1", 1, true, "A3", "#ffeeee"}));
        const int folder = m_store->hotFolders().first().toMap().value("id").toInt();
        QVERIFY(m_store->addFile(file("x.pdf"), 0, settings("P0")));
        QVERIFY(m_store->addFile(file("a.pdf"), folder, settings("P1")));
        QVERIFY(m_store->addFile(file("b.pdf"), folder, settings("P1")));
        QVERIFY(m_store->addFile(m_files.path() + "/sub/../a.pdf", folder, settings("P1")));
        QVERIFY(m_store->markPrinted(file("a.pdf"), "P1", true, true, 2));
        QVERIFY(m_store->markFailed(file("a.pdf"), "jam"));
        const QVariantMap before = rowOf(*m_store, folder, file("a.pdf"));

        const QString relative = QDir::current().relativeFilePath(file("a.pdf"));
        QVERIFY(m_store->addFile(relative, 0, settings("P0", 2, false, "Letter", 3)));
        QCOMPARE(pathsOf(m_store->files(folder)), QStringList{LocalStore::normalizedPath(file("b.pdf"))});
        QCOMPARE(pathsOf(m_store->files(0)),
                 (QStringList{LocalStore::normalizedPath(file("x.pdf")),
                              LocalStore::normalizedPath(file("a.pdf"))}));
        const QVariantMap after = rowOf(*m_store, 0, file("a.pdf"));
        QCOMPARE(after.value("file_name").toString(), QStringLiteral("a.pdf"));
        QCOMPARE(after.value("status").toString(), QStringLiteral("pending"));
        QVERIFY(after.value("last_error").isNull());
        QCOMPARE(after.value("added_at"), before.value("added_at"));
        QCOMPARE(after.value("printed_at"), before.value("printed_at"));
        QCOMPARE(after.value("printer_name").toString(), QStringLiteral("P0"));
        QCOMPARE(after.value("duplex_mode").toInt(), 2);
        QCOMPARE(after.value("paper_size").toString(), QStringLiteral("Letter"));
        QCOMPARE(after.value("copies").toInt(), 3);
    }

    void valuesAreClamped()
    {
        QVERIFY(m_store->addFile(file("a.pdf"), 0, settings("P", 5, true, "   ", 0)));
        QVERIFY(m_store->addFile(file("b.pdf"), 0, settings("P", -1, false, "", 12000)));
        QVERIFY(m_store->addFile(file("c.pdf"), 0, settings("P", 1, false, "B5", -4)));
        const QVariantMap a = rowOf(*m_store, 0, file("a.pdf"));
        QCOMPARE(a.value("duplex_mode").toInt(), 2);
        QCOMPARE(a.value("duplex").toInt(), 1);
        QCOMPARE(a.value("copies").toInt(), 1);
        QCOMPARE(a.value("paper_size").toString(), QStringLiteral("A4"));
        const QVariantMap b = rowOf(*m_store, 0, file("b.pdf"));
        QCOMPARE(b.value("duplex_mode").toInt(), 0);
        QCOMPARE(b.value("duplex").toInt(), 0);
        QCOMPARE(b.value("copies").toInt(), 9999);
        QCOMPARE(rowOf(*m_store, 0, file("c.pdf")).value("copies").toInt(), 1);
        // markPrinted stores copies as given.
        QVERIFY(m_store->markPrinted(file("c.pdf"), "P", false, false, 0));
        QCOMPARE(rowOf(*m_store, 0, file("c.pdf")).value("copies").toInt(), 0);
    }

    void orderIsSavedInOneTransaction()
    {
        for (const char *name : {"a.pdf", "b.pdf", "c.pdf", "d.pdf"})
            QVERIFY(m_store->addFile(file(name), 0, settings("P")));
        const auto normalized = [this](const QStringList &names) {
            QStringList paths;
            for (const QString &name : names)
                paths << LocalStore::normalizedPath(file(name));
            return paths;
        };

        QVERIFY(m_store->saveOrder(0, {}));
        QCOMPARE(pathsOf(m_store->files(0)), normalized({"a.pdf", "b.pdf", "c.pdf", "d.pdf"}));

        // Rows not named keep their positions (d stays 4th; b and a swap).
        QVERIFY(m_store->saveOrder(0, {file("c.pdf"), file("b.pdf"), file("a.pdf")}));
        QCOMPARE(pathsOf(m_store->files(0)), normalized({"c.pdf", "b.pdf", "a.pdf", "d.pdf"}));

        failWrites("no_b", QStringLiteral("BEFORE UPDATE OF sort_order ON print_files WHEN "
                                          "NEW.file_name='b.pdf'"));
        QString error;
        QVERIFY(!m_store->saveOrder(0, {file("a.pdf"), file("b.pdf"), file("c.pdf")}, &error));
        QVERIFY2(error.contains("refused by test"), qPrintable(error));
        QCOMPARE(pathsOf(m_store->files(0)), normalized({"c.pdf", "b.pdf", "a.pdf", "d.pdf"}));
    }

    void editingAFolderAppliesItsPreset()
    {
        QVERIFY(m_store->addHotFolder({"  Labels ", "P1", 0, false, "A4", "#e9edf3"}));
        const HotFolder folder = m_store->hotFolders().first().toMap();
        QCOMPARE(folder.value("name").toString(), QStringLiteral("Labels"));
        const int id = folder.value("id").toInt();
        QVERIFY(m_store->addFile(file("a.pdf"), id, settings("P1", 0, false, "A4", 4)));
        QVERIFY(m_store->addCacheJob({"", file("a.pdf"), file("k.prn"), 0}, id, settings("P1")));
        QCOMPARE(m_store->files(id).size(), 2);

        QVERIFY(m_store->updateHotFolder(id, {"Labels", "P2", 2, true, "", "#fff"}));
        const QVariantList rows = m_store->files(id);
        QCOMPARE(rows.size(), 1);
        const QVariantMap row = rows.first().toMap();
        QCOMPARE(row.value("printer_name").toString(), QStringLiteral("P2"));
        QCOMPARE(row.value("duplex_mode").toInt(), 2);
        QCOMPARE(row.value("duplex").toInt(), 1);
        QCOMPARE(row.value("color").toInt(), 1);
        QCOMPARE(row.value("paper_size").toString(), QStringLiteral("A4"));
        QCOMPARE(row.value("copies").toInt(), 4);
        QCOMPARE(m_store->hotFolder(id).value("tab_color").toString(), QStringLiteral("#fff"));
    }

    // A failed edit or delete changes nothing; a delete moves the folder's
    // files to the normal queue as they were and drops its caches.
    void failedEditsThenDelete()
    {
        QVERIFY(m_store->addHotFolder({"A", "P1", 1, true, "A3", "#e9edf3"}));
        QVERIFY(m_store->addHotFolder({"B", "P1", 0, false, "A4", "#e9edf3"}));
        const int id = m_store->hotFolders().first().toMap().value("id").toInt();
        QVERIFY(m_store->addFile(file("n.pdf"), 0, settings("P0")));
        QVERIFY(m_store->addFile(file("a.pdf"), id, settings("P1", 1, true, "A3", 2)));
        QVERIFY(m_store->addCacheJob({"job", file("a.pdf"), file("k.prn"), 2}, id, settings("P1")));

        QString error;
        QVERIFY(!m_store->updateHotFolder(id, {"B", "P9", 1, true, "A3", "#000"}, &error));
        QVERIFY(error.contains("UNIQUE"));
        failWrites("keep_caches", QStringLiteral("BEFORE DELETE ON print_files WHEN "
                                                 "OLD.task_type='cache'"));
        QVERIFY(!m_store->updateHotFolder(id, {"A", "P9", 1, true, "A3", "#000"}, &error));
        QVERIFY(!m_store->deleteHotFolder(id, &error));
        QCOMPARE(m_store->hotFolder(id).value("printer_name").toString(), QStringLiteral("P1"));
        QCOMPARE(m_store->files(id).size(), 2);
        QCOMPARE(rowOf(*m_store, id, file("a.pdf")).value("printer_name").toString(),
                 QStringLiteral("P1"));

        QVERIFY(m_store->execStatement("DROP TRIGGER keep_caches"));
        QVERIFY(m_store->deleteHotFolder(id));
        QVERIFY(m_store->hotFolder(id).isEmpty());
        QVERIFY(m_store->files(id).isEmpty());
        const QVariantMap moved = rowOf(*m_store, 0, file("a.pdf"));
        QCOMPARE(moved.value("printer_name").toString(), QStringLiteral("P1"));
        QCOMPARE(moved.value("duplex_mode").toInt(), 1);
        QCOMPARE(moved.value("copies").toInt(), 2);
        QCOMPARE(m_store->files(0).size(), 2);
    }

    void cacheJobs()
    {
        QVERIFY(m_store->addCacheJob({"   ", file("src file.pdf"), file("k.prn"), 0}, 0, settings("P")));
        QVariantMap row = rowOf(*m_store, 0, file("k.prn"));
        QCOMPARE(row.value("file_name").toString(), QStringLiteral("src file.pdf"));
        QCOMPARE(row.value("task_type").toString(), QStringLiteral("cache"));
        QCOMPARE(row.value("cached_page_count").toInt(), 1);
        QCOMPARE(row.value("cache_path").toString(), LocalStore::normalizedPath(file("k.prn")));
        QCOMPARE(row.value("source_path").toString(), LocalStore::normalizedPath(file("src file.pdf")));

        // Imported again elsewhere: still one row, in the last list.
        QVERIFY(m_store->addHotFolder({"A", "P1", 0, false, "A4", "#e9edf3"}));
        const int id = m_store->hotFolders().first().toMap().value("id").toInt();
        QVERIFY(m_store->addCacheJob({" Named ", file("src file.pdf"), file("k.prn"), 7}, id,
                                     settings("P1")));
        QVERIFY(m_store->files(0).isEmpty());
        row = rowOf(*m_store, id, file("k.prn"));
        QCOMPARE(row.value("file_name").toString(), QStringLiteral(" Named "));
        QCOMPARE(row.value("cached_page_count").toInt(), 7);

        QVERIFY(m_store->removeCacheJobs(file("k.prn")));
        QVERIFY(m_store->files(id).isEmpty());
    }

    void foldersAndLists()
    {
        QVERIFY(m_store->hotFolder(42).isEmpty());
        QVERIFY(m_store->addHotFolder({"Z", "P", 0, false, "A4", "#e9edf3"}));
        QVERIFY(m_store->addHotFolder({"A", "P", 0, false, "A4", "#e9edf3"}));
        QString error;
        QVERIFY(!m_store->addHotFolder({" A ", "P", 0, false, "A4", "#e9edf3"}, &error));
        QVERIFY(error.contains("UNIQUE"));
        const QVariantList folders = m_store->hotFolders();
        QCOMPARE(folders.size(), 2);
        QCOMPARE(folders.at(0).toMap().value("name").toString(), QStringLiteral("Z"));
        QCOMPARE(folders.at(0).toMap().keys().size(), 8);

        const int id = folders.at(0).toMap().value("id").toInt();
        QVERIFY(m_store->addFile(file("a.pdf"), id, settings("P")));
        QVERIFY(m_store->addCacheJob({"j", file("a.pdf"), file("k.prn"), 1}, id, settings("P")));
        QVERIFY(m_store->setFolderCopies(id, 0));
        for (const QVariant &row : m_store->files(id))
            QCOMPARE(row.toMap().value("copies").toInt(), 1);
        QVERIFY(m_store->clearFolder(id));
        QVERIFY(m_store->files(id).isEmpty());

        // Rows that are gone: still a success.
        QVERIFY(m_store->markPrinted(file("gone.pdf"), "P", false, false, 1));
        QVERIFY(m_store->markFailed(file("gone.pdf"), "x"));
        QVERIFY(m_store->removeFile(file("gone.pdf")));
    }

    void closedDatabase()
    {
        LocalStore closed;
        QVERIFY(closed.files(0).isEmpty());
        QVERIFY(closed.hotFolders().isEmpty());
        QVERIFY(closed.hotFolder(1).isEmpty());
        QString error;
        QVERIFY(!closed.addFile(file("a.pdf"), 0, settings("P"), &error));
        QVERIFY(!error.isEmpty());
    }
};

DUNMARROW_TEST_MAIN(TestQueueStore)
#include "tst_queuestore.moc"
