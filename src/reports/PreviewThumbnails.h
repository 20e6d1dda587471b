#pragma once

#include <QListView>

namespace svod::reports {

class PreviewDocument;
class ThumbnailModel;

// Small pictures of the pages in a column; a click opens the page. Pictures are drawn when a page
// first comes into view, so a long report costs nothing until it is scrolled through.
class PreviewThumbnails final : public QListView {
    Q_OBJECT
public:
    explicit PreviewThumbnails(QWidget* parent = nullptr);
    ~PreviewThumbnails() override;

    void setDocument(const PreviewDocument* document);
    // Marks the page shown in the view.
    void setCurrentPage(int page);

Q_SIGNALS:
    void pageChosen(int page);

private:
    ThumbnailModel* model_;
};

} // namespace svod::reports
