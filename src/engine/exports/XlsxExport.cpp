#include "engine/Exports.h"

#include <QSaveFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <set>

#include "db/DateValue.h"
#include "db/Error.h"
#include "engine/TextLayout.h"
#include "engine/exports/ExportObjects.h"
#include "engine/exports/ExportRows.h"
#include "engine/exports/XlsxWorkbook.h"

namespace svod::engine {

using namespace exports;

namespace {

using Row = QList<const PreparedObject*>;

constexpr double EdgeTolerance = 2;     // points: edges closer than this are one column boundary
constexpr double SkippedRowHeight = 15; // points: the rows a chart covers

// The sheet's columns: the boundaries of the cells of the report's table rows (rows of two cells or
// more), so each report column is one sheet column and a title spans the columns it covers.
class ColumnGrid {
public:
    void add(const Row& row) {
        auto& target = row.size() > 1 ? table_ : single_;
        for (const auto* o : row) {
            target.insert(std::round(o->rect.left() * 100) / 100);
            target.insert(std::round(o->rect.right() * 100) / 100);
        }
    }
    void finish() {
        for (const double e : table_.empty() ? single_ : table_)
            if (edges_.isEmpty() || e - edges_.last() >= EdgeTolerance)
                edges_ << e;
        if (edges_.size() < 2)
            edges_ = {0, 72};
    }
    bool hasTable() const { return !table_.empty(); }
    // Whether every boundary of a table row is one of the grid's.
    bool covers(const Row& row) const {
        for (const auto* o : row)
            if (!table_.contains(std::round(o->rect.left() * 100) / 100) ||
                !table_.contains(std::round(o->rect.right() * 100) / 100))
                return false;
        return true;
    }
    int count() const { return int(edges_.size() - 1); }
    int columnAt(double left) const { return std::clamp(lastEdgeUpTo(left), 0, count() - 1); }
    int lastColumn(double right, int first) const {
        return std::clamp(lastEdgeUpTo(right) - 1, first, count() - 1);
    }
    // In the file's unit, 7 pixels (a digit of the default font), whole pixels as Excel keeps them.
    QList<double> widths() const {
        QList<double> w;
        for (int c = 0; c < count(); ++c)
            w << std::max(1.0, std::round((edges_[c + 1] - edges_[c]) / PointsPerPixel)) / 7;
        return w;
    }

private:
    int lastEdgeUpTo(double x) const {
        return int(std::upper_bound(edges_.begin(), edges_.end(), x + EdgeTolerance) - edges_.begin()) - 1;
    }
    std::set<double> table_, single_;
    QList<double> edges_;
};

// A value as the shortest decimal, its binary noise gone: sums such as 4290554.199999996 are
// written as the 15 significant digits a double holds for certain.
std::string exactDecimal(double value) {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    double clean = 0;
    std::from_chars(buf, r.ptr, clean);
    return shortestDecimal(clean);
}

// Excel's number format for a display text: "4 290 554,20" -> "#,##0.00".
QString numberFormatOf(const QString& text) {
    const qsizetype comma = std::max(text.lastIndexOf(u','), text.lastIndexOf(u'.'));
    const int decimals = comma < 0 ? 0 : int(text.size() - comma - 1);
    const bool grouped = text.left(comma < 0 ? text.size() : comma).trimmed().contains(u' ');
    QString format = grouped ? QStringLiteral("#,##0") : QStringLiteral("0");
    if (decimals > 0)
        format += u'.' + QString(decimals, u'0');
    return format;
}

QString excelFont(const QString& family) {
    if (family == u"Liberation Sans")
        return QStringLiteral("Arial");
    if (family == u"Liberation Serif")
        return QStringLiteral("Times New Roman");
    return family;
}

// Thrown when a row has a column boundary the grid was not made with.
struct GridChanged {};

class SheetWriter {
public:
    // `checked`: the grid comes from some pages only, and each table row is checked against it.
    SheetWriter(XlsxWorkbook& book, const ColumnGrid& grid, bool checked)
        : book_(book), grid_(grid), checked_(checked) {}

    void begin(const QString& name) {
        book_.beginSheet(name, grid_.widths());
        row_ = 0;
    }
    void end() {
        placeCharts(std::numeric_limits<double>::max());
        book_.endSheet();
    }
    // The charts of the page about to be written, placed between its rows by their tops.
    void page(const PreparedPage& page) {
        placeCharts(std::numeric_limits<double>::max());
        for (const auto& o : page.objects)
            if (o.kind == ObjectKind::Chart)
                charts_ << o;
        std::sort(charts_.begin(), charts_.end(), [](const PreparedObject& a, const PreparedObject& b) {
            return a.rect.top() < b.rect.top();
        });
    }
    void row(const Row& row);

private:
    void placeCharts(double above);
    // Writes the cell, returns its style.
    int cell(const PreparedObject& o, int column);

