#include "reports/ProtocolDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QTextStream>

#include "db/Error.h"

namespace svod::reports {

namespace {
// A4 landscape in points, no margins.
constexpr double PageWidth = 842;
constexpr double PageHeight = 595;
constexpr double RowHeight = 13;
constexpr double Margin = 4;

struct Cell {
    QRectF rect;
    QString text;
    int kind; // 0 title, 1 header, 2 body
    bool right;
};

// Lays the protocols out as pages of cells: the title on the first page of each protocol, the
// column header on every page.
class ProtocolDocument final : public PreviewDocument {
public:
    explicit ProtocolDocument(QList<engine::TableData> protocols) : protocols_(std::move(protocols)) {
        layout();
    }

    int pageCount() const override { return static_cast<int>(pages_.size()); }
    QSizeF pageSize(int) const override { return {PageWidth, PageHeight}; }

    void paintPage(int page, QPainter& painter, const QRectF& target) const override {
        painter.save();
        painter.translate(target.topLeft());
        painter.scale(target.width() / PageWidth, target.height() / PageHeight);
        for (const Cell& cell : pages_[page]) {
            QFont font = bodyFont();
            if (cell.kind == 0)
                font.setBold(true);
            if (cell.kind == 1) {
                font.setBold(true);
                font.setPointSizeF(7);
                painter.fillRect(cell.rect, QColor(0, 0, 128));
            }
            painter.setFont(font);
            painter.setPen(cell.kind == 1 ? Qt::white : Qt::black);
            if (cell.kind != 0)
                painter.drawText(cell.rect.adjusted(2, 0, -2, 0),
                                 Qt::AlignVCenter | (cell.right ? Qt::AlignRight : Qt::AlignLeft), cell.text);
            else
                painter.drawText(cell.rect, Qt::AlignVCenter | Qt::AlignLeft, cell.text);
            if (cell.kind != 0) {
                painter.setPen(QPen(Qt::black, 0.5));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(cell.rect);
            }
        }
        painter.restore();
    }

    QList<QRectF> findText(int page, const QString& text, Qt::CaseSensitivity cs) const override {
        QList<QRectF> hits;
        for (const Cell& cell : pages_[page])
            if (cell.text.contains(text, cs))
                hits << cell.rect;
        return hits;
    }

    QStringList saveFilters() const override {
        return {QStringLiteral("Документ PDF (*.pdf)"), QStringLiteral("Файл CSV (*.csv)")};
    }

    void save(const QString& path) const override {
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("csv")) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly))
                throw Error(QStringLiteral("Не удалось записать файл ") + path);
            QTextStream out(&file);
            for (const engine::TableData& p : protocols_) {
                out << QString(p.title).replace(QLatin1String("\r\n"), QLatin1String("\n")) << '\n';
                QStringList titles;
                for (const auto& c : p.columns)
                    titles << c.title;
                out << titles.join(u';') << '\n';
                for (const QStringList& row : p.rows)
                    out << row.join(u';') << '\n';
            }
            return;
        }
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        if (!painter.isActive())
            throw Error(QStringLiteral("Не удалось записать файл ") + path);
        const QRectF target(0, 0, writer.width(), writer.height());
        for (int i = 0; i < pageCount(); ++i) {
            if (i > 0)
                writer.newPage();
            paintPage(i, painter, target);
        }
    }

private:
    static QFont bodyFont() {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPointSizeF(8);
        return font;
    }

    void layout() {
        const QFontMetricsF metrics(bodyFont());
        const double zero = metrics.horizontalAdvance(u'0') * 72.0 / 96.0;
        for (const engine::TableData& protocol : protocols_) {
            QList<double> widths;
            for (const auto& c : protocol.columns)
                widths << c.widthChars * zero + 6;
            QList<Cell> page;
            double y = Margin;
            for (const QString& line : protocol.title.split(QStringLiteral("\r\n"))) {
                page << Cell{QRectF(Margin, y, PageWidth - 2 * Margin, RowHeight), line, 0, false};
                y += RowHeight;
            }
            auto header = [&] {
                double x = Margin;
                for (int i = 0; i < protocol.columns.size(); ++i) {
                    page << Cell{QRectF(x, y, widths[i], RowHeight), protocol.columns[i].title, 1, false};
                    x += widths[i];
                }
                y += RowHeight;
            };
            header();
            for (const QStringList& row : protocol.rows) {
                if (y + RowHeight > PageHeight - Margin) {
                    pages_ << page;
                    page.clear();
                    y = Margin;
                    header();
                }
                double x = Margin;
                for (int i = 0; i < protocol.columns.size(); ++i) {
                    page << Cell{QRectF(x, y, widths[i], RowHeight), row.value(i), 2,
                                 protocol.columns[i].numeric};
                    x += widths[i];
                }
                y += RowHeight;
            }
            pages_ << page;
        }
    }

    QList<engine::TableData> protocols_;
    QList<QList<Cell>> pages_;
};
} // namespace

std::unique_ptr<PreviewDocument> makeProtocolDocument(const QList<engine::TableData>& protocols) {
    return std::make_unique<ProtocolDocument>(protocols);
}

} // namespace svod::reports
