#include "engine/Exports.h"

#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <functional>
#include <xlsxwriter.h>

#include "db/DateValue.h"
#include "db/Error.h"
#include "engine/Painter.h"
#include "engine/TextLayout.h"

namespace svod::engine {

namespace {

void writeText(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Не удалось создать файл ") + path + QStringLiteral(": ") +
                    file.errorString());
    file.write(bytes);
    if (!file.commit())
        throw Error(QStringLiteral("Не удалось записать файл ") + path + QStringLiteral(": ") +
                    file.errorString());
}

bool isTextual(const PreparedObject& o) {
    return o.kind == ObjectKind::Text || o.kind == ObjectKind::RichText || o.kind == ObjectKind::CheckBox;
}

QString cellText(const PreparedObject& o) {
    if (o.kind == ObjectKind::CheckBox)
        return o.checked ? QStringLiteral("X") : QString();
    return o.text;
}

QStringList rowTexts(const QList<const PreparedObject*>& row) {
    QStringList texts;
    for (const auto* o : row)
        texts << cellText(*o);
    return texts;
}

// Rows of the continuous formats, one page decoded at a time: a row repeated at the same place on
// the next page (a column or page header) is handed on once.
using RowVisitor = std::function<void(const QList<const PreparedObject*>& row)>;

void forEachDocumentRow(const PreparedPages& pages, const RowVisitor& visit) {
    QList<QStringList> previous;
    for (int p = 0; p < pages.count(); ++p) {
        const PreparedPage page = pages.page(p);
        const auto rows = pageRows(page);
        QList<QStringList> current;
        for (const auto& row : rows)
            current << rowTexts(row);
        // Leading rows the previous page had too (page and column headers) and trailing ones at the
        // same place (page footers) are written once.
        qsizetype begin = 0, end = rows.size();
        while (begin < end && previous.contains(current[begin]))
            ++begin;
        while (end > begin && !previous.isEmpty() && current.size() - end < previous.size() &&
               current[end - 1] == previous[previous.size() - (current.size() - end) - 1])
            --end;
        for (qsizetype i = begin; i < end; ++i)
            visit(rows[i]);
        previous = current;
    }
}

QString csvField(const QString& value, QChar delimiter) {
    if (value.contains(delimiter) || value.contains(u'"') || value.contains(u'\n') || value.contains(u'\r'))
        return u'"' + QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
    return value;
}

QString htmlColor(const QColor& c) {
    return c.name(QColor::HexRgb);
}

QString rtfEscape(const QString& text) {
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\' || u == u'{' || u == u'}')
            out += u'\\' + QString(c);
        else if (u == u'\n')
            out += QStringLiteral("\\line ");
        else if (u == u'\r')
            continue;
        else if (u < 128)
            out += c;
        else
            out += QStringLiteral("\\u%1?").arg(qint16(u));
    }
    return out;
}

} // namespace

QList<QList<const PreparedObject*>> pageRows(const PreparedPage& page) {
    QList<const PreparedObject*> objects;
    for (const auto& o : page.objects)
        if (isTextual(o))
            objects << &o;
    std::stable_sort(objects.begin(), objects.end(), [](const PreparedObject* a, const PreparedObject* b) {
        const double ta = std::round(a->rect.top() * 2), tb = std::round(b->rect.top() * 2);
        return ta != tb ? ta < tb : a->rect.left() < b->rect.left();
    });
    QList<QList<const PreparedObject*>> rows;
    double top = -1;
    for (const auto* o : objects) {
        const double t = std::round(o->rect.top() * 2);
        if (rows.isEmpty() || t != top)
            rows.append(QList<const PreparedObject*>{});
        top = t;
        rows.last() << o;
    }
    return rows;
}

void exportCsv(const PreparedPages& pages, const QString& path, const CsvOptions& options) {
    QString out;
    forEachDocumentRow(pages, [&](const QList<const PreparedObject*>& row) {
        QStringList cells;
        for (const auto* o : row)
            cells << csvField(cellText(*o), options.delimiter);
        out += cells.join(options.delimiter) + QStringLiteral("\r\n");
    });
    writeText(path, out.toUtf8());
}

void exportHtml(const PreparedPages& pages, const QString& path) {
    QString out = QStringLiteral(
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Отчет</title>\n<style>\n"
        "table.page { border-collapse: collapse; margin-bottom: 24pt; page-break-after: always; }\n"
        "td { padding: 1pt 2pt; vertical-align: middle; white-space: pre-wrap; "
        "}\n</style>\n</head>\n<body>\n");
    for (int p = 0; p < pages.count(); ++p) {
        const PreparedPage page = pages.page(p);
        const auto rows = pageRows(page);
        int maxCells = 1;
        for (const auto& row : rows)
            maxCells = std::max(maxCells, int(row.size()));
        out += QStringLiteral("<table class=\"page\">\n");
        for (const auto& row : rows) {
            out += QStringLiteral("<tr>");
            for (const auto* o : row) {
                QString style = QStringLiteral("width:%1pt;font-family:'%2';font-size:%3pt;")
                                    .arg(o->rect.width(), 0, 'f', 1)
                                    .arg(o->font.family)
                                    .arg(o->font.sizePt, 0, 'f', 1);
                if (o->font.bold)
                    style += QStringLiteral("font-weight:bold;");
                if (o->font.italic)
                    style += QStringLiteral("font-style:italic;");
                if (o->font.color != QColor(Qt::black))
                    style += QStringLiteral("color:%1;").arg(htmlColor(o->font.color));
                if (o->fill.isValid())
                    style += QStringLiteral("background:%1;").arg(htmlColor(o->fill));
                if (o->frame.sides == FrameAll)
                    style += QStringLiteral("border:1px solid %1;").arg(htmlColor(o->frame.color));
                if (o->alignment & Qt::AlignRight)
                    style += QStringLiteral("text-align:right;");
                else if (o->alignment & Qt::AlignHCenter)
                    style += QStringLiteral("text-align:center;");
                const QString span = (row.size() == 1 && maxCells > 1)
                                         ? QStringLiteral(" colspan=\"%1\"").arg(maxCells)
                                         : QString();
                const QString text =
                    o->kind == ObjectKind::RichText
                        ? o->text
                        : cellText(*o).toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
                out += QStringLiteral("<td%1 style=\"%2\">%3</td>").arg(span, style, text);
            }
            out += QStringLiteral("</tr>\n");
        }
        out += QStringLiteral("</table>\n");
    }
    out += QStringLiteral("</body>\n</html>\n");
    writeText(path, out.toUtf8());
}

