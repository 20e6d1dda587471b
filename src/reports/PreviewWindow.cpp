#include "reports/PreviewWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "db/Error.h"
#include "help/HelpWindow.h"
#include "reports/ExportOptionsDialog.h"
#include "reports/PreviewIcons.h"
#include "reports/PreviewThumbnails.h"

namespace svod::reports {

namespace {
constexpr int PageGap = 12;

// An icon-only button of the tool bar: its tool tip names it and its keys, its accessible name
// is the tool tip without the keys.
QToolButton* toolButton(QHBoxLayout& row, const QString& name, const QString& tip, PreviewIcon icon,
                        const QString& keys = {}) {
    auto* b = new QToolButton(row.parentWidget());
    b->setObjectName(name);
    b->setToolTip(keys.isEmpty() ? tip : tip + QStringLiteral(" (") + keys + u')');
    b->setAccessibleName(tip);
    b->setIcon(previewIcon(icon));
    b->setIconSize(QSize(20, 20));
    b->setAutoRaise(true);
    row.addWidget(b);
    return b;
}

QString& lastZoomChoice() {
    static QString zoom = QStringLiteral("width");
    return zoom;
}
} // namespace

QString PreviewWindow::lastZoom() {
    return lastZoomChoice();
}

void PreviewWindow::setLastZoom(const QString& zoom) {
    bool number = false;
    const int percent = zoom.toInt(&number);
    if (zoom == QLatin1String("width") || zoom == QLatin1String("page") ||
        (number && percent >= 10 && percent <= 400))
        lastZoomChoice() = zoom;
}

// Paints the pages one below the other.
class PageView final : public QWidget {
public:
    explicit PageView(QWidget* parent) : QWidget(parent) {
        setBackgroundRole(QPalette::Dark);
        setAutoFillBackground(true);
    }
    void setDocument(const PreviewDocument* document) {
        document_ = document;
        relayout();
    }
    void setScale(double scale) {
        scale_ = scale;
        relayout();
    }
    double scale() const { return scale_; }
    // Room below the last page, so that every page can be scrolled to the top.
    void setTrailingSpace(int space) {
        trailing_ = space;
        relayout();
    }
    void setHighlight(int page, const QList<QRectF>& rects) {
        highlightPage_ = page;
        highlight_ = rects;
        update();
    }
    QRect pageRect(int page) const { return page >= 0 && page < tops_.size() ? rects_[page] : QRect(); }
    int pageAt(int y) const {
        for (int i = 0; i < rects_.size(); ++i)
            if (y < rects_[i].bottom() + PageGap)
                return i;
        return static_cast<int>(rects_.size()) - 1;
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        if (!document_)
            return;
        for (int i = 0; i < rects_.size(); ++i) {
            const QRect r = rects_[i];
            if (!r.intersects(event->rect()))
                continue;
            p.fillRect(r.translated(3, 3), QColor(0, 0, 0, 60));
            p.fillRect(r, Qt::white);
            p.save();
            document_->paintPage(i, p, r);
            p.restore();
            if (i == highlightPage_) {
                p.setPen(QPen(QColor(255, 140, 0), 2));
                p.setBrush(QColor(255, 200, 0, 70));
                for (const QRectF& h : highlight_)
                    p.drawRect(QRectF(r.left() + h.left() * scale_, r.top() + h.top() * scale_,
                                      h.width() * scale_, h.height() * scale_));
            }
        }
    }

private:
    void relayout() {
        rects_.clear();
        tops_.clear();
        int y = PageGap;
        int width = 0;
        const int n = document_ ? document_->pageCount() : 0;
        for (int i = 0; i < n; ++i) {
            const QSizeF size = document_->pageSize(i) * scale_;
            const QRect r(PageGap, y, qMax(1, qRound(size.width())), qMax(1, qRound(size.height())));
            rects_.append(r);
            tops_.append(y);
            y += r.height() + PageGap;
            width = qMax(width, r.width() + 2 * PageGap);
        }
        // Centre narrower pages.
        for (QRect& r : rects_)
            r.moveLeft((width - r.width()) / 2);
        const int lastHeight = rects_.isEmpty() ? 0 : rects_.back().height() + PageGap;
        setFixedSize(qMax(width, 1), qMax(y + qMax(0, trailing_ - lastHeight), 1));
        update();
    }