    XlsxWorkbook& book_;
    const ColumnGrid& grid_;
    bool checked_;
    int row_ = 0;
    QList<PreparedObject> charts_;
};

void SheetWriter::placeCharts(double above) {
    while (!charts_.isEmpty() && charts_.first().rect.top() < above) {
        const PreparedObject chart = charts_.takeFirst();
        book_.picture({row_, grid_.columnAt(chart.rect.left()), chart.rect.size(), chartPng(chart)});
        row_ += int(std::ceil(chart.rect.height() / SkippedRowHeight));
    }
}

void SheetWriter::row(const Row& row) {
    if (checked_ && row.size() > 1 && !grid_.covers(row))
        throw GridChanged();
    double height = 0;
    for (const auto* o : row)
        height = std::max(height, o->rect.height());
    placeCharts(row.first()->rect.top());
    book_.beginRow(row_, height);
    int next = 0; // the first column still free in this row
    for (const auto* o : row) {
        const int first = std::max(next, grid_.columnAt(o->rect.left()));
        if (first >= grid_.count())
            break; // cells beyond the last column (overlapping ones) have no place
        // A cell alone in its row (a title, a total line) spans the table.
        const int last = row.size() == 1 ? grid_.count() - 1 : grid_.lastColumn(o->rect.right(), first);
        const int style = cell(*o, first);
        if (last > first) {
            for (int c = first + 1; c <= last; ++c) // the merged cells keep the frame
                book_.blank(c, style);
            book_.merge(row_, first, last);
        }
        next = last + 1;
    }
    ++row_;
}

int SheetWriter::cell(const PreparedObject& o, int column) {
    QString text = cellText(o);
    text.remove(u'\r');
    XlsxStyle look{excelFont(o.font.family),
                   o.font.sizePt,
                   o.font.bold,
                   o.font.italic,
                   o.font.underline,
                   o.font.color.rgb(),
                   o.fill.isValid() ? (o.fill.rgb() | 0xFF000000) : 0,
                   o.frame.sides,
                   o.alignment,
                   o.wordWrap || text.contains(u'\n'),
                   QString()};
    double number = 0;
    QDate date;
    const bool parsed = parseDisplayNumber(text, number);
    if (o.valueKind == ValueKind::Number ||
        (parsed && text.contains(u',') && (o.alignment & Qt::AlignRight))) {
        if (parsed)
            look.numberFormat = numberFormatOf(text.trimmed());
        const int style = book_.style(look);
        book_.number(column, exactDecimal(o.valueKind == ValueKind::Number ? o.number : number), style);
        return style;
    }
    if (o.valueKind == ValueKind::Date || parseDisplayDate(text, date)) {
        look.numberFormat = QStringLiteral("dd.mm.yyyy");
        const int style = book_.style(look);
        const double serial =
            o.valueKind == ValueKind::Date ? std::floor(o.number) : DateValue::fromDate(date).days();
        book_.number(column, shortestDecimal(serial), style);
        return style;
    }
    const int style = book_.style(look);
    if (text.trimmed().isEmpty())
        book_.blank(column, style);
    else
        book_.text(column, text, style);
    return style;
}

ColumnGrid gridOf(const PreparedPages& pages, const QList<int>& pageIndexes) {
    ColumnGrid grid;
    for (const int p : pageIndexes)
        for (const auto& row : pageRows(pages.page(p)))
            grid.add(row);
    grid.finish();
    return grid;
}

void writeSheets(const PreparedPages& pages, SheetWriter& sheet, const XlsxOptions& options) {
    if (options.sheetPerPage && !pages.isEmpty()) {
        for (int p = 0; p < pages.count(); ++p) {
            const PreparedPage page = pages.page(p);
            sheet.begin(QStringLiteral("Стр. %1").arg(p + 1));
            sheet.page(page);
            for (const auto& row : pageRows(page))
                sheet.row(row);
            sheet.end();
        }
    } else {
        sheet.begin(QStringLiteral("Отчет"));
        forEachDocumentRow(
            pages, [&](const Row& row) { sheet.row(row); },
            [&](const PreparedPage& page) { sheet.page(page); });
        sheet.end();
    }
}

void writeWorkbook(const PreparedPages& pages, const QString& path, const XlsxOptions& options,
                   const ColumnGrid& grid, bool checked) {
    QSaveFile file(path); // left uncommitted, and so removed, when anything throws
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Не удалось создать файл ") + path + QStringLiteral(": ") +
                    file.errorString());
    XlsxWorkbook book(file);
    SheetWriter sheet(book, grid, checked);
    writeSheets(pages, sheet, options);
    book.finish();
    if (!file.commit())
        throw Error(QStringLiteral("Не удалось записать файл ") + path + QStringLiteral(": ") +
                    file.errorString());
}

} // namespace

void exportXlsx(const PreparedPages& pages, const QString& path, const XlsxOptions& options) {
    // A banded report repeats its columns on every page, and the first and last pages show them
    // all: the pages are then decoded once. A row with another column boundary starts the file
    // again with the columns of all pages.
    QList<int> ends{0};
    if (pages.count() > 1)
        ends << pages.count() - 1;
    if (const ColumnGrid guess = gridOf(pages, pages.isEmpty() ? QList<int>() : ends); guess.hasTable()) {
        try {
            writeWorkbook(pages, path, options, guess, true);
            return;
        } catch (const GridChanged&) {
        }
    }
    QList<int> all(pages.count());
    std::iota(all.begin(), all.end(), 0);
    writeWorkbook(pages, path, options, gridOf(pages, all), false);
}

} // namespace svod::engine
