#include "engine/DatasetReport.h"

#include <QBuffer>
#include <QHash>
#include <algorithm>
#include <vector>

#include "db/DateValue.h"
#include "db/Error.h"
#include "engine/Exports.h"
#include "engine/TextLayout.h"

namespace svod::engine {

namespace {

FontSpec arial(double sizePt, bool bold = false, bool italic = false, QColor color = Qt::black) {
    FontSpec f;
    f.sizePt = sizePt;
    f.bold = bold;
    f.italic = italic;
    f.color = color;
    return f;
}

TemplateObject cell(const QRectF& rect, const QString& text, const SectionStyle& style, int alignment) {
    TemplateObject o;
    o.kind = ObjectKind::Text;
    o.rect = rect;
    o.text = text;
    o.font = style.font;
    o.fill = style.background == QColor(Qt::white) ? QColor() : style.background;
    o.frame.sides = style.frame;
    o.frame.width = 1;
    o.alignment = alignment;
    return o;
}

Band makeBand(BandKind kind, const QString& name) {
    Band b;
    b.kind = kind;
    b.name = name;
    return b;
}

// Text widths as the sum of the characters' advances, for ranking many values quickly: without
// kerning that is what shaping gives for alphabetic scripts.
class CharacterAdvances {
public:
    explicit CharacterAdvances(const QFontMetricsF& metrics) : metrics_(metrics) {}
    // -1 when a character needs shaping (marks, other scripts, controls).
    double width(QStringView text) {
        double width = 0;
        for (const QChar c : text) {
            if (c.unicode() >= 0x0590 || c.category() == QChar::Other_Control ||
                c.category() == QChar::Other_Format || c.isMark())
                return -1;
            auto it = advances_.constFind(c.unicode());
            if (it == advances_.cend())
                it = advances_.insert(c.unicode(), metrics_.horizontalAdvance(c));
            width += *it;
        }
        return width;
    }

private:
    const QFontMetricsF& metrics_;
    QHash<char16_t, double> advances_;
};

void keepValue(PreparedObject& o) {
    if (o.kind != ObjectKind::Text || o.fill.isValid() || o.valueKind != ValueKind::Text)
        return;
    double number = 0;
    QDate date;
    if ((o.alignment & Qt::AlignRight) && parseDisplayNumber(o.text, number)) {
        o.valueKind = ValueKind::Number;
        o.number = number;
    } else if (parseDisplayDate(o.text, date)) {
        o.valueKind = ValueKind::Date;
        o.number = DateValue::fromDate(date).days();
    }
}

} // namespace

DatasetReportSettings::DatasetReportSettings() {
    page.landscape = true;
    page.marginLeft = page.marginTop = page.marginRight = page.marginBottom = 0;
    const double px11 = 11 * PointsPerPixel; // 11 pixels
    title = {arial(px11, true), Qt::white, FrameNone, Qt::AlignLeft | Qt::AlignVCenter, true};
    pageHeader = {arial(px11), Qt::white, FrameNone, Qt::AlignLeft | Qt::AlignVCenter, true};
    pageFooter = pageHeader;
    columnHeaderStyle = {arial(7, true, false, Qt::white), QColor(0, 0, 128), FrameAll, Qt::AlignCenter,
                         true};
    body = {arial(px11), Qt::white, FrameAll, Qt::AlignLeft | Qt::AlignVCenter, true};
    footer = {arial(px11, false, true), QColor(192, 192, 192), FrameAll, Qt::AlignLeft | Qt::AlignVCenter,
              false};
}

double DatasetReport::columnWidth(int widthChars) const {
    const double zero = metricsFor(settings_.body.font).horizontalAdvance(u'0');
    return widthChars * zero + 8 * PointsPerPixel;
}

QList<double> DatasetReport::columnWidths(const TableData& table, double available) const {
    // Only the longest values of a column are measured, and at most this many: a refused packet's
    // protocol may hold millions of rows, whose values of one length have much the same width.
    constexpr int MeasuredPerColumn = 1000;
    constexpr int ShapedPerColumn = 8;
    const QFontMetricsF& body = metricsFor(settings_.body.font);
    CharacterAdvances advances(body);
    const QFontMetricsF& header = metricsFor(settings_.columnHeaderStyle.font);
    const double padding = 8 * PointsPerPixel;
    QList<qsizetype> longest(table.columns.size(), 0);
    for (const auto& row : table.rows)
        for (qsizetype i = 0; i < std::min(row.size(), longest.size()); ++i)
            longest[i] = std::max(longest[i], row[i].size());
    QList<double> base;
    QList<double> wanted;
    for (int i = 0; i < table.columns.size(); ++i) {
        const TableColumn& column = table.columns[i];
        double need = 0;
        for (const auto& line : column.title.split(u'|'))
            need = std::max(need, header.horizontalAdvance(line) + padding);
        // Summed advances rank the values; only the widest few are shaped, the dearest part.
        std::vector<std::pair<double, QStringView>> ranked;
        int measured = 0;
        for (const auto& row : table.rows) {
            if (i >= row.size() || row[i].size() < longest[i] - 1)
                continue;
            const QStringView shown = QStringView(row[i]).trimmed();
            const double summed = advances.width(shown);
            if (summed < 0)
                need = std::max(need, body.horizontalAdvance(shown.toString()) + padding);
            else
                ranked.emplace_back(summed, shown);
            if (++measured == MeasuredPerColumn)
                break;
        }
        const auto shaped = ranked.begin() + std::min<qsizetype>(ShapedPerColumn, qsizetype(ranked.size()));
        std::partial_sort(ranked.begin(), shaped, ranked.end(),
                          [](const auto& a, const auto& b) { return a.first > b.first; });
        for (auto it = ranked.begin(); it != shaped; ++it)
            need = std::max(need, body.horizontalAdvance(it->second.toString()) + padding);
        base << columnWidth(column.widthChars);
        wanted << std::max(base.last(), need);
    }
    double baseTotal = 0;
    double wantedTotal = 0;
    for (int i = 0; i < base.size(); ++i) {
        baseTotal += base[i];
        wantedTotal += wanted[i];
    }
    // Widening never pushes the table past the page: the extra is shared out in proportion.
    if (wantedTotal > available && wantedTotal > baseTotal) {
        const double share = std::max(0.0, (available - baseTotal) / (wantedTotal - baseTotal));
        for (int i = 0; i < base.size(); ++i)
            wanted[i] = base[i] + (wanted[i] - base[i]) * share;
    }
    return wanted;
}

void DatasetReport::buildReport(const TableData& table) {
    const auto& s = settings_;
    ReportTemplate t;
    t.page = s.page;
    const double width = t.page.orientedSize().width() - t.page.marginLeft - t.page.marginRight;

    // A page header or footer: one line across the page, when it has a text and is printed.
    const auto addLineBand = [&](BandKind kind, const QString& name, const QString& text,
                                 const SectionStyle& style) {
        if (text.isEmpty() || !style.printed)
            return;
        Band b = makeBand(kind, name);
        b.height = textHeight(1, style.font);
        b.objects << cell(QRectF(0, 0, width, b.height), text, style, style.alignment);
        t.bands << b;
    };
    addLineBand(BandKind::PageHeader, QStringLiteral("PageHeader"), s.pageHeaderText, s.pageHeader);
    if (!table.title.isEmpty() && s.title.printed) {
        Band b = makeBand(BandKind::ReportTitle, QStringLiteral("Title"));
        const double lineH = textHeight(1, s.title.font);
        const QStringList lines = table.title.split(QStringLiteral("\r\n"));
        for (const auto& line : lines) {
            b.objects << cell(QRectF(0, b.height, width, lineH), line, s.title, s.title.alignment);
            b.height += lineH;
        }
        t.bands << b;
    }
    const QList<double> widths = columnWidths(table, width);
    if (s.columnHeader) {
        Band b = makeBand(BandKind::ColumnHeader, QStringLiteral("ColumnHeader"));
        int lines = 1;
        for (const auto& c : table.columns)
            lines = std::max(lines, int(c.title.count(u'|')) + 1);
        b.height = textHeight(lines, s.columnHeaderStyle.font);
        double x = 0;
        for (int i = 0; i < table.columns.size(); ++i) {
            QString title = table.columns[i].title;
            title.replace(u'|', u'\n');
            b.objects << cell(QRectF(x, 0, widths[i], b.height), title, s.columnHeaderStyle,
                              s.columnHeaderStyle.alignment);
            x += widths[i];
        }
        t.bands << b;
    }
    {
        Band b = makeBand(BandKind::MasterData, QStringLiteral("Body"));
        b.dataset = QStringLiteral("DATA");
        b.height = textHeight(1, s.body.font);
        double x = 0;
        for (int i = 0; i < table.columns.size(); ++i) {
            const int align = (table.columns[i].numeric ? Qt::AlignRight : Qt::AlignLeft) |
                              (s.body.alignment & Qt::AlignVertical_Mask);
            b.objects << cell(QRectF(x, 0, widths[i], b.height), QStringLiteral("[C%1]").arg(i + 1), s.body,
                              align);
            x += widths[i];
        }
        t.bands << b;
    }
    addLineBand(BandKind::PageFooter, QStringLiteral("PageFooter"), s.pageFooterText, s.pageFooter);
    if (!s.headerOnEveryPage)
        for (auto& b : t.bands)
            if (b.kind == BandKind::ColumnHeader)
                b.kind = BandKind::ReportTitle;

    RowSet rows;
    for (int i = 0; i < table.columns.size(); ++i)
        rows.fields << QStringLiteral("C%1").arg(i + 1);
    rows.texts = table.rows; // shared: the cells are read in place, trimmed
    report_.clear();
    report_.setTemplate(std::move(t));
    report_.setMemoryDataset(QStringLiteral("DATA"), std::move(rows));
}

const PreparedPages& DatasetReport::prepare(const TableData& table) {
    buildReport(table);
    // Numbers and dates keep their values for the exports.
    report_.setObjectFinisher(keepValue);
    report_.prepareReport();
    return report_.preparedPages();
}

void DatasetReport::showReport(const TableData& table, ReportViewer& viewer) {
    viewer.showPreparedReport(prepare(table));
}

void EMFPagesStorage::addPages(const PreparedPages& pages) {
    streams_ << pages.toBytes();
}

bool EMFPagesStorage::compositeReport(Report& report) const {
    report.clear();
    PreparedPages& target = report.preparedPages();
    target.clear();
    for (const auto& stream : streams_) {
        PreparedPages source;
        source.fromBytes(stream);
        for (int i = 0; i < source.count(); ++i) {
            const PreparedPage page = source.page(i);
            target.add(page);
            const int index = target.count() - 1;
            QList<PreparedObject>& copy = target.objectsToPage(index);
            for (const auto& object : page.objects) {
                auto made = createReportObject(int(object.kind), objectClassName(object.kind));
                assignObject(*made, object);
                copy.append(std::move(*made));
            }
            target.pageToObjects(index);
        }
    }
    return !target.isEmpty();
}

void writeProtocols(const QList<TableData>& protocols, const QString& outPath) {
    EMFPagesStorage storage;
    DatasetReport table;
    for (const auto& protocol : protocols)
        storage.addPages(table.prepare(protocol));
    Report composed;
    storage.compositeReport(composed);
    exportPages(composed.preparedPages(), outPath);
}

} // namespace svod::engine