    const PreviewDocument* document_ = nullptr;
    double scale_ = 1.0;
    int trailing_ = 0;
    QList<QRect> rects_;
    QList<int> tops_;
    int highlightPage_ = -1;
    QList<QRectF> highlight_;
};

PreviewWindow::PreviewWindow(std::unique_ptr<PreviewDocument> document, QWidget* parent)
    : QWidget(parent), document_(std::move(document)) {
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    auto* pages = new QHBoxLayout;
    pages->setContentsMargins(0, 0, 0, 0);
    pages->setSpacing(0);
    thumbnails_ = new PreviewThumbnails(this);
    scrollArea_ = new QScrollArea(this);
    scrollArea_->setObjectName(QStringLiteral("PreviewScrollArea"));
    scrollArea_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scrollArea_->setBackgroundRole(QPalette::Dark);
    scrollArea_->setAccessibleName(QStringLiteral("Страницы отчета"));
    view_ = new PageView(scrollArea_);
    scrollArea_->setWidget(view_);
    scrollArea_->viewport()->installEventFilter(this);
    pages->addWidget(thumbnails_);
    pages->addWidget(scrollArea_, 1);
    layout->addLayout(pages, 1);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("PreviewStatusLine"));
    statusLine_->setAccessibleName(QStringLiteral("Замечания построения отчета"));
    statusLine_->setContentsMargins(6, 2, 6, 2);
    statusLine_->setWordWrap(true);
    statusLine_->hide();
    layout->addWidget(statusLine_);
    connect(scrollArea_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updatePageLabel(); });
    connect(thumbnails_, &PreviewThumbnails::pageChosen, this, [this](int page) { goToPage(page); });
    view_->setDocument(document_.get());
    thumbnails_->setDocument(document_.get());
    setThumbnailsVisible(pageCount() > 1);
    const QString zoom = lastZoom();
    zoom_ = zoom == QLatin1String("width")  ? Zoom::PageWidth
            : zoom == QLatin1String("page") ? Zoom::WholePage
                                            : Zoom::Percent;
    percent_ = zoom_ == Zoom::Percent ? zoom.toInt() : 100;
    const int zoomIndex = zoom_ == Zoom::PageWidth   ? 0
                          : zoom_ == Zoom::WholePage ? 1
                                                     : zoomBox_->findText(zoom + u'%');
    if (zoomIndex >= 0)
        zoomBox_->setCurrentIndex(zoomIndex);
    buildShortcuts();
    resize(800, 600);
    updateScale();
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::setStatusText(const QString& text) {
    statusLine_->setText(text);
    statusLine_->setToolTip(text);
    statusLine_->setVisible(!text.isEmpty());
}

QString PreviewWindow::statusText() const {
    return statusLine_->text();
}

void PreviewWindow::buildToolBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(2);
    addZoomBox(*row);
    addPageButtons(*row);
    row->addSpacing(8);
    addFindControls(*row);
    row->addStretch(1);
    addDocumentButtons(*row);
    static_cast<QVBoxLayout*>(layout())->addWidget(bar);
}

void PreviewWindow::addZoomBox(QHBoxLayout& row) {
    QWidget* bar = row.parentWidget();
    zoomBox_ = new QComboBox(bar);
    zoomBox_->setObjectName(QStringLiteral("ZoomBox"));
    zoomBox_->setToolTip(QStringLiteral("Масштаб"));
    zoomBox_->setAccessibleName(QStringLiteral("Масштаб"));
    zoomBox_->addItems({QStringLiteral("По ширине страницы"), QStringLiteral("Страница целиком"),
                        QStringLiteral("25%"), QStringLiteral("50%"), QStringLiteral("75%"),
                        QStringLiteral("100%"), QStringLiteral("150%"), QStringLiteral("200%")});
    zoomBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    row.addWidget(zoomBox_);
    connect(zoomBox_, &QComboBox::activated, this, [this](int index) {
        if (index == 0) {
            setZoom(Zoom::PageWidth);
            setLastZoom(QStringLiteral("width"));
        } else if (index == 1) {
            setZoom(Zoom::WholePage);
            setLastZoom(QStringLiteral("page"));
        } else {
            const QString percent = zoomBox_->itemText(index).chopped(1);
            setZoom(Zoom::Percent, percent.toInt());
            setLastZoom(percent);
        }
    });
}

