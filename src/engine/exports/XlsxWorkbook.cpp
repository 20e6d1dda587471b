#include "engine/exports/XlsxWorkbook.h"

#include <QIODevice>
#include <charconv>

#include "engine/Model.h"
#include "engine/exports/ZipWriter.h"

namespace svod::engine::exports {

namespace {

constexpr size_t FlushAt = 1 << 18;
constexpr const char* XmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* MainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* RelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* PackageRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr double EmuPerPoint = 12700;

void appendNumber(std::string& out, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendInt(std::string& out, long long v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// UTF-8 with the five XML escapes; characters XML cannot carry (controls but tab and line feed)
// are dropped.
void appendEscaped(std::string& out, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n')
                out += c;
        }
    }
}

std::string escaped(const QString& text) {
    std::string out;
    appendEscaped(out, text);
    return out;
}

std::string argb(QRgb c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "FF%06X", unsigned(c & 0xFFFFFF));
    return buf;
}

std::string fontXml(const XlsxStyle& s) {
    std::string f = "<font>";
    if (s.bold)
        f += "<b/>";
    if (s.italic)
        f += "<i/>";
    if (s.underline)
        f += "<u/>";
    f += "<sz val=\"";
    appendNumber(f, s.fontSize);
    f += "\"/><color rgb=\"" + argb(s.color) + "\"/><name val=\"" + escaped(s.fontName) + "\"/></font>";
    return f;
}

std::string fillXml(QRgb fill) {
    if (fill == 0)
        return "<fill><patternFill patternType=\"none\"/></fill>";
    return "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"" + argb(fill) +
           "\"/><bgColor indexed=\"64\"/></patternFill></fill>";
}

std::string borderXml(int sides) {
    auto side = [&](const char* name, int bit) {
        return sides & bit ? std::string("<") + name + " style=\"thin\"><color auto=\"1\"/></" + name + ">"
                           : std::string("<") + name + "/>";
    };
    return "<border>" + side("left", FrameLeft) + side("right", FrameRight) + side("top", FrameTop) +
           side("bottom", FrameBottom) + "<diagonal/></border>";
}

std::string alignmentXml(const XlsxStyle& s) {
    std::string a = "<alignment horizontal=\"";
    a += s.align & Qt::AlignRight ? "right" : s.align & Qt::AlignHCenter ? "center" : "left";
    a += "\" vertical=\"";
    a += s.align & Qt::AlignBottom ? "bottom" : s.align & Qt::AlignVCenter ? "center" : "top";
    a += s.wrap ? "\" wrapText=\"1\"/>" : "\"/>";
    return a;
}

// Index of `item` in `list`, appended when new.
template <typename T> int indexIn(QList<T>& list, const T& item) {
    qsizetype i = list.indexOf(item);
    if (i < 0) {
        list << item;
        i = list.size() - 1;
    }
    return int(i);
}

std::string xmlPart(const std::string& body) {
    return XmlHead + body;
}

} // namespace

std::string columnName(int column) {
    std::string name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.insert(name.begin(), char('A' + (c - 1) % 26));
    return name;
}

std::string shortestDecimal(double value) {
    std::string s;
    appendNumber(s, value == 0 ? 0.0 : value); // no "-0"
    return s;
}

XlsxWorkbook::XlsxWorkbook(QIODevice& device) : zip_(std::make_unique<ZipWriter>(device)) {
    XlsxStyle plain; // the default look of empty cells
    plain.fontName = QStringLiteral("Arial");
    styles_ << plain;
}

XlsxWorkbook::~XlsxWorkbook() = default;

int XlsxWorkbook::style(const XlsxStyle& style) {
    for (qsizetype i = styles_.size() - 1; i >= 0; --i)
        if (styles_[i] == style)
            return int(i);
    styles_ << style;
    return int(styles_.size() - 1);
}

void XlsxWorkbook::beginSheet(const QString& name, const QList<double>& columnWidths) {
    sheetNames_ << name;
    zip_->beginEntry("xl/worksheets/sheet" + QByteArray::number(sheetNames_.size()) + ".xml");
    buffer_ = XmlHead;
    buffer_ += std::string("<worksheet xmlns=\"") + MainNs + "\" xmlns:r=\"" + RelNs + "\">";
    if (!columnWidths.isEmpty()) {
        buffer_ += "<cols>";
        for (int c = 0; c < columnWidths.size(); ++c) {
            buffer_ += "<col min=\"";
            appendInt(buffer_, c + 1);
            buffer_ += "\" max=\"";
            appendInt(buffer_, c + 1);
            buffer_ += "\" width=\"";
            appendNumber(buffer_, columnWidths[c]);
            buffer_ += "\" customWidth=\"1\"/>";
        }
        buffer_ += "</cols>";
    }
    buffer_ += "<sheetData>";
}

