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
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "db/Error.h"
#include "help/HelpWindow.h"

namespace svod::reports {

namespace {
constexpr int PageGap = 12;
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
    scrollArea_ = new QScrollArea(this);
    scrollArea_->setObjectName(QStringLiteral("PreviewScrollArea"));
    scrollArea_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scrollArea_->setBackgroundRole(QPalette::Dark);
    view_ = new PageView(scrollArea_);
    scrollArea_->setWidget(view_);
    layout->addWidget(scrollArea_, 1);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("PreviewStatusLine"));
    statusLine_->setAccessibleName(QStringLiteral("Замечания построения отчета"));
    statusLine_->setContentsMargins(6, 2, 6, 2);
    statusLine_->setWordWrap(true);
    statusLine_->hide();
    layout->addWidget(statusLine_);
    connect(scrollArea_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updatePageLabel(); });
    view_->setDocument(document_.get());
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
    auto button = [&](const QString& name, const QString& tip, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(bar);
        b->setObjectName(name);
        b->setToolTip(tip);
        b->setIcon(style()->standardIcon(icon));
        b->setAutoRaise(true);
        row->addWidget(b);
        return b;
    };
    zoomBox_ = new QComboBox(bar);
    zoomBox_->setObjectName(QStringLiteral("ZoomBox"));
    zoomBox_->addItems({QStringLiteral("По ширине страницы"), QStringLiteral("Страница целиком"),
                        QStringLiteral("25%"), QStringLiteral("50%"), QStringLiteral("75%"),
                        QStringLiteral("100%"), QStringLiteral("150%"), QStringLiteral("200%")});
    row->addWidget(zoomBox_);
    connect(zoomBox_, &QComboBox::activated, this, [this](int index) {
        if (index == 0)
            setZoom(Zoom::PageWidth);
        else if (index == 1)
            setZoom(Zoom::WholePage);
        else
            setZoom(Zoom::Percent, zoomBox_->itemText(index).chopped(1).toInt());
    });
    auto* first = button(QStringLiteral("FirstPageButton"), QStringLiteral("Первая страница"),
                         QStyle::SP_MediaSkipBackward);
    auto* prev = button(QStringLiteral("PrevPageButton"), QStringLiteral("Предыдущая страница"),
                        QStyle::SP_MediaSeekBackward);
    pageLabel_ = new QLabel(bar);
    pageLabel_->setObjectName(QStringLiteral("PageLabel"));
    row->addWidget(pageLabel_);
    auto* next = button(QStringLiteral("NextPageButton"), QStringLiteral("Следующая страница"),
                        QStyle::SP_MediaSeekForward);
    auto* last = button(QStringLiteral("LastPageButton"), QStringLiteral("Последняя страница"),
                        QStyle::SP_MediaSkipForward);
    connect(first, &QToolButton::clicked, this, [this] { goToPage(0); });
    connect(prev, &QToolButton::clicked, this, [this] { goToPage(currentPage() - 1); });
    connect(next, &QToolButton::clicked, this, [this] { goToPage(currentPage() + 1); });
    connect(last, &QToolButton::clicked, this, [this] { goToPage(pageCount() - 1); });

    findEdit_ = new QLineEdit(bar);
    findEdit_->setObjectName(QStringLiteral("FindEdit"));
    findEdit_->setPlaceholderText(QStringLiteral("Найти..."));
    findEdit_->setMaximumWidth(160);
    row->addWidget(findEdit_);
    auto* findButton =
        button(QStringLiteral("FindButton"), QStringLiteral("Найти"), QStyle::SP_FileDialogContentsView);
    auto* findNextButton =
        button(QStringLiteral("FindNextButton"), QStringLiteral("Найти далее"), QStyle::SP_ArrowDown);
    connect(findEdit_, &QLineEdit::returnPressed, this, [this] { find(findEdit_->text()); });
    connect(findButton, &QToolButton::clicked, this, [this] { find(findEdit_->text()); });
    connect(findNextButton, &QToolButton::clicked, this, [this] { findNext(); });

    auto* print =
        button(QStringLiteral("PrintButton"), QStringLiteral("Печать"), QStyle::SP_DialogApplyButton);
    auto* save =
        button(QStringLiteral("SaveButton"), QStringLiteral("Сохранить"), QStyle::SP_DialogSaveButton);
    loadButton_ =
        button(QStringLiteral("LoadButton"), QStringLiteral("Открыть"), QStyle::SP_DialogOpenButton);
    loadButton_->setVisible(false);
    auto* help = button(QStringLiteral("HelpButton"), QStringLiteral("Справка"), QStyle::SP_DialogHelpButton);
    auto* close =
        button(QStringLiteral("CloseButton"), QStringLiteral("Закрыть"), QStyle::SP_DialogCloseButton);
    connect(print, &QToolButton::clicked, this, [this] { printDocument(); });
    connect(save, &QToolButton::clicked, this, [this] { saveDocument(); });
    connect(loadButton_, &QToolButton::clicked, this, [this] { loadDocument(); });
    connect(help, &QToolButton::clicked, this,
            [this] { help::showHelp(QStringLiteral("preview.html"), window()); });
    connect(close, &QToolButton::clicked, this, [this] {
        // Inside an MDI area the sub-window frame is the window to close.
        QWidget* frame = parentWidget() ? parentWidget() : this;
        if (frame->inherits("QMdiSubWindow"))
            frame->close();
        else
            QWidget::close();
    });
    row->addStretch(1);
    static_cast<QVBoxLayout*>(layout())->addWidget(bar);
}

