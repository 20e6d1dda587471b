#include "engine/PdfWriter.h"

#include <QImage>
#include <QPainterPath>
#include <QRawFont>
#include <QtEndian>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "db/Error.h"
#include "engine/Chart.h"
#include "engine/FontSubset.h"
#include "engine/PdfFile.h"
#include "engine/TextLayout.h"

namespace svod::engine {

namespace {

using truetype::be16;

// Thrown inside the writer when the pages need the painter; never leaves this file.
struct NeedsPainter {};

// The fraction of a number in thousandths as written: ".5" for 500, ".125" for 125, "" for 0.
struct Fraction {
    char text[4];
    int length;
};
constexpr std::array<Fraction, 1000> fractions() {
    std::array<Fraction, 1000> table{};
    for (int f = 1; f < 1000; ++f) {
        table[size_t(f)] = {{'.', char('0' + f / 100), char('0' + f / 10 % 10), char('0' + f % 10)},
                            f % 10    ? 4
                            : f % 100 ? 3
                                      : 2};
    }
    return table;
}
constexpr std::array<Fraction, 1000> Fractions = fractions();

// Thousandths of a point are finer than any printer. Writes at most 13 characters at `p`: a page
// writes thousands of numbers.
char* formatNumber(char* p, double v) {
    const qint64 m = qRound64(std::clamp(v, -1e7, 1e7) * 1000);
    if (m == 0) { // no "-0"
        *p = '0';
        return p + 1;
    }
    if (m < 0)
        *p++ = '-';
    const quint64 u = quint64(m < 0 ? -m : m);
    p = std::to_chars(p, p + 12, u / 1000).ptr;
    const Fraction& f = Fractions[size_t(u % 1000)];
    std::memcpy(p, f.text, 4);
    return p + f.length;
}

// `Out` is a QByteArray (dictionaries) or a Content (page and chart drawings).
template <class Out> void appendNumber(Out& out, double v) {
    char buf[16];
    out.append(buf, formatNumber(buf, v) - buf);
}

// A glyph's two bytes in a literal string: delimiters and line ends escaped, since a reader turns
// a bare CR into LF.
qsizetype appendGlyphCode(char* out, qsizetype n, int glyph) {
    for (const char c : {char(glyph >> 8), char(glyph & 0xff)}) {
        switch (c) {
        case '(':
        case ')':
        case '\\':
            out[n++] = '\\';
            out[n++] = c;
            break;
        case '\r':
            out[n++] = '\\';
            out[n++] = 'r';
            break;
        case '\n':
            out[n++] = '\\';
            out[n++] = 'n';
            break;
        default:
            out[n++] = c;
        }
    }
    return n;
}

template <class Out> void appendInt(Out& out, qint64 v) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr - buf);
}

// One TrueType face: its glyphs and advances, and the glyphs a document used, embedded as a subset.
class EmbeddedFont {
public:
    EmbeddedFont(const FontSpec& style, int index) : index_(index) {
        const QFont font = qfontFor(style, 72);
        raw_ = QRawFont::fromFont(font);
        if (!raw_.isValid())
            throw NeedsPainter{};
        // A face Qt would embolden or slant itself is left to the painter.
        if ((style.bold && raw_.weight() < QFont::DemiBold) ||
            (style.italic && raw_.style() == QFont::StyleNormal))
            throw NeedsPainter{};
        for (const char* tag : {"head", "hhea", "maxp", "hmtx", "loca", "glyf", "cvt ", "fpgm", "prep"})
            tables_[tag] = raw_.fontTable(tag);
        const QByteArray& head = tables_["head"];
        const QByteArray& hhea = tables_["hhea"];
        unitsPerEm_ = be16(head, 18);
        glyphCount_ = be16(tables_["maxp"], 4);
        longLoca_ = be16(head, 50) != 0;
        const int metrics = be16(hhea, 34);
        if (head.size() < 54 || hhea.size() < 36 || unitsPerEm_ == 0 || glyphCount_ == 0 || metrics == 0 ||
            tables_["glyf"].isEmpty() || tables_["loca"].size() < (glyphCount_ + 1) * (longLoca_ ? 4 : 2) ||
            tables_["hmtx"].size() < metrics * 4)
            throw NeedsPainter{}; // no TrueType outlines (CFF) or a damaged face
        advances_.resize(glyphCount_);
        for (int g = 0; g < glyphCount_; ++g)
            advances_[g] = be16(tables_["hmtx"], qsizetype(std::min(g, metrics - 1)) * 4);
        ascent_ = qint16(be16(hhea, 4));
        descent_ = qint16(be16(hhea, 6));
        const QByteArray post = raw_.fontTable("post");
        if (post.size() >= 12 && be16(post, 10) > 0) { // below the baseline, in em
            underlinePosition_ = -qint16(be16(post, 8)) / double(unitsPerEm_);
            underlineThickness_ = be16(post, 10) / double(unitsPerEm_);
        }
        seen_.assign(size_t(glyphCount_), 0);
    }

