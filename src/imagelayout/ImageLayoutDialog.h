#pragma once

#include <QDialog>
#include <QStringList>

class ImageListWidget;
class QLabel;
class QPushButton;

// Images to one PDF with one image per A4 page: the user uploads or drops
// images, drags them into page order and generates the PDF. Each PDF
// written is reported through pdfGenerated.
class ImageLayoutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ImageLayoutDialog(QWidget *parent = nullptr);

    // The images' paths in page order.
    QStringList imagePaths() const;
    ImageListWidget *list() const { return m_list; }

public Q_SLOTS:
    void addImages(const QStringList &paths);
    void generatePdf();
    void renumberItems();
    void updateState();

Q_SIGNALS:
    void pdfGenerated(const QString &path);

private:
    void buildLayout();
    void upload();
    void removeSelected();
    void clearImages();
    void addImageBatch(const QStringList &paths, QStringList *failures);

    ImageListWidget *m_list = nullptr;
    QLabel *m_emptyState = nullptr;
    QLabel *m_countLabel = nullptr;
    QPushButton *m_removeButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    QPushButton *m_generateButton = nullptr;
    bool m_adding = false;
    QStringList m_waitingPaths;
};