void PreviewWindow::addPageButtons(QHBoxLayout& row) {
    QWidget* bar = row.parentWidget();
    thumbnailsButton_ = toolButton(row, QStringLiteral("ThumbnailsButton"),
                                   QStringLiteral("Миниатюры страниц"), PreviewIcon::Thumbnails);
    thumbnailsButton_->setCheckable(true);
    connect(thumbnailsButton_, &QToolButton::toggled, this, [this](bool on) { setThumbnailsVisible(on); });
    auto* first = toolButton(row, QStringLiteral("FirstPageButton"), QStringLiteral("Первая страница"),
                             PreviewIcon::FirstPage, QStringLiteral("Home"));
    auto* prev = toolButton(row, QStringLiteral("PrevPageButton"), QStringLiteral("Предыдущая страница"),
                            PreviewIcon::PreviousPage, QStringLiteral("Ctrl+PgUp"));
    pageLabel_ = new QLabel(bar);
    pageLabel_->setObjectName(QStringLiteral("PageLabel"));
    pageLabel_->setAccessibleName(QStringLiteral("Номер страницы"));
    row.addWidget(pageLabel_);
    auto* next = toolButton(row, QStringLiteral("NextPageButton"), QStringLiteral("Следующая страница"),
                            PreviewIcon::NextPage, QStringLiteral("Ctrl+PgDn"));
    auto* last = toolButton(row, QStringLiteral("LastPageButton"), QStringLiteral("Последняя страница"),
                            PreviewIcon::LastPage, QStringLiteral("End"));
    connect(first, &QToolButton::clicked, this, [this] { goToPage(0); });
    connect(prev, &QToolButton::clicked, this, [this] { goToPage(currentPage() - 1); });
    connect(next, &QToolButton::clicked, this, [this] { goToPage(currentPage() + 1); });
    connect(last, &QToolButton::clicked, this, [this] { goToPage(pageCount() - 1); });
}

void PreviewWindow::addFindControls(QHBoxLayout& row) {
    QWidget* bar = row.parentWidget();
    findEdit_ = new QLineEdit(bar);
    findEdit_->setObjectName(QStringLiteral("FindEdit"));
    findEdit_->setPlaceholderText(QStringLiteral("Найти... (Ctrl+F)"));
    findEdit_->setAccessibleName(QStringLiteral("Текст для поиска"));
    findEdit_->setClearButtonEnabled(true);
    findEdit_->setMinimumWidth(150);
    findEdit_->setMaximumWidth(220);
    row.addWidget(findEdit_);
    auto* findButton =
        toolButton(row, QStringLiteral("FindButton"), QStringLiteral("Найти"), PreviewIcon::Find);
    auto* findPreviousButton =
        toolButton(row, QStringLiteral("FindPreviousButton"), QStringLiteral("Найти ранее"),
                   PreviewIcon::FindPrevious, QStringLiteral("Shift+F3"));
    auto* findNextButton = toolButton(row, QStringLiteral("FindNextButton"), QStringLiteral("Найти далее"),
                                      PreviewIcon::FindNext, QStringLiteral("F3"));
    findStatus_ = new QLabel(bar);
    findStatus_->setObjectName(QStringLiteral("FindStatusLabel"));
    findStatus_->setAccessibleName(QStringLiteral("Результат поиска"));
    findStatus_->setStyleSheet(QStringLiteral("color: #a02020;"));
    row.addWidget(findStatus_);
    connect(findEdit_, &QLineEdit::returnPressed, this, [this] { find(findEdit_->text()); });
    connect(findEdit_, &QLineEdit::textEdited, this, [this] { findStatus_->clear(); });
    connect(findButton, &QToolButton::clicked, this, [this] { find(findEdit_->text()); });
    connect(findNextButton, &QToolButton::clicked, this, [this] { findNext(); });
    connect(findPreviousButton, &QToolButton::clicked, this, [this] { findPrevious(); });
}