    int index() const { return index_; }
    int objectNumber = 0;

    // The glyph of a character, or -1 when Qt has to shape or substitute it.
    int glyph(char16_t c) {
        auto& block = glyphBlocks_[c >> 8];
        if (!block) {
            block = std::make_unique<qint32[]>(256);
            std::fill_n(block.get(), 256, -1);
        }
        qint32& g = block[c & 0xff];
        if (g == -1) {
            const QChar ch(c);
            const auto category = ch.category();
            const auto direction = ch.direction();
            quint32 index = 0;
            int count = 1;
            if (ch.isSurrogate() || category == QChar::Mark_NonSpacing ||
                category == QChar::Mark_SpacingCombining || category == QChar::Mark_Enclosing ||
                category == QChar::Other_Control || category == QChar::Other_Format ||
                direction == QChar::DirR || direction == QChar::DirAL ||
                !raw_.glyphIndexesForChars(&ch, 1, &index, &count) || count != 1 || index == 0 ||
                int(index) >= glyphCount_)
                g = -2;
            else
                g = qint32(index);
        }
        return g < 0 ? -1 : g;
    }
    // Advance in 1/1000 em, as the PDF widths say.
    double advance(int glyph) const { return advances_[glyph] * 1000.0 / unitsPerEm_; }
    void use(int glyph, char16_t c) {
        if (!seen_[size_t(glyph)]) {
            seen_[size_t(glyph)] = 1;
            used_.emplace(quint16(glyph), c);
        }
    }
    double underlinePosition() const { return underlinePosition_; }
    double underlineThickness() const { return underlineThickness_; }

    // The font's objects: Type0 at objectNumber, then descendant, descriptor, file and ToUnicode.
    template <class Write> void write(Write& pdf) const;

private:
    QByteArray subset() const;
    QByteArray toUnicode() const;
    QByteArray baseFont() const;

    int index_;
    QRawFont raw_;
    std::map<QByteArray, QByteArray> tables_;
    int unitsPerEm_ = 1000, glyphCount_ = 0;
    bool longLoca_ = false;
    int ascent_ = 0, descent_ = 0;
    double underlinePosition_ = 0.1, underlineThickness_ = 0.05;
    std::vector<quint16> advances_;
    // By character, 256 to a block, -1 not looked up yet: a document uses a few blocks of the 256.
    std::array<std::unique_ptr<qint32[]>, 256> glyphBlocks_;
    std::map<quint16, char16_t> used_;
    std::vector<quint8> seen_; // by glyph: in used_ already
};

QByteArray EmbeddedFont::baseFont() const {
    QByteArray name;
    const QString full = raw_.familyName() + u'-' + raw_.styleName();
    for (const QChar c : full)
        if (c.isLetterOrNumber() && c.unicode() < 128)
            name += char(c.unicode());
        else if (c == u'-')
            name += '-';
    // A subset's name starts with six capitals of its own.
    QByteArray tag = "SVOD";
    tag += char('A' + index_ / 26 % 26);
    tag += char('A' + index_ % 26);
    return tag + '+' + name;
}

QByteArray EmbeddedFont::subset() const {
    std::vector<int> used;
    used.reserve(used_.size());
    for (const auto& entry : used_)
        used.push_back(entry.first);
    return truetype::subset(tables_, glyphCount_, longLoca_, used);
}

QByteArray EmbeddedFont::toUnicode() const {
    QByteArray out = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                     "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                     "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                     "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    auto it = used_.begin();
    while (it != used_.end()) {
        QByteArray block;
        int n = 0;
        for (; it != used_.end() && n < 100; ++it, ++n)
            block += '<' + QByteArray::number(it->first, 16).rightJustified(4, '0') + "> <" +
                     QByteArray::number(quint16(it->second), 16).rightJustified(4, '0') + ">\n";
        out += QByteArray::number(n) + " beginbfchar\n" + block + "endbfchar\n";
    }
    out += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return out;
}

