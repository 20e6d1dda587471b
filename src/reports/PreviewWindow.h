#pragma once

#include <QWidget>
#include <memory>

#include "reports/PreviewDocument.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QHBoxLayout;
class QScrollArea;
class QToolButton;

namespace svod::reports {

class PageView;
class PreviewThumbnails;

// The preview of prepared pages: a child window with zoom, page navigation, find, print, save,
// load (where a loader is given), help and close; keyboard and mouse-wheel scrolling.
class PreviewWindow final : public QWidget {
    Q_OBJECT
public:
    enum class Zoom { PageWidth, WholePage, Percent };
    // The zoom the user chose last; new previews open with it ("width", "page" or a percentage
    // as text, for keeping it between runs).
    static QString lastZoom();
    static void setLastZoom(const QString& zoom);

    explicit PreviewWindow(std::unique_ptr<PreviewDocument> document, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    const PreviewDocument& document() const { return *document_; }
    void setDocument(std::unique_ptr<PreviewDocument> document);
    // Shows the load button; `loader` opens ".frp" files.
    void setLoader(PreviewLoader loader);
    // The status line under the pages: what the run noted (a band split, an object cut); hidden
    // while empty.
    void setStatusText(const QString& text);
    QString statusText() const;

    void setZoom(Zoom mode, int percent = 100);
    // Device pixels per point at the current zoom.
    double scale() const;
    int pageCount() const;
    // 0-based page at the top of the view.
    int currentPage() const;
    void goToPage(int page);

    // Finds the first page, from the current one on, whose text contains `text`; false when none,
    // and the find status then says "Текст не найден".
    bool find(const QString& text);
    bool findNext();
    bool findPrevious();
    int foundPage() const { return foundPage_; }
    QString findStatus() const;

    void setThumbnailsVisible(bool visible);
    bool thumbnailsVisible() const;

    // The print dialog, then the chosen pages on the chosen printer.
    void printDocument();
    // Prints the printer's page range (all pages when none) at true scale; a page larger than
    // the paper is shrunk to fit it. The number of copies is the printer's.
    void printPages(QPrinter& printer) const;
    void saveDocument();
    // Asks the settings of a CSV or Excel file (remembered for the next save), then writes the
    // document to `path`; false when the user cancelled or the file could not be written.
    bool saveTo(const QString& path);
    void loadDocument();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The page view's own resizes (the thumbnails panel shown or hidden) refit the zoom.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildToolBar();
    void addZoomBox(QHBoxLayout& row);
    void addPageButtons(QHBoxLayout& row);
    void addFindControls(QHBoxLayout& row);
    void addDocumentButtons(QHBoxLayout& row);
    void buildShortcuts();
    void updateScale();
    void updatePageLabel();
    bool searchFrom(int page, int matchIndex);
    bool searchBackFrom(int page, int matchIndex);
    void showMatch(int page, int index, const QList<QRectF>& hits);
    void setFindStatus(bool found);
    void closePreview();

    std::unique_ptr<PreviewDocument> document_;
    PreviewLoader loader_ = nullptr;
    QScrollArea* scrollArea_ = nullptr;
    PageView* view_ = nullptr;
    QComboBox* zoomBox_ = nullptr;
    QLabel* pageLabel_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLineEdit* findEdit_ = nullptr;
    QLabel* findStatus_ = nullptr;
    QToolButton* loadButton_ = nullptr;
    QToolButton* thumbnailsButton_ = nullptr;
    PreviewThumbnails* thumbnails_ = nullptr;
    Zoom zoom_ = Zoom::PageWidth;
    int percent_ = 100;
    QString findText_;
    int foundPage_ = -1;
    int foundIndex_ = -1;
    SaveOptions saveOptions_;
};

} // namespace svod::reports