void PreviewWindow::addDocumentButtons(QHBoxLayout& row) {
    loadButton_ =
        toolButton(row, QStringLiteral("LoadButton"), QStringLiteral("Открыть отчет"), PreviewIcon::Open);
    loadButton_->setVisible(false);
    auto* save = toolButton(row, QStringLiteral("SaveButton"), QStringLiteral("Сохранить"), PreviewIcon::Save,
                            QStringLiteral("Ctrl+S"));
    auto* print = toolButton(row, QStringLiteral("PrintButton"), QStringLiteral("Печать"), PreviewIcon::Print,
                             QStringLiteral("Ctrl+P"));
    auto* help = toolButton(row, QStringLiteral("HelpButton"), QStringLiteral("Справка"), PreviewIcon::Help);
    auto* close = toolButton(row, QStringLiteral("CloseButton"), QStringLiteral("Закрыть"),
                             PreviewIcon::Close, QStringLiteral("Esc"));
    connect(print, &QToolButton::clicked, this, [this] { printDocument(); });
    connect(save, &QToolButton::clicked, this, [this] { saveDocument(); });
    connect(loadButton_, &QToolButton::clicked, this, [this] { loadDocument(); });
    connect(help, &QToolButton::clicked, this,
            [this] { help::showHelp(QStringLiteral("preview.html"), window()); });
    connect(close, &QToolButton::clicked, this, [this] { closePreview(); });
}

void PreviewWindow::buildShortcuts() {
    const auto shortcut = [this](const QKeySequence& keys, auto handler) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, handler);
    };
    shortcut(QKeySequence::Find, [this] {
        findEdit_->setFocus(Qt::ShortcutFocusReason);
        findEdit_->selectAll();
    });
    shortcut(QKeySequence(Qt::Key_F3), [this] { findNext(); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { findPrevious(); });
    shortcut(QKeySequence::Print, [this] { printDocument(); });
    shortcut(QKeySequence::Save, [this] { saveDocument(); });
    shortcut(QKeySequence(Qt::Key_Escape), [this] { closePreview(); });
}

void PreviewWindow::closePreview() {
    // Inside an MDI area the sub-window frame is the window to close.
    QWidget* frame = parentWidget() ? parentWidget() : this;
    if (frame->inherits("QMdiSubWindow"))
        frame->close();
    else
        QWidget::close();
}

void PreviewWindow::setThumbnailsVisible(bool visible) {
    thumbnails_->setVisible(visible);
    const QSignalBlocker quiet(thumbnailsButton_);
    thumbnailsButton_->setChecked(visible);
}

bool PreviewWindow::thumbnailsVisible() const {
    return thumbnails_->isVisibleTo(this);
}

void PreviewWindow::setDocument(std::unique_ptr<PreviewDocument> document) {
    document_ = std::move(document);
    view_->setDocument(document_.get());
    thumbnails_->setDocument(document_.get());
    foundPage_ = -1;
    foundIndex_ = -1;
    updateScale();
    goToPage(0);
}

void PreviewWindow::setLoader(PreviewLoader loader) {
    loader_ = loader;
    loadButton_->setVisible(loader_ != nullptr);
}

void PreviewWindow::setZoom(Zoom mode, int percent) {
    zoom_ = mode;
    percent_ = percent;
    const int page = currentPage();
    updateScale();
    goToPage(page);
}

double PreviewWindow::scale() const {
    return view_->scale();
}

int PreviewWindow::pageCount() const {
    return document_ ? document_->pageCount() : 0;
}

void PreviewWindow::updateScale() {
    // Points to screen pixels at 100%.
    const double pointToPixel = logicalDpiX() / 72.0;
    double scale = pointToPixel * percent_ / 100.0;
    if (document_ && document_->pageCount() > 0 && zoom_ != Zoom::Percent) {
        const QSizeF page = document_->pageSize(0);
        const QSize viewport = scrollArea_->viewport()->size() - QSize(2 * PageGap + 4, 2 * PageGap + 4);
        const double byWidth = viewport.width() / qMax(1.0, page.width());
        const double byHeight = viewport.height() / qMax(1.0, page.height());
        scale = zoom_ == Zoom::PageWidth ? byWidth : qMin(byWidth, byHeight);
    }
    view_->setTrailingSpace(scrollArea_->viewport()->height());
    view_->setScale(qMax(0.05, scale));
    updatePageLabel();
}

int PreviewWindow::currentPage() const {
    if (pageCount() == 0)
        return 0;
    return qBound(0, view_->pageAt(scrollArea_->verticalScrollBar()->value() + PageGap), pageCount() - 1);
}