template <class Write> void EmbeddedFont::write(Write& pdf) const {
    const int descendant = pdf.reserve(), descriptor = pdf.reserve(), fontFile = pdf.reserve(),
              unicode = pdf.reserve();
    const QByteArray name = baseFont();
    pdf.object(objectNumber, "<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
                                 " /Encoding /Identity-H /DescendantFonts [" +
                                 QByteArray::number(descendant) + " 0 R] /ToUnicode " +
                                 QByteArray::number(unicode) + " 0 R >>");
    QByteArray widths = "[";
    for (const auto& entry : used_) {
        appendInt(widths, entry.first);
        widths += " [";
        appendNumber(widths, advance(entry.first));
        widths += "] ";
    }
    widths += ']';
    pdf.object(descendant, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
                               " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
                               " /FontDescriptor " +
                               QByteArray::number(descriptor) + " 0 R /CIDToGIDMap /Identity /W " + widths +
                               " >>");
    const QByteArray& head = tables_.at("head");
    auto em = [&](int v) { return QByteArray::number(qRound(v * 1000.0 / unitsPerEm_)); };
    pdf.object(descriptor, "<< /Type /FontDescriptor /FontName /" + name + " /Flags 4 /FontBBox [" +
                               em(qint16(be16(head, 36))) + ' ' + em(qint16(be16(head, 38))) + ' ' +
                               em(qint16(be16(head, 40))) + ' ' + em(qint16(be16(head, 42))) +
                               "] /ItalicAngle 0 /Ascent " + em(ascent_) + " /Descent " + em(descent_) +
                               " /CapHeight " + em(ascent_) + " /StemV 80 /FontFile2 " +
                               QByteArray::number(fontFile) + " 0 R >>");
    const QByteArray file = subset();
    pdf.stream(fontFile, "/Length1 " + QByteArray::number(file.size()), file, true);
    pdf.stream(unicode, {}, toUnicode(), true);
}

// A colour as PDF operands; translucent colours are the painter's.
template <class Out> bool appendColor(Out& out, const QColor& color) {
    if (color.alpha() != 255)
        throw NeedsPainter{};
    const QColor rgb = color.toRgb();
    appendNumber(out, rgb.redF());
    out += ' ';
    appendNumber(out, rgb.greenF());
    out += ' ';
    appendNumber(out, rgb.blueF());
    return true;
}

// A drawing's operators: a page appends thousands of short pieces, which a std::string takes inline
// where QByteArray goes through its general insert.
using Content = std::string;

// Everything drawn on the pages: fonts and images are shared by all pages through one resource
// dictionary.
class DirectPdf {
public:
    explicit DirectPdf(const QString& path) : pdf_(path) {
        catalog_ = pdf_.reserve();
        pagesNode_ = pdf_.reserve();
        resources_ = pdf_.reserve();
        info_ = pdf_.reserve();
    }

    void addPage(const PreparedPage& page) {
        const QSizeF size = page.orientedSize();
        out_.clear(); // keeps the capacity
        out_ += "1 0 0 -1 0 ";
        appendNumber(out_, size.height());
        out_ += " cm 2 J 2 j\n";
        state_ = State{};
        for (const auto& o : page.objects)
            drawObject(o);
        const int content = pdf_.reserve(), number = pdf_.reserve();
        pdf_.stream(content, {}, out_, true);
        QByteArray dict = "<< /Type /Page /Parent " + QByteArray::number(pagesNode_) + " 0 R /MediaBox [0 0 ";
        appendNumber(dict, size.width());
        dict += ' ';
        appendNumber(dict, size.height());
        dict += "] /Resources " + QByteArray::number(resources_) + " 0 R /Contents " +
                QByteArray::number(content) + " 0 R >>";
        pdf_.object(number, dict);
        kids_.push_back(number);
    }

    void finish() {
        QByteArray fonts, images;
        for (const auto& font : fonts_) {
            fonts += "/F" + QByteArray::number(font->index()) + ' ' + QByteArray::number(font->objectNumber) +
                     " 0 R ";
            font->write(pdf_);
        }
        for (const auto& [key, image] : images_)
            images +=
                "/Im" + QByteArray::number(image.index) + ' ' + QByteArray::number(image.object) + " 0 R ";
        std::map<int, int> forms; // by index
        for (const auto* kept : {&charts_, &frames_})
            for (const auto& [key, form] : *kept)
                if (form.object)
                    forms.emplace(form.index, form.object);
        for (const auto& [index, object] : forms)
            images += "/Ch" + QByteArray::number(index) + ' ' + QByteArray::number(object) + " 0 R ";
        pdf_.object(resources_, "<< /ProcSet [/PDF /Text /ImageC] /Font << " + fonts + ">> /XObject << " +
                                    images + ">> >>");
        QByteArray kids;
        for (int kid : kids_)
            kids += QByteArray::number(kid) + " 0 R ";
        pdf_.object(pagesNode_, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                                    QByteArray::number(qint64(kids_.size())) + " >>");
        pdf_.object(catalog_, "<< /Type /Catalog /Pages " + QByteArray::number(pagesNode_) + " 0 R >>");
        pdf_.object(info_, "<< /Creator (svod) /Producer (svod) >>");
        pdf_.finish(catalog_, info_);
    }

private:
    // What the content stream has set, so unchanged settings are not repeated.
    struct State {
        QRgb fill = 0, stroke = 0;
        bool fillSet = false, strokeSet = false;
        double width = -1;
        int font = -1;
        double fontSize = -1;
    };
    struct Image {
        int index = 0, object = 0;
    };

