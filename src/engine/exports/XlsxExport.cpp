#include "engine/Exports.h"

#include <QFile>
#include <QMap>
#include <xlsxwriter.h>

#include "db/DateValue.h"
#include "db/Error.h"
#include "engine/TextLayout.h"

#include "engine/exports/ExportRows.h"

namespace svod::engine {

using namespace exports;

namespace {

struct XlsxFormatKey {
    bool bold, italic, number, date;
    int decimals, align, frame;
    QRgb color, fill;
    double size;
    bool operator==(const XlsxFormatKey&) const = default;
};

class XlsxFormats {
public:
    explicit XlsxFormats(lxw_workbook* book) : book_(book) {}
    lxw_format* get(const XlsxFormatKey& key) {
        for (auto& [k, f] : formats_)
            if (k == key)
                return f;
        lxw_format* f = workbook_add_format(book_);
        if (key.bold)
            format_set_bold(f);
        if (key.italic)
            format_set_italic(f);
        format_set_font_name(f, "Arial");
        format_set_font_size(f, key.size);
        format_set_font_color(f, key.color & 0xFFFFFF);
        if (key.fill != 0)
            format_set_bg_color(f, key.fill & 0xFFFFFF);
        if (key.frame == FrameAll)
            format_set_border(f, LXW_BORDER_THIN);
        format_set_align(f, key.align & Qt::AlignRight     ? LXW_ALIGN_RIGHT
                            : key.align & Qt::AlignHCenter ? LXW_ALIGN_CENTER
                                                           : LXW_ALIGN_LEFT);
        format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
        if (key.number)
            format_set_num_format(
                f, key.decimals > 0 ? ("0." + std::string(size_t(key.decimals), '0')).c_str() : "0");
        if (key.date)
            format_set_num_format(f, "dd.mm.yyyy");
        formats_.push_back({key, f});
        return f;
    }

private:
    lxw_workbook* book_;
    std::vector<std::pair<XlsxFormatKey, lxw_format*>> formats_;
};

int decimalsOf(const QString& text) {
    const qsizetype comma = text.lastIndexOf(u',');
    return comma < 0 ? 0 : int(text.size() - comma - 1);
}

} // namespace

void exportXlsx(const PreparedPages& pages, const QString& path) {
    // Two passes over the pages, each decoding one page at a time: the columns (the distinct left
    // edges of all cells, and their widths) must be known before the first row is written.
    QMap<int, double> widthAt; // left edge -> widest cell starting there (0: only single cells)
    forEachDocumentRow(pages, [&](const QList<const PreparedObject*>& row) {
        for (const auto* o : row) {
            double& width = widthAt[qRound(o->rect.left())];
            if (row.size() > 1)
                width = std::max(width, o->rect.width());
        }
    });
    const QList<int> edges = widthAt.keys();

    const QByteArray file = QFile::encodeName(path);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(file.constData(), &options);
    if (!book)
        throw Error(QStringLiteral("Не удалось создать файл ") + path);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Отчет");
    XlsxFormats formats(book);
    for (int c = 0; c < edges.size(); ++c) {
        const double width = widthAt.value(edges[c]);
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), width > 0 ? width / 5.25 : 8.43, nullptr);
    }
    lxw_row_t r = 0;
    forEachDocumentRow(pages, [&](const QList<const PreparedObject*>& row) {
        double height = 0;
        for (const auto* o : row)
            height = std::max(height, o->rect.height());
        worksheet_set_row(sheet, r, height, nullptr);
        for (const auto* o : row) {
            const lxw_col_t col = lxw_col_t(
                std::lower_bound(edges.begin(), edges.end(), qRound(o->rect.left())) - edges.begin());
            const QString text = cellText(*o);
            XlsxFormatKey key{o->font.bold,
                              o->font.italic,
                              false,
                              false,
                              0,
                              o->alignment,
                              o->frame.sides,
                              o->font.color.rgb(),
                              o->fill.isValid() ? o->fill.rgb() : 0,
                              o->font.sizePt};
            double number = 0;
            QDate date;
            if (o->valueKind == ValueKind::Number ||
                (text.contains(u',') && (o->alignment & Qt::AlignRight) &&
                 parseDisplayNumber(text, number))) {
                if (o->valueKind == ValueKind::Number)
                    number = o->number;
                key.number = true;
                key.decimals = decimalsOf(text);
                worksheet_write_number(sheet, r, col, number, formats.get(key));
            } else if (o->valueKind == ValueKind::Date || parseDisplayDate(text, date)) {
                if (o->valueKind == ValueKind::Date)
                    date = DateValue(o->number).date();
                key.date = true;
                lxw_datetime dt{date.year(), date.month(), date.day(), 0, 0, 0};
                worksheet_write_datetime(sheet, r, col, &dt, formats.get(key));
            } else if (text.isEmpty()) {
                worksheet_write_blank(sheet, r, col, formats.get(key));
            } else {
                worksheet_write_string(sheet, r, col, text.toUtf8().constData(), formats.get(key));
            }
        }
        ++r;
    });
    if (workbook_close(book) != LXW_NO_ERROR)
        throw Error(QStringLiteral("Не удалось записать файл ") + path);
}

} // namespace svod::engine