void PreviewWindow::setDocument(std::unique_ptr<PreviewDocument> document) {
    document_ = std::move(document);
    view_->setDocument(document_.get());
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
    pageLabel_->setText(
        QStringLiteral("Страница %1 из %2").arg(pageCount() == 0 ? 0 : currentPage() + 1).arg(pageCount()));
}

bool PreviewWindow::searchFrom(int page, int matchIndex) {
    for (int p = page; p < pageCount(); ++p) {
        const QList<QRectF> hits = document_->findText(p, findText_, Qt::CaseInsensitive);
        const int index = p == page ? matchIndex : 0;
        if (index < hits.size()) {
            foundPage_ = p;
            foundIndex_ = index;
            view_->setHighlight(p, {hits[index]});
            // Bring the match into view: its page on top, or further down for a low match.
            const QRect pageRect = view_->pageRect(p);
            const int hitY = pageRect.top() + qRound(hits[index].top() * scale());
            QScrollBar* vertical = scrollArea_->verticalScrollBar();
            const int viewHeight = scrollArea_->viewport()->height();
            if (hitY < vertical->value() || hitY + 20 > vertical->value() + viewHeight) {
                goToPage(p);
                if (hitY + 20 > vertical->value() + viewHeight)
                    vertical->setValue(hitY - viewHeight / 3);
            }
            const int hitX = pageRect.left() + qRound(hits[index].center().x() * scale());
            scrollArea_->horizontalScrollBar()->setValue(
                qMax(0, hitX - scrollArea_->viewport()->width() / 2));
            updatePageLabel();
            return true;
        }
    }
    return false;
}

bool PreviewWindow::find(const QString& text) {
    findText_ = text;
    foundPage_ = -1;
    foundIndex_ = -1;
    view_->setHighlight(-1, {});
    if (text.isEmpty() || !document_)
        return false;
    return searchFrom(currentPage(), 0);
}

bool PreviewWindow::findNext() {
    if (findText_.isEmpty())
        return find(findEdit_->text());
    if (foundPage_ < 0)
        return searchFrom(currentPage(), 0);
    return searchFrom(foundPage_, foundIndex_ + 1);
}

void PreviewWindow::printDocument() {
    if (!document_ || pageCount() == 0)
        return;
    QPrinter printer(QPrinter::HighResolution);
    const QSizeF first = document_->pageSize(0);
    printer.setPageOrientation(first.width() > first.height() ? QPageLayout::Landscape
                                                              : QPageLayout::Portrait);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Печать"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    QPainter painter(&printer);
    int from = printer.fromPage() > 0 ? printer.fromPage() - 1 : 0;
    int to = printer.toPage() > 0 ? printer.toPage() - 1 : pageCount() - 1;
    for (int p = from; p <= to && p < pageCount(); ++p) {
        if (p > from)
            printer.newPage();
        const QRectF target = printer.pageLayout().paintRectPixels(printer.resolution());
        document_->paintPage(p, painter, QRectF(QPointF(0, 0), target.size()));
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
    try {
        document_->save(target);
    } catch (const Error& e) {
        QMessageBox::critical(this, windowTitle(), e.message());
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
    case Qt::Key_F3:
        findNext();
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

void PreviewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (zoom_ != Zoom::Percent) {
        const int page = currentPage();
        updateScale();
        goToPage(page);
    }
}

} // namespace svod::reports
