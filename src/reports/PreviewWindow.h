#pragma once

#include <QWidget>
#include <memory>

#include "reports/PreviewDocument.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QToolButton;

namespace svod::reports {

class PageView;

// The preview of prepared pages: a child window with zoom, page navigation, find, print, save,
// load (where a loader is given), help and close; keyboard and mouse-wheel scrolling.
class PreviewWindow final : public QWidget {
    Q_OBJECT
public:
    enum class Zoom { PageWidth, WholePage, Percent };

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

    // Finds the first page, from the current one on, whose text contains `text`; false when none.
    bool find(const QString& text);
    bool findNext();
    int foundPage() const { return foundPage_; }

    void printDocument();
    void saveDocument();
    void loadDocument();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildToolBar();
    void updateScale();
    void updatePageLabel();
    bool searchFrom(int page, int matchIndex);

    std::unique_ptr<PreviewDocument> document_;
    PreviewLoader loader_ = nullptr;
    QScrollArea* scrollArea_ = nullptr;
    PageView* view_ = nullptr;
    QComboBox* zoomBox_ = nullptr;
    QLabel* pageLabel_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLineEdit* findEdit_ = nullptr;
    QToolButton* loadButton_ = nullptr;
    Zoom zoom_ = Zoom::PageWidth;
    int percent_ = 100;
    QString findText_;
    int foundPage_ = -1;
    int foundIndex_ = -1;
};

} // namespace svod::reports