void PreviewWindow::goToPage(int page) {
    if (pageCount() == 0)
        return;
    page = qBound(0, page, pageCount() - 1);
    scrollArea_->verticalScrollBar()->setValue(view_->pageRect(page).top() - PageGap);
    updatePageLabel();
}

void PreviewWindow::updatePageLabel() {
    if (thumbnails_ && pageCount() > 0)
        thumbnails_->setCurrentPage(currentPage());
    pageLabel_->setText(
        QStringLiteral("Страница %1 из %2").arg(pageCount() == 0 ? 0 : currentPage() + 1).arg(pageCount()));
}

void PreviewWindow::showMatch(int page, int index, const QList<QRectF>& hits) {
    foundPage_ = page;
    foundIndex_ = index;
    view_->setHighlight(page, {hits[index]});
    // Bring the match into view: its page on top, or further down for a low match.
    const QRect pageRect = view_->pageRect(page);
    const int hitY = pageRect.top() + qRound(hits[index].top() * scale());
    QScrollBar* vertical = scrollArea_->verticalScrollBar();
    const int viewHeight = scrollArea_->viewport()->height();
    if (hitY < vertical->value() || hitY + 20 > vertical->value() + viewHeight) {
        goToPage(page);
        if (hitY + 20 > vertical->value() + viewHeight)
            vertical->setValue(hitY - viewHeight / 3);
    }
    const int hitX = pageRect.left() + qRound(hits[index].center().x() * scale());
    scrollArea_->horizontalScrollBar()->setValue(qMax(0, hitX - scrollArea_->viewport()->width() / 2));
    updatePageLabel();
}

bool PreviewWindow::searchFrom(int page, int matchIndex) {
    for (int p = page; p < pageCount(); ++p) {
        const QList<QRectF> hits = document_->findText(p, findText_, Qt::CaseInsensitive);
        const int index = p == page ? matchIndex : 0;
        if (index < hits.size()) {
            showMatch(p, index, hits);
            return true;
        }
    }
    return false;
}

bool PreviewWindow::searchBackFrom(int page, int matchIndex) {
    for (int p = page; p >= 0; --p) {
        const QList<QRectF> hits = document_->findText(p, findText_, Qt::CaseInsensitive);
        const int index = p == page ? qMin(matchIndex, int(hits.size()) - 1) : int(hits.size()) - 1;
        if (index >= 0 && !hits.isEmpty()) {
            showMatch(p, index, hits);
            return true;
        }
    }
    return false;
}

void PreviewWindow::setFindStatus(bool found) {
    findStatus_->setText(found ? QString() : QStringLiteral("Текст не найден"));
}

QString PreviewWindow::findStatus() const {
    return findStatus_->text();
}

bool PreviewWindow::find(const QString& text) {
    if (findEdit_->text() != text)
        findEdit_->setText(text);
    findText_ = text;
    foundPage_ = -1;
    foundIndex_ = -1;
    view_->setHighlight(-1, {});
    findStatus_->clear();
    if (text.isEmpty() || !document_)
        return false;
    const bool found = searchFrom(currentPage(), 0);
    setFindStatus(found);
    return found;
}

bool PreviewWindow::findNext() {
    if (findText_.isEmpty() || findText_ != findEdit_->text())
        return find(findEdit_->text());
    const bool found =
        foundPage_ < 0 ? searchFrom(currentPage(), 0) : searchFrom(foundPage_, foundIndex_ + 1);
    setFindStatus(found);
    return found;
}

bool PreviewWindow::findPrevious() {
    if (findText_.isEmpty() && findEdit_->text().isEmpty())
        return false;
    if (findText_ != findEdit_->text() && !findEdit_->text().isEmpty()) {
        findText_ = findEdit_->text();
        foundPage_ = -1;
    }
    const bool found = foundPage_ < 0 ? searchBackFrom(currentPage(), INT_MAX)
                                      : (foundIndex_ > 0 ? searchBackFrom(foundPage_, foundIndex_ - 1)
                                                         : searchBackFrom(foundPage_ - 1, INT_MAX));
    setFindStatus(found);
    return found;
}

