#include "queue/CacheActions.h"

#include "engines/EngineAvailability.h"
#include "engines/PaperKey.h"
#include "queue/JobModel.h"
#include "queue/PlainMessage.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"
#include "store/LocalStore.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace {

QLabel *styledLabel(const QString &text, const char *style, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText); // file and printer names, never markup
    label->setStyleSheet(QString::fromLatin1(style));
    label->setWordWrap(true);
    return label;
}

QString duplexText(int mode)
{
    return mode == 2 ? QStringLiteral("Duplex (short edge)")
        : mode == 1  ? QStringLiteral("Duplex (long edge)")
                     : QStringLiteral("Simplex");
}

QString resultText(const CacheResult &result, const QString &fileName)
{
    QString engine = QStringLiteral("，Built-in PDF");
    if (result.usedAcrobat)
        engine = QStringLiteral("，Acrobat capture");
    else if (!result.acrobatError.isEmpty())
        engine = QStringLiteral(", Acrobat capture failed; fell back to built-in PDF");
    const QString fastPath = result.compressedImagePageCount > 0
        ? QStringLiteral("，fast path, %1 pages").arg(result.compressedImagePageCount)
        : QString();
    return QStringLiteral("Cache complete: %1 (%2 pages, %3%4%5)")
        .arg(fileName)
        .arg(result.pageCount)
        .arg(formatFileSize(QFileInfo(result.cachePath).size()), engine, fastPath);
}

} // namespace

CacheActions::CacheActions(LocalStore *store, QueueController *queue, QWidget *window)
    : QObject(window)
    , m_store(store)
    , m_queue(queue)
    , m_window(window)
{
}

void CacheActions::cacheRow(int row)
{
    const QVariantList &entries = m_queue->entries();
    if (row < 0 || row >= entries.size())
        return;
    if (entries.at(row).toMap().value(QStringLiteral("task_type")).toString()
        == QLatin1String("cache")) {
        QMessageBox::information(m_window, QStringLiteral("Cache ready"),
                                 QStringLiteral("This entry is already a standalone cache job and "
                                                "does not need to be cached again."));
        return;
    }
    const int id = m_queue->currentHotFolderId();
    const QVariantMap hotFolder = id > 0 ? m_store->hotFolder(id) : QVariantMap();
    if (hotFolder.isEmpty()) {
        QMessageBox::information(
            m_window, QStringLiteral("Hot-folder caching only"),
            QStringLiteral("File caching requires a configured hot folder.\n\nCreate or select a hot "
                           "folder, confirm the printer, duplex, and paper size, then cache files in "
                           "that hot folder."));
        return;
    }
    PrintJob job = m_queue->buildPrintJob(row);
    job.pdfEngine = QStringLiteral("pdfium");
    if (job.path.isEmpty() || !QFileInfo::exists(job.path)) {
        QMessageBox::warning(m_window, QStringLiteral("Cache failed"),
                             QStringLiteral("The file does not exist and cannot be cached"));
        return;
    }
    if (job.printerName.isEmpty()) {
        QMessageBox::warning(m_window, QStringLiteral("Cache failed"),
                             QStringLiteral("Please select a printer first"));
        return;
    }
    // The list may have been rebuilt while the dialog was open.
    if (confirm(job, hotFolder))
        startBuild(m_queue->rowForPath(job.path), job);
}

bool CacheActions::confirm(const PrintJob &job, const QVariantMap &hotFolder)
{
    QDialog dialog(m_window);
    dialog.setWindowTitle(QStringLiteral("Cache this file"));
    dialog.setMinimumWidth(430);
    auto *layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(24, 22, 24, 18);
    layout->setSpacing(12);

    auto *heading = new QLabel(QStringLiteral("Cache this file"), &dialog);
    QFont font = heading->font();
    font.setPointSize(16);
    font.setWeight(QFont::Bold);
    heading->setFont(font);
    layout->addWidget(heading);
    layout->addWidget(styledLabel(QStringLiteral("After caching, the file can be uploaded instantly "
                                                 "when printed"),
                                  "color:#667085; font-size:12px;", &dialog));
    layout->addWidget(styledLabel(
        isAcrobatInstalled() ? QStringLiteral("Cache engine: Acrobat first (falls back to built-in PDF on failure)")
                             : QStringLiteral("Cache engine: Built-in PDF"),
        "color:#2455a6; background:#eef5ff; border:1px solid #c9dcff; border-radius:6px; "
        "padding:7px 10px; font-size:12px; font-weight:600;",
        &dialog));
    const QString paper = hotFolder.value(QStringLiteral("paper_size")).toString();
    layout->addWidget(styledLabel(
        QStringLiteral("Cache settings: %1，%2，%3")
            .arg(hotFolder.value(QStringLiteral("printer_name")).toString(),
                 duplexText(hotFolder.value(QStringLiteral("duplex_mode")).toInt()),
                 paperKeyLabel(paper.isEmpty() ? QString::fromLatin1(kDriverDefaultPaper) : paper)),
        "color:#344054; background:#ffffff; border:1px solid #d8dee8; border-radius:6px; "
        "padding:8px 10px; font-size:12px;",
        &dialog));
    layout->addWidget(styledLabel(QFileInfo(job.path).fileName(),
                                  "background:#f6f8fb; border:1px solid #e4e9f0; border-radius:7px; "
                                  "padding:10px; color:#344054;",
                                  &dialog));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Start caching"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return dialog.exec() == QDialog::Accepted;
}

void CacheActions::startBuild(int row, const PrintJob &job)
{
    m_queue->markRowCaching(row);
    const QString fileName = QFileInfo(job.path).fileName();
    Q_EMIT statusMessage(QStringLiteral("Caching：") + fileName, false);

    auto *watcher = new QFutureWatcher<CacheResult>(this);
    connect(watcher, &QFutureWatcher<CacheResult>::finished, this, [this, watcher, job] {
        const CacheResult result = watcher->result();
        watcher->deleteLater();
        --m_inFlight;
        onBuildFinished(result, job);
    });
    ++m_inFlight;
    watcher->setFuture(QtConcurrent::run([job] {
        try {
            return buildCacheForJob(job);
        } catch (...) {
            // Nothing may escape the worker.
            CacheResult failed;
            failed.message = QStringLiteral("The local print component did not return a successful result.");
            return failed;
        }
    }));
}

void CacheActions::onBuildFinished(const CacheResult &result, const PrintJob &job)
{
    m_queue->reloadQueueTable();
    if (result.success) {
        Q_EMIT statusMessage(resultText(result, QFileInfo(job.path).fileName()), false);
    } else {
        Q_EMIT statusMessage(QStringLiteral("Cache failed：") + result.message, true);
        plainMessage(m_window, QMessageBox::Warning, QStringLiteral("Cache failed"), result.message);
    }
    Q_EMIT buildFinished(result);
}
