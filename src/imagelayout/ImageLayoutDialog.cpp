#include "imagelayout/ImageLayoutDialog.h"

#include "imagelayout/ImageListWidget.h"
#include "imagelayout/ImageLoading.h"
#include "imagelayout/LayoutPdf.h"
#include "platform/FileNames.h"
#include "platform/PathCase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>

#include <utility>
#include <QVBoxLayout>

namespace {

constexpr int kPathRole = Qt::UserRole + 1;

// Letter case tells files apart where the file system says so.
QString fileKey(const QString &path)
{
    const QString canonical = Platform::canonicalPath(path);
    return Platform::kPathCase == Qt::CaseInsensitive ? canonical.toLower() : canonical;
}

QString dialogStyleSheet()
{
    return QStringLiteral(R"(
QDialog, QWidget { background:#f3f6fa; color:#172033;
  font-family:"Microsoft YaHei UI", "Microsoft YaHei", sans-serif; }
QLabel#PageTitle { font-size:20pt; font-weight:700; }
QLabel#MutedText { color:#667085; }
QLabel#CountLabel { color:#2455a6; font-weight:600; }
QFrame#ListContainer { background:#ffffff; border:1px solid #dfe5ee; border-radius:10px; }
QListWidget#ImageList { background:#ffffff; alternate-background-color:#ffffff; border:none; padding:8px; }
QListWidget#ImageList[externalDragActive="true"] { background:#edf4ff; border:2px dashed #2563eb; padding:6px; }
QListWidget#ImageList::item { border:1px solid transparent; border-radius:8px; color:#344054; }
QListWidget#ImageList::item:hover { background:#f5f8fd; }
QListWidget#ImageList::item:selected { background:#edf4ff; border:1px solid #9bbcf2; color:#172033; }
QLabel#EmptyState { background:transparent; color:#98a2b3; font-size:12pt; }
QPushButton { background:#ffffff; color:#344054; border:1px solid #d0d7e2; border-radius:7px;
  padding:7px 14px; min-height:20px; }
QPushButton:hover { background:#f8fbff; border-color:#7da7f5; color:#1d4ed8; }
QPushButton#PrimaryButton { background:#2563eb; border-color:#2563eb; color:#ffffff; font-weight:bold; }
QPushButton#PrimaryButton:hover { background:#1d4ed8; border-color:#1d4ed8; }
QPushButton:disabled, QPushButton#PrimaryButton:disabled { background:#eef1f5; color:#98a2b3;
  border-color:#e1e6ee; }
)");
}

QLabel *label(const QString &text, const char *objectName)
{
    auto *widget = new QLabel(text);
    widget->setObjectName(QLatin1String(objectName));
    return widget;
}

QPushButton *button(const QString &text, const char *objectName = nullptr)
{
    auto *widget = new QPushButton(text);
    if (objectName)
        widget->setObjectName(QLatin1String(objectName));
    return widget;
}

} // namespace

ImageLayoutDialog::ImageLayoutDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Image layout"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setMinimumSize(900, 620);
    resize(1080, 720);
    setStyleSheet(dialogStyleSheet());
    buildLayout();
    updateState();
}

void ImageLayoutDialog::buildLayout()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(26, 24, 26, 22);
    layout->setSpacing(16);

    auto *header = new QHBoxLayout;
    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(label(QStringLiteral("Image layout"), "PageTitle"));
    titles->addWidget(label(QStringLiteral("Upload images, drag to reorder, and generate a PDF with one "
                                           "image per page."),
                            "MutedText"));
    header->addLayout(titles);
    header->addStretch();
    QPushButton *uploadButton = button(QStringLiteral("＋ Upload images"), "PrimaryButton");
    header->addWidget(uploadButton);
    layout->addLayout(header);

    auto *counts = new QHBoxLayout;
    m_countLabel = label(QString(), "CountLabel");
    counts->addWidget(m_countLabel);
    counts->addStretch();
    counts->addWidget(label(QStringLiteral("Drag any image to change page order"), "MutedText"));
    layout->addLayout(counts);

    auto *container = new QFrame;
    container->setObjectName(QStringLiteral("ListContainer"));
    auto *containerLayout = new QVBoxLayout(container);
    containerLayout->setContentsMargins(1, 1, 1, 1);
    containerLayout->setSpacing(0);
    m_list = new ImageListWidget;
    m_list->setObjectName(QStringLiteral("ImageList"));
    containerLayout->addWidget(m_list);
    auto *emptyLayout = new QVBoxLayout(m_list->viewport());
    emptyLayout->setContentsMargins(20, 20, 20, 20);
    m_emptyState = label(QStringLiteral("No images yet\nDrag images here or click “Upload images” in the "
                                        "upper-right corner"),
                         "EmptyState");
    m_emptyState->setAlignment(Qt::AlignCenter);
    m_emptyState->setAttribute(Qt::WA_TransparentForMouseEvents);
    emptyLayout->addWidget(m_emptyState);
    layout->addWidget(container, 1);

    auto *bottom = new QHBoxLayout;
    m_removeButton = button(QStringLiteral("Remove selected"));
    m_clearButton = button(QStringLiteral("Clear"));
    QPushButton *closeButton = button(QStringLiteral("Close"));
    m_generateButton = button(QStringLiteral("Generate PDF"), "PrimaryButton");
    bottom->addWidget(m_removeButton);
    bottom->addWidget(m_clearButton);
    bottom->addStretch();
    bottom->addWidget(closeButton);
    bottom->addWidget(m_generateButton);
    layout->addLayout(bottom);

    connect(uploadButton, &QPushButton::clicked, this, &ImageLayoutDialog::upload);
    connect(m_removeButton, &QPushButton::clicked, this, &ImageLayoutDialog::removeSelected);
    connect(m_clearButton, &QPushButton::clicked, this, &ImageLayoutDialog::clearImages);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_generateButton, &QPushButton::clicked, this, &ImageLayoutDialog::generatePdf);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &ImageLayoutDialog::updateState);
    connect(m_list->model(), &QAbstractItemModel::rowsMoved, this, &ImageLayoutDialog::renumberItems);
    m_list->itemsReordered = [this] { renumberItems(); };
    m_list->filesDropped = [this](const QStringList &files) { addImages(files); };
}