void exportRtf(const PreparedPages& pages, const QString& path, const RtfOptions& options) {
    // Twips, scaled: RTF readers lay text wider than we do, so columns get room.
    auto tx = [&](double pt) { return qRound(pt * 20 * options.scaleX); };
    auto ty = [&](double pt) { return qRound(pt * 20 * options.scaleY); };
    QList<QColor> colors{Qt::black};
    auto colorIndex = [&](const QColor& c) {
        const QColor rgb = c.toRgb();
        qsizetype i = colors.indexOf(rgb);
        if (i < 0) {
            colors << rgb;
            i = colors.size() - 1;
        }
        return int(i) + 1;
    };
    QString body;
    for (int p = 0; p < pages.count(); ++p) {
        const PreparedPage page = pages.page(p);
        if (p > 0)
            body += QStringLiteral("\\page\n");
        const QSizeF size = page.orientedSize();
        body += QStringLiteral("\\pgwsxn%1\\pghsxn%2%3\\margl0\\margr0\\margt0\\margb0\n")
                    .arg(tx(size.width()))
                    .arg(ty(size.height()))
                    .arg(page.landscape ? QStringLiteral("\\lndscpsxn") : QString());
        for (const auto& row : pageRows(page)) {
            double height = 0;
            for (const auto* o : row)
                height = std::max(height, o->rect.height());
            QString defs = QStringLiteral("\\trowd\\trgaph0\\trrh%1").arg(ty(height));
            QString cells;
            double edge = 0;
            for (const auto* o : row) {
                if (o->rect.left() > edge + 0.5) { // a gap: an empty cell
                    defs += QStringLiteral("\\cellx%1").arg(tx(o->rect.left()));
                    cells += QStringLiteral("\\pard\\intbl\\cell");
                }
                if (o->frame.sides & FrameTop)
                    defs += QStringLiteral("\\clbrdrt\\brdrs\\brdrw10");
                if (o->frame.sides & FrameLeft)
                    defs += QStringLiteral("\\clbrdrl\\brdrs\\brdrw10");
                if (o->frame.sides & FrameBottom)
                    defs += QStringLiteral("\\clbrdrb\\brdrs\\brdrw10");
                if (o->frame.sides & FrameRight)
                    defs += QStringLiteral("\\clbrdrr\\brdrs\\brdrw10");
                if (o->fill.isValid())
                    defs += QStringLiteral("\\clcbpat%1").arg(colorIndex(o->fill));
                defs += QStringLiteral("\\clvertalc\\cellx%1").arg(tx(o->rect.right()));
                edge = o->rect.right();
                const QString align = (o->alignment & Qt::AlignRight)     ? QStringLiteral("\\qr")
                                      : (o->alignment & Qt::AlignHCenter) ? QStringLiteral("\\qc")
                                                                          : QStringLiteral("\\ql");
                QString fmt = QStringLiteral("\\f0\\fs%1\\cf%2")
                                  .arg(qRound(o->font.sizePt * 2))
                                  .arg(colorIndex(o->font.color));
                if (o->font.bold)
                    fmt += QStringLiteral("\\b");
                if (o->font.italic)
                    fmt += QStringLiteral("\\i");
                QString text = o->kind == ObjectKind::RichText ? o->text : cellText(*o);
                cells += QStringLiteral("\\pard\\intbl%1{%2 %3}\\cell").arg(align, fmt, rtfEscape(text));
            }
            body += defs + u'\n' + cells + QStringLiteral("\\row\n");
        }
    }
    QString out = QStringLiteral(
        "{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1\n{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}}\n"
        "{\\colortbl;");
    for (const auto& c : colors)
        out += QStringLiteral("\\red%1\\green%2\\blue%3;").arg(c.red()).arg(c.green()).arg(c.blue());
    out += QStringLiteral("}\n") + body + QStringLiteral("}\n");
    writeText(path, out.toLatin1());
}

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

bool isExportPath(const QString& path) {
    static const QStringList known = {QStringLiteral("pdf"),  QStringLiteral("frp"), QStringLiteral("csv"),
                                      QStringLiteral("html"), QStringLiteral("htm"), QStringLiteral("rtf"),
                                      QStringLiteral("xlsx")};
    return known.contains(QFileInfo(path).suffix().toLower());
}

void exportPages(const PreparedPages& pages, const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == u"pdf")
        writePdf(pages, path);
    else if (ext == u"frp")
        pages.saveToFile(path);
    else if (ext == u"csv")
        exportCsv(pages, path);
    else if (ext == u"html" || ext == u"htm")
        exportHtml(pages, path);
    else if (ext == u"rtf")
        exportRtf(pages, path);
    else if (ext == u"xlsx")
        exportXlsx(pages, path);
    else
        throw Error(QStringLiteral("Неизвестный формат файла отчета: ") + path +
                    QStringLiteral(" (ожидается .pdf, .xlsx, .rtf, .html, .csv или .frp)"));
}

} // namespace svod::engine