    void setFill(const QColor& c) {
        if (state_.fillSet && state_.fill == c.rgba())
            return;
        appendColor(out_, c);
        out_ += " rg\n";
        state_.fill = c.rgba();
        state_.fillSet = true;
    }
    void setStroke(const QColor& c, double width) {
        if (!state_.strokeSet || state_.stroke != c.rgba()) {
            appendColor(out_, c);
            out_ += " RG\n";
            state_.stroke = c.rgba();
            state_.strokeSet = true;
        }
        if (state_.width != width) {
            appendNumber(out_, width);
            out_ += " w\n";
            state_.width = width;
        }
    }
    // Bars come by the thousand: the four numbers formatted in place and appended once.
    void rect(const QRectF& r) {
        char buf[4 * 14 + 4];
        char* p = buf;
        for (const double v : {r.x(), r.y(), r.width(), r.height()}) {
            p = formatNumber(p, v);
            *p++ = ' ';
        }
        out_.append(buf, p - buf);
        out_ += "re ";
    }
    void point(const QPointF& at, const char* op) {
        char buf[2 * 14];
        char* p = formatNumber(buf, at.x());
        *p++ = ' ';
        p = formatNumber(p, at.y());
        out_.append(buf, p - buf);
        out_ += op;
    }
    void line(const QPointF& a, const QPointF& b) {
        point(a, " m ");
        point(b, " l S\n");
    }
    // An upright rectangle as QPainterPath::addRect makes it: a move and four lines back to the start.
    static bool isRectangle(const QPainterPath& path, int i) {
        if (i + 4 >= path.elementCount() || !path.elementAt(i).isMoveTo())
            return false;
        for (int k = 1; k <= 4; ++k)
            if (!path.elementAt(i + k).isLineTo())
                return false;
        const auto a = path.elementAt(i), b = path.elementAt(i + 1), c = path.elementAt(i + 2),
                   d = path.elementAt(i + 3), e = path.elementAt(i + 4);
        return b.y == a.y && c.x == b.x && d.y == c.y && d.x == a.x && e.x == a.x && e.y == a.y;
    }
    void path(const QPainterPath& path) {
        for (int i = 0; i < path.elementCount(); ++i) {
            const auto e = path.elementAt(i);
            if (isRectangle(path, i)) {
                const auto c = path.elementAt(i + 2);
                rect(QRectF(e.x, e.y, c.x - e.x, c.y - e.y));
                i += 4;
            } else if (e.isMoveTo()) {
                point(e, " m ");
            } else if (e.isLineTo()) {
                point(e, " l ");
            } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
                point(e, " ");
                point(path.elementAt(i + 1), " ");
                point(path.elementAt(i + 2), " c ");
                i += 2;
            }
        }
    }

    EmbeddedFont& fontFor(const FontSpec& style) {
        for (auto& face : faces_) {
            if (face.bold != style.bold || face.italic != style.italic)
                continue;
            if (face.family.constData() == style.family.constData())
                return *face.font;
            if (face.family == style.family) {
                face.family = style.family; // the next objects share this string
                return *face.font;
            }
        }
        fonts_.push_back(std::make_unique<EmbeddedFont>(style, int(fonts_.size()) + 1));
        fonts_.back()->objectNumber = pdf_.reserve();
        faces_.push_back({style.family, style.bold, style.italic, fonts_.back().get()});
        return *fonts_.back();
    }

    // A line's glyphs in glyphs_ from `first`; none when a character needs Qt's shaping or another
    // face, drawn as outlines then.
    struct Run {
        bool glyphs = false;
        double width = 0; // points
        size_t first = 0;
    };

    Run runOf(EmbeddedFont& font, const PreparedObject& o, const QString& line) {
        Run run{true, 0, glyphs_.size()};
        for (const QChar c : line) {
            const int g = font.glyph(c.unicode());
            if (g < 0) {
                glyphs_.resize(run.first);
                return {false, metricsFor(o.font).horizontalAdvance(line), run.first};
            }
            glyphs_.push_back(g);
            run.width += font.advance(g);
        }
        run.width *= o.font.sizePt / 1000;
        return run;
    }

    void beginText(const EmbeddedFont& font, double size) {
        out_ += "BT ";
        if (state_.font != font.index() || state_.fontSize != size) {
            out_ += "/F";
            appendInt(out_, font.index());
            out_ += ' ';
            appendNumber(out_, size);
            out_ += " Tf ";
            state_.font = font.index();
            state_.fontSize = size;
        }
    }

    // The operators a line draws after its font is set, from lineStart_ on; npos when drawn as
    // outlines.
    void drawLine(const PreparedObject& o, EmbeddedFont& font, const QString& text, const Run& run, double x,
                  double baseline) {
        const double size = o.font.sizePt;
        double width = run.width;
        lineStart_ = std::string::npos;
        if (run.glyphs) {
            beginText(font, size);
            lineStart_ = out_.size();
            out_ += "1 0 0 -1 ";
            point(QPointF(x, baseline), " Tm (");
            // Two raw bytes a glyph: half the hex form, to write and to compress.
            char bytes[4 * 64];
            qsizetype n = 0;
            for (qsizetype i = 0; i < text.size(); ++i) {
                const int g = glyphs_[run.first + size_t(i)];
                font.use(g, text[i].unicode());
                n = appendGlyphCode(bytes, n, g);
                if (n > qsizetype(sizeof bytes) - 4) {
                    out_.append(bytes, n);
                    n = 0;
                }
            }
            out_.append(bytes, n);
            out_ += ") Tj ET\n";
        } else {
            // Outlines shaped by Qt, with its substitute faces for missing characters.
            const QFont qfont = qfontFor(o.font, 72);
            const double scale = size / std::max(1.0, QRawFont::fromFont(qfont).pixelSize());
            QPainterPath outline;
            outline.addText(QPointF(0, 0), qfont, text);
            width = outline.boundingRect().isEmpty() ? 0 : (outline.boundingRect().right() * scale);
            path(QTransform::fromTranslate(x, baseline).scale(scale, scale).map(outline));
            out_ += "f\n";
        }
        if (o.font.underline) {
            const double w = width;
            appendNumber(out_, x);
            out_ += ' ';
            appendNumber(out_, baseline + font.underlinePosition() * size);
            out_ += ' ';
            appendNumber(out_, w);
            out_ += ' ';
            appendNumber(out_, std::max(0.1, font.underlineThickness() * size));
            out_ += " re f\n";
        }
    }

    // A chart's labels (months, series titles, axis numbers) come back at the same places chart after
    // chart: a label's line is laid out and written once, then copied.
    struct LabelKey {
        QString text, family;
        double x = 0, y = 0, width = 0, height = 0, size = 0;
        int alignment = 0;
        bool bold = false, italic = false, underline = false, wrap = false;
        bool operator==(const LabelKey&) const = default;
    };
    struct LabelKeyHash {
        size_t operator()(const LabelKey& k) const {
            return qHashMulti(0, k.text, k.x, k.y, k.width, k.height, k.size, k.alignment);
        }
    };
    static LabelKey labelKey(const PreparedObject& o) {
        return {o.text,        o.font.family, o.rect.x(),  o.rect.y(),    o.rect.width(),   o.rect.height(),
                o.font.sizePt, o.alignment,   o.font.bold, o.font.italic, o.font.underline, o.wordWrap};
    }

    void drawLabel(const PreparedObject& o) {
        if (o.text.isEmpty() || o.font.color.alpha() == 0)
            return;
        LabelKey key = labelKey(o);
        if (const auto it = labels_.find(key); it != labels_.end()) {
            EmbeddedFont& font = fontFor(o.font);
            setFill(o.font.color);
            beginText(font, o.font.sizePt);
            out_ += it->second;
            return;
        }
        if (drawText(o) && lineStart_ != std::string::npos) {
            if (labels_.size() >= 4096) // a report of ever new labels does not grow it without end
                labels_.clear();
            labels_.emplace(std::move(key), out_.substr(lineStart_));
        }
    }

    // Returns whether the text took one line, unclipped: the one kind of label kept for again.
    bool drawText(const PreparedObject& o) {
        if (o.text.isEmpty() || o.font.color.alpha() == 0)
            return false;
        const double ascent = measuresFor(o.font).ascent;
        const TextBlock block = layoutTextBlock(o.text, o.font, o.rect, o.alignment, o.wordWrap);
        EmbeddedFont& font = fontFor(o.font);
        glyphs_.clear();
        runs_.clear();
        bool clipped = block.tooTall;
        for (const auto& line : block.lines) {
            runs_.push_back(runOf(font, o, line));
            clipped = clipped || runs_.back().width > block.inner.width() + 0.5;
        }
        const State outside = state_;
        if (clipped) {
            out_ += "q ";
            rect(o.rect);
            out_ += "W n\n";
        }
        setFill(o.font.color);
        double y = block.top;
        for (qsizetype i = 0; i < block.lines.size(); ++i) {
            const Run& run = runs_[size_t(i)];
            const double x = alignedLeft(block.inner, run.width, o.alignment);
            if (!block.lines[i].isEmpty())
                drawLine(o, font, block.lines[i], run, x, y + ascent);
            y += block.lineHeight;
        }
        if (clipped) {
            out_ += "Q\n";
            state_ = outside;
        }
        return !clipped && block.lines.size() == 1 && !block.lines[0].isEmpty();
    }

    void drawFrame(const PreparedObject& o) {
        if (o.frame.sides == FrameNone || o.frame.color.alpha() == 0)
            return;
        setStroke(o.frame.color, o.frame.width * PointsPerPixel);
        const QRectF r = o.rect;
        if (o.frame.sides == FrameAll) {
            rect(r);
            out_ += "S\n";
            return;
        }
        if (o.frame.sides & FrameLeft)
            line(r.topLeft(), r.bottomLeft());
        if (o.frame.sides & FrameTop)
            line(r.topLeft(), r.topRight());
        if (o.frame.sides & FrameRight)
            line(r.topRight(), r.bottomRight());
        if (o.frame.sides & FrameBottom)
            line(r.bottomLeft(), r.bottomRight());
    }

    void drawPicture(const PreparedObject& o) {
        auto it = images_.find(o.picture);
        if (it == images_.end()) {
            QImage image;
            Image entry;
            if (image.loadFromData(o.picture)) {
                entry.index = int(images_.size()) + 1;
                entry.object = pdf_.reserve();
                writeImage(entry.object, image);
            }
            it = images_.emplace(o.picture, entry).first;
        }
        if (!it->second.object)
            return;
        out_ += "q ";
        appendNumber(out_, o.rect.width());
        out_ += " 0 0 ";
        appendNumber(out_, -o.rect.height());
        out_ += ' ';
        point(o.rect.bottomLeft(), " cm /Im");
        appendInt(out_, it->second.index);
        out_ += " Do Q\n";
    }

    void writeImage(int number, const QImage& source) {
        const QImage image = source.convertToFormat(QImage::Format_ARGB32);
        QByteArray rgb, alpha;
        rgb.reserve(qsizetype(image.width()) * image.height() * 3);
        bool opaque = true;
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                // Translucent pixels over white, as on paper; the mask keeps what shows through.
                const QRgb p = line[x];
                rgb += char(qRed(p));
                rgb += char(qGreen(p));
                rgb += char(qBlue(p));
                alpha += char(qAlpha(p));
                opaque = opaque && qAlpha(p) == 255;
            }
        }
        const QByteArray size = "/Width " + QByteArray::number(image.width()) + " /Height " +
                                QByteArray::number(image.height()) + " /BitsPerComponent 8";
        QByteArray dict = "/Type /XObject /Subtype /Image " + size + " /ColorSpace /DeviceRGB";
        if (!opaque) {
            const int mask = pdf_.reserve();
            pdf_.stream(mask, "/Type /XObject /Subtype /Image " + size + " /ColorSpace /DeviceGray", alpha,
                        true);
            dict += " /SMask " + QByteArray::number(mask) + " 0 R";
        }
        pdf_.stream(number, dict, rgb, true);
    }

    // Fills and strokes a path with one operator; an invalid colour leaves that part out.
    void fillAndStroke(const QPainterPath& shape, const QColor& fill, const QColor& stroke, double width,
                       const QList<QRectF>& rects = {}) {
        const bool filled = fill.isValid(), stroked = stroke.isValid();
        if (filled)
            setFill(fill);
        if (stroked)
            setStroke(stroke, width);
        if (filled || stroked) {
            for (const QRectF& r : rects)
                rect(r);
            path(shape);
            out_ += filled && stroked ? "B\n" : filled ? "f\n" : "S\n";
        }
    }

    // A chart met for the first time is drawn in the page: most reports have a chart of their own
    // on every page, and a stream less to compress is a third of a page's time. A chart met again
    // (same data, size and font) is drawn once into a form and placed by reference from then on.
    void drawChart(const PreparedObject& o) {
        ChartKey key{o.picture, o.rect.width(), o.rect.height(), o.font};
        if (const auto it = charts_.find(key); it != charts_.end()) {
            if (!it->second.object)
                it->second = writeChartForm(o, false);
            out_ += "q 1 0 0 1 ";
            point(o.rect.topLeft(), " cm /Ch");
            appendInt(out_, it->second.index);
            out_ += " Do Q\n";
            return;
        }
        remember(charts_, std::move(key));
        ChartData data;
        try {
            data = decodeChart(o.picture);
        } catch (const Error&) {
            return; // a damaged chart draws nothing but its frame
        }
        out_ += "q 1 0 0 1 ";
        point(o.rect.topLeft(), " cm 0 0 ");
        point(QPointF(o.rect.width(), o.rect.height()), " re W n\n");
        const State pageState = state_; // inside q: the page's colours and font hold
        drawChartFrameAndValues(o, data);
        out_ += "Q\n";
        state_ = pageState;
    }

    // Charts of their own on many pages mostly share their frame (title, legend, axes, months): a
    // frame met again goes into a form, and only the values are drawn in the page.
    void drawChartFrameAndValues(const PreparedObject& o, const ChartData& data) {
        const QRectF area(QPointF(0, 0), o.rect.size());
        ChartKey key{chartFrameKey(data, o.picture), o.rect.width(), o.rect.height(), o.font};
        const auto it = frames_.find(key);
        if (it == frames_.end()) {
            remember(frames_, std::move(key));
            drawChartParts(layoutChart(data, area, o.font));
            return;
        }
        if (!it->second.object)
            it->second = writeChartForm(o, true);
        out_ += "/Ch";
        appendInt(out_, it->second.index);
        out_ += " Do\n";
        drawChartParts(layoutChart(data, area, o.font, ChartParts::Values));
    }

    // Bars are most of a chart's bytes: they are written in hundredths of a point (still finer than
    // any printer) as whole numbers, a quarter fewer bytes to write and to compress.
    void drawChartParts(const ChartDrawing& drawing) {
        bool scaled = false;
        State outside;
        for (const auto& shape : drawing.shapes) {
            const bool bars = shape.path.isEmpty() && !shape.rects.isEmpty() && shape.fill.isValid() &&
                              !shape.stroke.isValid();
            if (bars && !scaled) {
                outside = state_;
                out_ += "q 0.01 0 0 0.01 0 0 cm\n";
            } else if (!bars && scaled) {
                out_ += "Q\n";
                state_ = outside; // inside q: the colours before it hold again
            }
            scaled = bars;
            if (!bars) {
                fillAndStroke(shape.path, shape.fill, shape.stroke, shape.width, shape.rects);
                continue;
            }
            setFill(shape.fill);
            for (const QRectF& r : shape.rects)
                hundredthsRect(r);
            out_ += "f\n";
        }
        if (scaled) {
            out_ += "Q\n";
            state_ = outside;
        }
        for (const auto& label : drawing.labels)
            drawLabel(label);
    }
    void hundredthsRect(const QRectF& r) {
        char buf[4 * 14 + 4];
        char* p = buf;
        for (const double v : {r.x(), r.y(), r.width(), r.height()}) {
            p = std::to_chars(p, p + 13, qRound64(std::clamp(v, -1e7, 1e7) * 100)).ptr;
            *p++ = ' ';
        }
        out_.append(buf, p - buf);
        out_ += "re ";
    }

    // A form in the chart's own coordinates, from (0, 0): the whole chart or its frame alone.
    Image writeChartForm(const PreparedObject& o, bool frameOnly) {
        Content page;
        out_.swap(page);
        const State pageState = state_;
        state_ = State{};
        ChartDrawing drawing;
        try {
            drawing = layoutChart(decodeChart(o.picture), QRectF(QPointF(0, 0), o.rect.size()), o.font);
        } catch (const Error&) {
            // a damaged chart draws nothing but its frame
        }
        if (frameOnly) {
            drawing.shapes.resize(drawing.frameShapes);
            drawing.labels.resize(drawing.frameLabels);
        }
        drawChartParts(drawing);
        const Image form{++chartForms_, pdf_.reserve()};
        QByteArray dict = "/Type /XObject /Subtype /Form /BBox [0 0 ";
        appendNumber(dict, o.rect.width());
        dict += ' ';
        appendNumber(dict, o.rect.height());
        dict += "] /Resources " + QByteArray::number(resources_) + " 0 R";
        pdf_.stream(form.object, dict, QByteArrayView(out_.data(), qsizetype(out_.size())), true);
        out_.swap(page);
        state_ = pageState;
        return form;
    }

    void drawCheckBox(const PreparedObject& o) {
        if (o.font.color.alpha() == 0)
            return;
        const double side = std::min(o.rect.width(), o.rect.height());
        const QRectF box(o.rect.topLeft(), QSizeF(side, side));
        setStroke(o.font.color, 0.75);
        rect(box);
        out_ += "S\n";
        if (o.checked) {
            point(QPointF(box.left() + side * 0.2, box.top() + side * 0.5), " m ");
            point(QPointF(box.left() + side * 0.42, box.top() + side * 0.75), " l ");
            point(QPointF(box.left() + side * 0.8, box.top() + side * 0.25), " l S\n");
        }
    }

    void drawObject(const PreparedObject& o) {
        if (o.fill.isValid() && o.fill.alpha() > 0 && o.kind != ObjectKind::Line &&
            o.kind != ObjectKind::RoundRect) {
            setFill(o.fill);
            rect(o.rect);
            out_ += "f\n";
        }
        switch (o.kind) {
        case ObjectKind::Text:
            drawText(o);
            break;
        case ObjectKind::RichText:
            throw NeedsPainter{};
        case ObjectKind::Line:
            if (o.frame.color.alpha() == 0)
                return;
            setStroke(o.frame.color, o.frame.width * PointsPerPixel);
            // A line runs along the longer side of its rectangle.
            if (o.rect.width() >= o.rect.height())
                line(o.rect.topLeft(), o.rect.topRight());
            else
                line(o.rect.topLeft(), o.rect.bottomLeft());
            return;
        case ObjectKind::Rectangle:
            if (o.frame.color.alpha() == 0)
                return;
            setStroke(o.frame.color, o.frame.width * PointsPerPixel);
            rect(o.rect);
            out_ += "S\n";
            return;
        case ObjectKind::RoundRect: {
            QPainterPath rounded;
            rounded.addRoundedRect(o.rect, o.radius, o.radius);
            fillAndStroke(rounded, o.fill.isValid() && o.fill.alpha() > 0 ? o.fill : QColor(),
                          o.frame.color.alpha() > 0 ? o.frame.color : QColor(),
                          o.frame.width * PointsPerPixel);
            return;
        }
        case ObjectKind::Picture:
            drawPicture(o);
            break;
        case ObjectKind::Chart:
            drawChart(o);
            break;
        case ObjectKind::CheckBox:
            drawCheckBox(o);
            return;
        }
        drawFrame(o);
    }

    PdfFile pdf_;
    int catalog_ = 0, pagesNode_ = 0, resources_ = 0, info_ = 0;
    std::vector<int> kids_;
    Content out_;
    State state_;
    std::vector<int> glyphs_;
    std::vector<Run> runs_;
    size_t lineStart_ = std::string::npos;
    std::unordered_map<LabelKey, std::string, LabelKeyHash> labels_;
    std::vector<std::unique_ptr<EmbeddedFont>> fonts_;
    struct ChartKey {
        QByteArray data;
        double width = 0, height = 0;
        FontSpec font;
        bool operator==(const ChartKey&) const = default;
    };
    struct ChartKeyHash {
        size_t operator()(const ChartKey& k) const {
            return qHashMulti(0, k.data, k.width, k.height, k.font.family, k.font.sizePt);
        }
    };
    using ChartForms = std::unordered_map<ChartKey, Image, ChartKeyHash>;
    // No object: drawn once in its page so far. Those are forgotten now and then, so that a report of
    // ever new charts does not keep them all.
    static void remember(ChartForms& forms, ChartKey key) {
        if (forms.size() >= 1024)
            std::erase_if(forms, [](const auto& entry) { return !entry.second.object; });
        forms.emplace(std::move(key), Image{});
    }
    ChartForms charts_;
    ChartForms frames_; // by chartFrameKey
    int chartForms_ = 0;
    struct Face {
        QString family;
        bool bold = false, italic = false;
        EmbeddedFont* font = nullptr;
    };
    std::vector<Face> faces_;
    std::map<QByteArray, Image> images_;
};

} // namespace

bool writeDirectPdf(const PreparedPages& pages, const QString& path) {
    if (pages.isEmpty())
        return false;
    try {
        DirectPdf pdf(path);
        for (int i = 0; i < pages.count(); ++i)
            pdf.addPage(pages.page(i));
        pdf.finish();
        return true;
    } catch (const NeedsPainter&) {
        return false;
    }
}

} // namespace svod::engine