QStringList ImageLayoutDialog::imagePaths() const
{
    QStringList paths;
    for (int row = 0; row < m_list->count(); ++row)
        paths << m_list->item(row)->data(kPathRole).toString();
    return paths;
}

void ImageLayoutDialog::upload()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Upload images"), QString(),
        QStringLiteral("Image files (*.jpg *.jpeg *.png *.bmp *.gif *.webp *.tif *.tiff);;"
                       "JPEG images (*.jpg *.jpeg);;PNG images (*.png);;"
                       "All supported images (*.jpg *.jpeg *.png *.bmp *.gif *.webp *.tif *.tiff)"));
    if (!paths.isEmpty())
        addImages(paths);
}

void ImageLayoutDialog::addImages(const QStringList &paths)
{
    // Files dropped while an add runs (it lets the window repaint) join
    // it, rather than start a second add beside it.
    if (m_adding) {
        m_waitingPaths << paths;
        return;
    }
    m_adding = true;
    QStringList queue = paths;
    QStringList failures;
    while (!queue.isEmpty()) {
        addImageBatch(queue, &failures);
        queue = std::exchange(m_waitingPaths, QStringList());
    }
    m_adding = false;
    renumberItems();
    if (!failures.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Some files could not be added"),
                             QStringLiteral("The following files are invalid images or could not be "
                                            "read:\n\n%1")
                                 .arg(failures.join(QLatin1Char('\n'))));
    }
}

void ImageLayoutDialog::addImageBatch(const QStringList &paths, QStringList *failures)
{
    QSet<QString> keys;
    for (const QString &path : imagePaths())
        keys.insert(fileKey(path));
    for (const QString &path : paths) {
        const QString key = fileKey(path);
        if (key.isEmpty() || keys.contains(key))
            continue;
        QString error;
        const QImage thumbnail = makeThumbnail(path, &error);
        const QFileInfo file(path);
        if (thumbnail.isNull()) {
            *failures << QStringLiteral("%1：%2").arg(file.fileName(), error);
            continue;
        }
        auto *item = new QListWidgetItem(QIcon(QPixmap::fromImage(thumbnail)), file.fileName());
        item->setData(kPathRole, file.absoluteFilePath());
        item->setToolTip(file.absoluteFilePath());
        item->setTextAlignment(Qt::AlignCenter);
        m_list->addItem(item);
        keys.insert(key);
        // Many large photos take seconds: each thumbnail shows as it is
        // made, and no click lands in the middle of the adding.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void ImageLayoutDialog::renumberItems()
{
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        item->setText(QStringLiteral("%1    %2")
                          .arg(row + 1, 2)
                          .arg(QFileInfo(item->data(kPathRole).toString()).fileName()));
    }
    updateState();
}

void ImageLayoutDialog::updateState()
{
    const int count = m_list->count();
    m_countLabel->setText(QStringLiteral("%1 images").arg(count));
    m_emptyState->setVisible(count == 0);
    m_removeButton->setEnabled(!m_list->selectedItems().isEmpty());
    m_clearButton->setEnabled(count > 0);
    m_generateButton->setEnabled(count > 0);
}

void ImageLayoutDialog::removeSelected()
{
    qDeleteAll(m_list->selectedItems());
    renumberItems();
}

void ImageLayoutDialog::clearImages()
{
    if (m_list->count() == 0)
        return;
    if (QMessageBox::question(this, QStringLiteral("Clear images"), QStringLiteral("Remove all uploaded images?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    m_list->clear();
    updateState();
}

void ImageLayoutDialog::generatePdf()
{
    if (m_list->count() == 0)
        return;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    // The suffix is added by the dialog, so that its question about
    // overwriting is asked for the file really written.
    QFileDialog dialog(this, QStringLiteral("Generate PDF"), folder + QStringLiteral("/Image layout.pdf"),
                       QStringLiteral("PDF File (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().constFirst();
    const QString path = layoutPdfPath(chosen);
    const LayoutPdfResult result = writeLayoutPdf(imagePaths(), path);
    const QString failed = QStringLiteral("Generation failed");
    switch (result.status) {
    case LayoutPdfResult::Status::NoReadableImage:
        QMessageBox::critical(this, failed,
                              QStringLiteral("All images are invalid or unreadable. Please upload them again."));
        return;
    case LayoutPdfResult::Status::CannotWrite:
        QMessageBox::critical(this, failed,
                              QStringLiteral("Unable to write to the selected location. Check whether the file "
                                             "is in use and the folder is writable."));
        return;
    case LayoutPdfResult::Status::PageRefused:
        QMessageBox::critical(this, failed,
                              QStringLiteral("Failed to create a PDF page. The file may be incomplete."));
        return;
    case LayoutPdfResult::Status::Written:
        break;
    }
    emit pdfGenerated(path);
    QString text = QStringLiteral("PDF generated, %1 pages:\n%2").arg(result.pages).arg(QFileInfo(path).absoluteFilePath());
    if (!result.skipped.isEmpty())
        text += QStringLiteral("\n\nThe following images were skipped because they could not be read:\n%1")
                    .arg(result.skipped.join(QLatin1Char('\n')));
    QMessageBox::information(this, QStringLiteral("Generation complete"), text);
}