void XlsxWorkbook::beginRow(int row, double heightPt) {
    if (rowOpen_)
        buffer_ += "</row>";
    flushIfFull();
    rowName_.clear();
    appendInt(rowName_, row + 1);
    buffer_ += "<row r=\"" + rowName_ + "\" ht=\"";
    appendNumber(buffer_, heightPt);
    buffer_ += "\" customHeight=\"1\">";
    rowOpen_ = true;
}

void XlsxWorkbook::cellStart(int column, int style, const char* type) {
    while (columnNames_.size() <= size_t(column))
        columnNames_.push_back(columnName(int(columnNames_.size())));
    buffer_ += "<c r=\"";
    buffer_ += columnNames_[size_t(column)];
    buffer_ += rowName_;
    buffer_ += "\" s=\"";
    appendInt(buffer_, style);
    buffer_ += type;
}

void XlsxWorkbook::number(int column, std::string_view decimal, int style) {
    cellStart(column, style, "\"><v>");
    buffer_ += decimal;
    buffer_ += "</v></c>";
}

void XlsxWorkbook::text(int column, const QString& text, int style) {
    const bool spaced = !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
    cellStart(column, style,
              spaced ? "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" : "\" t=\"inlineStr\"><is><t>");
    appendEscaped(buffer_, text);
    buffer_ += "</t></is></c>";
}

void XlsxWorkbook::blank(int column, int style) {
    cellStart(column, style, "\"/>");
}

void XlsxWorkbook::merge(int row, int firstColumn, int lastColumn) {
    merges_.append({row, {firstColumn, lastColumn}});
}

void XlsxWorkbook::picture(const XlsxPicture& picture) {
    pictures_ << picture;
}

void XlsxWorkbook::flushIfFull() {
    if (buffer_.size() >= FlushAt) {
        zip_->write(buffer_);
        buffer_.clear();
    }
}

void XlsxWorkbook::endSheet() {
    if (rowOpen_)
        buffer_ += "</row>";
    rowOpen_ = false;
    buffer_ += "</sheetData>";
    if (!merges_.isEmpty()) {
        buffer_ += "<mergeCells count=\"";
        appendInt(buffer_, merges_.size());
        buffer_ += "\">";
        for (const auto& [row, columns] : merges_) {
            const std::string r = std::to_string(row + 1);
            buffer_ += "<mergeCell ref=\"" + columnName(columns.first) + r + ":" +
                       columnName(columns.second) + r + "\"/>";
        }
        buffer_ += "</mergeCells>";
    }
    buffer_ += "<pageMargins left=\"0.5\" right=\"0.5\" top=\"0.5\" bottom=\"0.5\" header=\"0.3\" "
               "footer=\"0.3\"/>";
    if (!pictures_.isEmpty())
        buffer_ += "<drawing r:id=\"rId1\"/>";
    buffer_ += "</worksheet>";
    zip_->write(buffer_);
    buffer_.clear();
    zip_->endEntry();
    merges_.clear();
    if (!pictures_.isEmpty())
        writeDrawing(int(sheetNames_.size()));
    pictures_.clear();
}

void XlsxWorkbook::writeDrawing(int sheet) {
    const QByteArray n = QByteArray::number(sheet);
    zip_->addEntry("xl/worksheets/_rels/sheet" + n + ".xml.rels",
                   xmlPart(std::string("<Relationships xmlns=\"") + PackageRelNs +
                           "\"><Relationship Id=\"rId1\" Type=\"" + RelNs +
                           "/drawing\" Target=\"../drawings/drawing" + n.toStdString() +
                           ".xml\"/></Relationships>"));
    std::string drawing =
        std::string("<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/"
                    "spreadsheetDrawing\" xmlns:a=\"http://schemas.openxmlformats.org/"
                    "drawingml/2006/main\" xmlns:r=\"") +
        RelNs + "\">";
    std::string rels = std::string("<Relationships xmlns=\"") + PackageRelNs + "\">";
    for (int i = 0; i < pictures_.size(); ++i) {
        const XlsxPicture& p = pictures_[i];
        const std::string id = "rId" + std::to_string(i + 1);
        const std::string media = "image" + std::to_string(++pictureCount_) + ".png";
        zip_->addEntry(QByteArray("xl/media/") + media.c_str(),
                       std::string_view(p.png.constData(), size_t(p.png.size())));
        rels += "<Relationship Id=\"" + id + "\" Type=\"" + RelNs + "/image\" Target=\"../media/" + media +
                "\"/>";
        const std::string cx = std::to_string(qRound64(p.sizePt.width() * EmuPerPoint));
        const std::string cy = std::to_string(qRound64(p.sizePt.height() * EmuPerPoint));
        drawing += "<xdr:oneCellAnchor><xdr:from><xdr:col>" + std::to_string(p.column) +
                   "</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>" + std::to_string(p.row) +
                   "</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:ext cx=\"" + cx + "\" cy=\"" + cy +
                   "\"/><xdr:pic><xdr:nvPicPr><xdr:cNvPr id=\"" + std::to_string(i + 2) +
                   "\" name=\"Диаграмма " + std::to_string(i + 1) +
                   "\"/><xdr:cNvPicPr><a:picLocks noChangeAspect=\"1\"/></xdr:cNvPicPr></xdr:nvPicPr>"
                   "<xdr:blipFill><a:blip r:embed=\"" +
                   id +
                   "\"/><a:stretch><a:fillRect/></a:stretch></xdr:blipFill><xdr:spPr><a:xfrm><a:off x=\"0\" "
                   "y=\"0\"/><a:ext cx=\"" +
                   cx + "\" cy=\"" + cy +
                   "\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></xdr:spPr></xdr:pic>"
                   "<xdr:clientData/></xdr:oneCellAnchor>";
    }
    zip_->addEntry("xl/drawings/drawing" + n + ".xml", xmlPart(drawing + "</xdr:wsDr>"));
    zip_->addEntry("xl/drawings/_rels/drawing" + n + ".xml.rels", xmlPart(rels + "</Relationships>"));
    sheetsWithDrawings_ << sheet;
}

