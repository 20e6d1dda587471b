#include "reports/PreviewThumbnails.h"

#include <QAbstractListModel>
#include <QHash>
#include <QPainter>
#include <QPixmap>

#include "reports/PreviewDocument.h"

namespace svod::reports {

namespace {
constexpr int ThumbnailWidth = 110;
}

class ThumbnailModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void setDocument(const PreviewDocument* document) {
        beginResetModel();
        document_ = document;
        pictures_.clear();
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() || !document_ ? 0 : document_->pageCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!document_ || !index.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return QString::number(index.row() + 1);
        if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
            return QStringLiteral("Страница %1").arg(index.row() + 1);
        if (role == Qt::DecorationRole)
            return picture(index.row());
        return {};
    }

private:
    QPixmap picture(int page) const {
        const auto cached = pictures_.constFind(page);
        if (cached != pictures_.constEnd())
            return *cached;
        const QSizeF size = document_->pageSize(page);
        const double scale = ThumbnailWidth / qMax(1.0, size.width());
        QPixmap pixmap(ThumbnailWidth, qMax(1, qRound(size.height() * scale)));
        pixmap.fill(Qt::white);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        document_->paintPage(page, painter, QRectF(QPointF(0, 0), size * scale));
        painter.setPen(Qt::gray);
        painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
        painter.end();
        pictures_.insert(page, pixmap);
        return pixmap;
    }

    const PreviewDocument* document_ = nullptr;
    mutable QHash<int, QPixmap> pictures_;
};

PreviewThumbnails::PreviewThumbnails(QWidget* parent) : QListView(parent), model_(new ThumbnailModel(this)) {
    setObjectName(QStringLiteral("ThumbnailsPanel"));
    setAccessibleName(QStringLiteral("Миниатюры страниц"));
    setModel(model_);
    setViewMode(QListView::IconMode);
    setFlow(QListView::TopToBottom);
    setWrapping(false);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setIconSize(QSize(ThumbnailWidth, ThumbnailWidth * 3 / 2));
    setUniformItemSizes(true);
    setSpacing(6);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFixedWidth(ThumbnailWidth + 40);
    connect(this, &QListView::clicked, this,
            [this](const QModelIndex& index) { Q_EMIT pageChosen(index.row()); });
    connect(this, &QListView::activated, this,
            [this](const QModelIndex& index) { Q_EMIT pageChosen(index.row()); });
}

PreviewThumbnails::~PreviewThumbnails() = default;

void PreviewThumbnails::setDocument(const PreviewDocument* document) {
    model_->setDocument(document);
}

void PreviewThumbnails::setCurrentPage(int page) {
    const QModelIndex index = model_->index(page, 0);
    if (!index.isValid() || index == currentIndex())
        return;
    const QSignalBlocker quiet(this);
    setCurrentIndex(index);
    scrollTo(index);
}

} // namespace svod::reports