void PreviewWindow::printDocument() {
    if (!document_ || pageCount() == 0)
        return;
    QPrinter printer(QPrinter::HighResolution);
    const QSizeF first = document_->pageSize(0);
    printer.setPageOrientation(first.width() > first.height() ? QPageLayout::Landscape
                                                              : QPageLayout::Portrait);
    printer.setFromTo(1, pageCount());
    printer.setDocName(windowTitle());
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Печать"));
    dialog.setMinMax(1, pageCount());
    dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintToFile |
                      QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCurrentPage);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (printer.printRange() == QPrinter::CurrentPage)
        printer.setFromTo(currentPage() + 1, currentPage() + 1);
    printPages(printer);
}

void PreviewWindow::printPages(QPrinter& printer) const {
    if (!document_ || pageCount() == 0)
        return;
    const bool range = printer.printRange() != QPrinter::AllPages && printer.fromPage() > 0;
    const int from = range ? qBound(0, printer.fromPage() - 1, pageCount() - 1) : 0;
    const int to = range ? qBound(from, printer.toPage() - 1, pageCount() - 1) : pageCount() - 1;
    // Copies the printer cannot make itself are printed one after the other.
    const int copies = printer.supportsMultipleCopies() ? 1 : qMax(1, printer.copyCount());
    // The prepared pages carry their own margins: they are laid on the whole sheet.
    printer.setFullPage(true);
    QPainter painter(&printer);
    // Points to printer pixels: the page at its own size.
    const double trueScale = printer.resolution() / 72.0;
    bool firstSheet = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int p = from; p <= to; ++p) {
            if (!firstSheet)
                printer.newPage();
            firstSheet = false;
            const QRectF paper = printer.pageLayout().paintRectPixels(printer.resolution());
            const QSizeF size = document_->pageSize(p) * trueScale;
            const double fit = qMin(1.0, qMin(paper.width() / size.width(), paper.height() / size.height()));
            document_->paintPage(p, painter, QRectF(QPointF(0, 0), size * fit));
        }
    }
}

void PreviewWindow::saveDocument() {
    if (!document_)
        return;
    const QStringList filters = document_->saveFilters();
    QString selected = filters.value(0);
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить отчет"), QString(),
                                                      filters.join(QStringLiteral(";;")), &selected);
    if (path.isEmpty())
        return;
    QString target = path;
    if (QFileInfo(target).suffix().isEmpty()) {
        // Take the extension of the chosen filter: "... (*.pdf)".
        const qsizetype star = selected.indexOf(QStringLiteral("*."));
        if (star >= 0)
            target += selected.mid(star + 1, selected.indexOf(u')', star) - star - 1);
    }
    saveTo(target);
}

bool PreviewWindow::saveTo(const QString& path) {
    if (!document_)
        return false;
    if (ExportOptionsDialog::hasOptions(path)) {
        ExportOptionsDialog dialog(path, saveOptions_, this);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        saveOptions_ = dialog.options();
    }
    try {
        document_->save(path, saveOptions_);
        return true;
    } catch (const Error& e) {
        QMessageBox::critical(this, windowTitle(), e.message());
        return false;
    }
}

void PreviewWindow::loadDocument() {
    if (!loader_)
        return;
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Открыть отчет"), QString(),
                                                      QStringLiteral("Файл отчета (*.frp)"));
    if (path.isEmpty())
        return;
    try {
        setDocument(loader_(path));
    } catch (const Error& e) {
        QMessageBox::critical(this, windowTitle(), e.message());
    }
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_PageDown:
        if (event->modifiers() & Qt::ControlModifier)
            goToPage(currentPage() + 1);
        else
            scrollArea_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        return;
    case Qt::Key_PageUp:
        if (event->modifiers() & Qt::ControlModifier)
            goToPage(currentPage() - 1);
        else
            scrollArea_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
        return;
    case Qt::Key_Home:
        goToPage(0);
        return;
    case Qt::Key_End:
        goToPage(pageCount() - 1);
        return;
    case Qt::Key_Down:
        scrollArea_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return;
    case Qt::Key_Up:
        scrollArea_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void PreviewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The viewport has its real size only now.
    updateScale();
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scrollArea_->viewport() && event->type() == QEvent::Resize && zoom_ != Zoom::Percent) {
        const int page = currentPage();
        updateScale();
        goToPage(page);
    }
    return QWidget::eventFilter(watched, event);
}

void PreviewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (zoom_ != Zoom::Percent) {
        const int page = currentPage();
        updateScale();
        goToPage(page);
    }
}

} // namespace svod::reports