std::string XlsxWorkbook::stylesXml() const {
    QList<std::string> fonts, fills{fillXml(0), "<fill><patternFill patternType=\"gray125\"/></fill>"},
        borders;
    QList<QString> formats;
    std::string xfs;
    for (const XlsxStyle& s : styles_) {
        const int font = indexIn(fonts, fontXml(s));
        const int fill = s.fill == 0 ? 0 : indexIn(fills, fillXml(s.fill));
        const int border = indexIn(borders, borderXml(s.borders));
        const int format = s.numberFormat.isEmpty() ? 0 : 164 + indexIn(formats, s.numberFormat);
        xfs += "<xf numFmtId=\"" + std::to_string(format) + "\" fontId=\"" + std::to_string(font) +
               "\" fillId=\"" + std::to_string(fill) + "\" borderId=\"" + std::to_string(border) +
               "\" xfId=\"0\" applyNumberFormat=\"1\" applyFont=\"1\" applyFill=\"1\" applyBorder=\"1\" "
               "applyAlignment=\"1\">" +
               alignmentXml(s) + "</xf>";
    }
    std::string out = std::string("<styleSheet xmlns=\"") + MainNs + "\">";
    if (!formats.isEmpty()) {
        out += "<numFmts count=\"" + std::to_string(formats.size()) + "\">";
        for (int i = 0; i < formats.size(); ++i)
            out += "<numFmt numFmtId=\"" + std::to_string(164 + i) + "\" formatCode=\"" +
                   escaped(formats[i]) + "\"/>";
        out += "</numFmts>";
    }
    auto list = [](const char* name, const QList<std::string>& items) {
        std::string l = std::string("<") + name + " count=\"" + std::to_string(items.size()) + "\">";
        for (const auto& i : items)
            l += i;
        return l + "</" + name + ">";
    };
    out += list("fonts", fonts) + list("fills", fills) + list("borders", borders);
    out += "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
           "borderId=\"0\"/></cellStyleXfs>";
    out += "<cellXfs count=\"" + std::to_string(styles_.size()) + "\">" + xfs + "</cellXfs>";
    out += "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>";
    return xmlPart(out + "</styleSheet>");
}

void XlsxWorkbook::finish() {
    zip_->addEntry("xl/styles.xml", stylesXml());
    std::string sheets, workbookRels = std::string("<Relationships xmlns=\"") + PackageRelNs + "\">";
    std::string types =
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/"
        "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
        "ContentType=\"application/xml\"/><Default Extension=\"png\" ContentType=\"image/png\"/>"
        "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/><Override "
        "PartName=\"/xl/styles.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
    for (int i = 0; i < sheetNames_.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        sheets +=
            "<sheet name=\"" + escaped(sheetNames_[i]) + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        workbookRels += "<Relationship Id=\"rId" + n + "\" Type=\"" + RelNs +
                        "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        types +=
            "<Override PartName=\"/xl/worksheets/sheet" + n +
            ".xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    }
    for (const int s : sheetsWithDrawings_)
        types += "<Override PartName=\"/xl/drawings/drawing" + std::to_string(s) +
                 ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.drawing+xml\"/>";
    workbookRels += "<Relationship Id=\"rId" + std::to_string(sheetNames_.size() + 1) + "\" Type=\"" + RelNs +
                    "/styles\" Target=\"styles.xml\"/></Relationships>";
    zip_->addEntry("xl/workbook.xml", xmlPart(std::string("<workbook xmlns=\"") + MainNs + "\" xmlns:r=\"" +
                                              RelNs + "\"><sheets>" + sheets + "</sheets></workbook>"));
    zip_->addEntry("xl/_rels/workbook.xml.rels", xmlPart(workbookRels));
    zip_->addEntry("_rels/.rels", xmlPart(std::string("<Relationships xmlns=\"") + PackageRelNs +
                                          "\"><Relationship Id=\"rId1\" Type=\"" + RelNs +
                                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"));
    zip_->addEntry("[Content_Types].xml", xmlPart(types + "</Types>"));
    zip_->finish();
}

} // namespace svod::engine::exports
