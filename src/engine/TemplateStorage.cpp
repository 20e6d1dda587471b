#include "engine/TemplateStorage.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <zlib.h>

#include "db/Error.h"

namespace svod::engine {

namespace {

const QString RootName = QStringLiteral("svod-report");

const QList<std::pair<BandKind, QString>>& bandNames() {
    static const QList<std::pair<BandKind, QString>> names = {
        {BandKind::ReportTitle, QStringLiteral("reportTitle")},
        {BandKind::PageHeader, QStringLiteral("pageHeader")},
        {BandKind::ColumnHeader, QStringLiteral("columnHeader")},
        {BandKind::MasterData, QStringLiteral("masterData")},
        {BandKind::DetailData, QStringLiteral("detailData")},
        {BandKind::GroupHeader, QStringLiteral("groupHeader")},
        {BandKind::GroupFooter, QStringLiteral("groupFooter")},
        {BandKind::ColumnFooter, QStringLiteral("columnFooter")},
        {BandKind::PageFooter, QStringLiteral("pageFooter")},
        {BandKind::ReportSummary, QStringLiteral("reportSummary")},
        {BandKind::Child, QStringLiteral("child")},
        {BandKind::MasterHeader, QStringLiteral("masterHeader")},
        {BandKind::MasterFooter, QStringLiteral("masterFooter")},
        {BandKind::DetailHeader, QStringLiteral("detailHeader")},
        {BandKind::DetailFooter, QStringLiteral("detailFooter")},
    };
    return names;
}

const QList<std::pair<ObjectKind, QString>>& objectNames() {
    static const QList<std::pair<ObjectKind, QString>> names = {
        {ObjectKind::Text, QStringLiteral("text")},
        {ObjectKind::Line, QStringLiteral("line")},
        {ObjectKind::Rectangle, QStringLiteral("rect")},
        {ObjectKind::RoundRect, QStringLiteral("roundRect")},
        {ObjectKind::Picture, QStringLiteral("picture")},
        {ObjectKind::CheckBox, QStringLiteral("checkBox")},
        {ObjectKind::RichText, QStringLiteral("richText")},
        {ObjectKind::Chart, QStringLiteral("chart")},
    };
    return names;
}

QString num(double v) {
    return QString::number(v, 'g', 10);
}

bool boolAttr(const QXmlStreamAttributes& a, const QString& name, bool def) {
    if (!a.hasAttribute(name))
        return def;
    return a.value(name) == u"1" || a.value(name) == u"true";
}

double numAttr(const QXmlStreamAttributes& a, const QString& name, double def) {
    if (!a.hasAttribute(name))
        return def;
    bool ok = false;
    const double v = a.value(name).toDouble(&ok);
    if (!ok)
        throw Error(
            QStringLiteral("Ошибка в шаблоне отчета: неверное значение %1=\"%2\"").arg(name, a.value(name)));
    return v;
}

void writeFont(QXmlStreamWriter& w, const FontSpec& f) {
    w.writeAttribute(QStringLiteral("font"), f.family);
    w.writeAttribute(QStringLiteral("size"), num(f.sizePt));
    QString style;
    if (f.bold)
        style += u'b';
    if (f.italic)
        style += u'i';
    if (f.underline)
        style += u'u';
    if (!style.isEmpty())
        w.writeAttribute(QStringLiteral("style"), style);
    if (f.color != QColor(Qt::black))
        w.writeAttribute(QStringLiteral("color"), f.color.name(QColor::HexArgb));
}

FontSpec readFont(const QXmlStreamAttributes& a) {
    FontSpec f;
    if (a.hasAttribute(QStringLiteral("font")))
        f.family = a.value(QStringLiteral("font")).toString();
    f.sizePt = numAttr(a, QStringLiteral("size"), f.sizePt);
    const auto style = a.value(QStringLiteral("style"));
    f.bold = style.contains(u'b');
    f.italic = style.contains(u'i');
    f.underline = style.contains(u'u');
    if (a.hasAttribute(QStringLiteral("color")))
        f.color = QColor(a.value(QStringLiteral("color")).toString());
    return f;
}

[[noreturn]] void fail(const QXmlStreamReader& r, const QString& what);

// Lists of field names and titles are kept as one attribute, ";" between the entries.
void writeChart(QXmlStreamWriter& w, const ChartSettings& c) {
    w.writeAttribute(QStringLiteral("chartType"), chartTypeName(c.type));
    w.writeAttribute(QStringLiteral("dataset"), c.dataset);
    w.writeAttribute(QStringLiteral("category"), c.categoryField);
    w.writeAttribute(QStringLiteral("values"), c.valueFields.join(u';'));
    if (!c.seriesTitles.isEmpty())
        w.writeAttribute(QStringLiteral("series"), c.seriesTitles.join(u';'));
    if (!c.title.isEmpty())
        w.writeAttribute(QStringLiteral("title"), c.title);
    if (!c.xAxisTitle.isEmpty())
        w.writeAttribute(QStringLiteral("xTitle"), c.xAxisTitle);
    if (!c.yAxisTitle.isEmpty())
        w.writeAttribute(QStringLiteral("yTitle"), c.yAxisTitle);
    w.writeAttribute(QStringLiteral("numberFormat"), c.numberFormat);
    w.writeAttribute(QStringLiteral("legend"), c.legend ? QStringLiteral("1") : QStringLiteral("0"));
    if (!c.seriesField.isEmpty())
        w.writeAttribute(QStringLiteral("seriesField"), c.seriesField);
}

QStringList listAttr(const QXmlStreamAttributes& a, const QString& name) {
    const QString text = a.value(name).toString();
    return text.isEmpty() ? QStringList() : text.split(u';');
}

ChartSettings readChart(const QXmlStreamReader& r, const QXmlStreamAttributes& a) {
    ChartSettings c;
    bool ok = true;
    if (a.hasAttribute(QStringLiteral("chartType")))
        c.type = chartTypeFromName(a.value(QStringLiteral("chartType")).toString(), &ok);
    if (!ok)
        fail(r, QStringLiteral("неизвестный вид диаграммы \"%1\"").arg(a.value(QStringLiteral("chartType"))));
    c.dataset = a.value(QStringLiteral("dataset")).toString();
    c.categoryField = a.value(QStringLiteral("category")).toString();
    c.valueFields = listAttr(a, QStringLiteral("values"));
    c.seriesTitles = listAttr(a, QStringLiteral("series"));
    c.title = a.value(QStringLiteral("title")).toString();
    c.xAxisTitle = a.value(QStringLiteral("xTitle")).toString();
    c.yAxisTitle = a.value(QStringLiteral("yTitle")).toString();
    if (a.hasAttribute(QStringLiteral("numberFormat")))
        c.numberFormat = a.value(QStringLiteral("numberFormat")).toString();
    c.legend = boolAttr(a, QStringLiteral("legend"), true);
    c.seriesField = a.value(QStringLiteral("seriesField")).toString();
    return c;
}

QString modalResultName(ModalResult m) {
    switch (m) {
    case ModalResult::Ok:
        return QStringLiteral("ok");
    case ModalResult::Cancel:
        return QStringLiteral("cancel");
    case ModalResult::None:
        break;
    }
    return {};
}

void writeScript(QXmlStreamWriter& w, const QString& element, const QString& script) {
    if (!script.isEmpty())
        w.writeTextElement(element, script);
}

void writeControl(QXmlStreamWriter& w, const DialogControl& c) {
    w.writeStartElement(QStringLiteral("control"));
    w.writeAttribute(QStringLiteral("kind"), controlKindName(c.kind));
    w.writeAttribute(QStringLiteral("name"), c.name);
    w.writeAttribute(QStringLiteral("x"), num(c.rect.x()));
    w.writeAttribute(QStringLiteral("y"), num(c.rect.y()));
    w.writeAttribute(QStringLiteral("w"), num(c.rect.width()));
    w.writeAttribute(QStringLiteral("h"), num(c.rect.height()));
    const std::pair<QString, QString> texts[] = {
        {QStringLiteral("caption"), c.caption},
        {QStringLiteral("default"), c.defaultValue},
        {QStringLiteral("dataset"), c.dataset},
        {QStringLiteral("keyField"), c.keyField},
        {QStringLiteral("captionField"), c.captionField},
        {QStringLiteral("modalResult"), modalResultName(c.modalResult)}};
    for (const auto& [name, value] : texts)
        if (!value.isEmpty())
            w.writeAttribute(name, value);
    if (c.showKeys)
        w.writeAttribute(QStringLiteral("showKeys"), QStringLiteral("1"));
    for (qsizetype i = 0; i < c.items.size(); ++i) {
        w.writeStartElement(QStringLiteral("item"));
        if (i < c.keys.size())
            w.writeAttribute(QStringLiteral("key"), c.keys[i]);
        w.writeCharacters(c.items[i]);
        w.writeEndElement();
    }
    writeScript(w, QStringLiteral("onClick"), c.onClick);
    writeScript(w, QStringLiteral("onChange"), c.onChange);
    w.writeEndElement();
}

void writeDialog(QXmlStreamWriter& w, const DialogPage& d) {
    w.writeStartElement(QStringLiteral("dialog"));
    w.writeAttribute(QStringLiteral("name"), d.name);
    w.writeAttribute(QStringLiteral("caption"), d.caption);
    w.writeAttribute(QStringLiteral("width"), num(d.size.width()));
    w.writeAttribute(QStringLiteral("height"), num(d.size.height()));
    writeScript(w, QStringLiteral("onShow"), d.onShow);
    for (const auto& c : d.controls)
        writeControl(w, c);
    w.writeEndElement();
}

DialogControl readControl(QXmlStreamReader& r) {
    const auto a = r.attributes();
    DialogControl c;
    bool ok = false;
    c.kind = controlKindFromName(a.value(QStringLiteral("kind")).toString(), &ok);
    if (!ok)
        fail(r,
             QStringLiteral("неизвестный вид элемента диалога \"%1\"").arg(a.value(QStringLiteral("kind"))));
    c.name = a.value(QStringLiteral("name")).toString();
    c.rect = QRectF(numAttr(a, QStringLiteral("x"), 0), numAttr(a, QStringLiteral("y"), 0),
                    numAttr(a, QStringLiteral("w"), 0), numAttr(a, QStringLiteral("h"), 0));
    c.caption = a.value(QStringLiteral("caption")).toString();
    c.defaultValue = a.value(QStringLiteral("default")).toString();
    c.dataset = a.value(QStringLiteral("dataset")).toString();
    c.keyField = a.value(QStringLiteral("keyField")).toString();
    c.captionField = a.value(QStringLiteral("captionField")).toString();
    c.showKeys = boolAttr(a, QStringLiteral("showKeys"), false);
    const auto modal = a.value(QStringLiteral("modalResult"));
    c.modalResult = modal == u"ok"       ? ModalResult::Ok
                    : modal == u"cancel" ? ModalResult::Cancel
                                         : ModalResult::None;
    bool keyed = false;
    while (r.readNextStartElement()) {
        if (r.name() == u"item") {
            const auto ia = r.attributes();
            keyed = keyed || ia.hasAttribute(QStringLiteral("key"));
            c.keys << ia.value(QStringLiteral("key")).toString();
            c.items << r.readElementText();
        } else if (r.name() == u"onClick") {
            c.onClick = r.readElementText();
        } else if (r.name() == u"onChange") {
            c.onChange = r.readElementText();
        } else {
            fail(r, QStringLiteral("неизвестный элемент \"%1\"").arg(r.name()));
        }
    }
    if (!keyed)
        c.keys.clear();
    return c;
}

DialogPage readDialog(QXmlStreamReader& r) {
    const auto a = r.attributes();
    DialogPage d;
    d.name = a.value(QStringLiteral("name")).toString();
    d.caption = a.value(QStringLiteral("caption")).toString();
    d.size = QSizeF(numAttr(a, QStringLiteral("width"), d.size.width()),
                    numAttr(a, QStringLiteral("height"), d.size.height()));
    while (r.readNextStartElement()) {
        if (r.name() == u"onShow")
            d.onShow = r.readElementText();
        else if (r.name() == u"control")
            d.controls << readControl(r);
        else
            fail(r, QStringLiteral("неизвестный элемент \"%1\"").arg(r.name()));
    }
    return d;
}

void writeObject(QXmlStreamWriter& w, const TemplateObject& o) {
    w.writeStartElement(objectKindName(o.kind));
    if (!o.name.isEmpty())
        w.writeAttribute(QStringLiteral("name"), o.name);
    w.writeAttribute(QStringLiteral("x"), num(o.rect.x()));
    w.writeAttribute(QStringLiteral("y"), num(o.rect.y()));
    w.writeAttribute(QStringLiteral("w"), num(o.rect.width()));
    w.writeAttribute(QStringLiteral("h"), num(o.rect.height()));
    writeFont(w, o.font);
    if (o.frame.sides != FrameNone) {
        w.writeAttribute(QStringLiteral("frame"), QString::number(o.frame.sides));
        w.writeAttribute(QStringLiteral("frameWidth"), num(o.frame.width));
        w.writeAttribute(QStringLiteral("frameColor"), o.frame.color.name(QColor::HexArgb));
    }
    if (o.fill.isValid())
        w.writeAttribute(QStringLiteral("fill"), o.fill.name(QColor::HexArgb));
    w.writeAttribute(QStringLiteral("align"), QString::number(o.alignment));
    if (o.wordWrap)
        w.writeAttribute(QStringLiteral("wrap"), QStringLiteral("1"));
    if (o.stretch)
        w.writeAttribute(QStringLiteral("stretch"), QStringLiteral("1"));
    if (o.radius != 0)
        w.writeAttribute(QStringLiteral("radius"), num(o.radius));
    if (!o.displayFormat.isEmpty())
        w.writeAttribute(QStringLiteral("format"), o.displayFormat);
    if (!o.picture.isEmpty())
        w.writeAttribute(QStringLiteral("picture"), QString::fromLatin1(o.picture.toBase64()));
    if (o.kind == ObjectKind::Chart)
        writeChart(w, o.chart);
    if (!o.text.isEmpty())
        w.writeCharacters(o.text);
    w.writeEndElement();
}

TemplateObject readObject(QXmlStreamReader& r, ObjectKind kind) {
    const auto a = r.attributes();
    TemplateObject o;
    o.kind = kind;
    o.name = a.value(QStringLiteral("name")).toString();
    o.rect = QRectF(numAttr(a, QStringLiteral("x"), 0), numAttr(a, QStringLiteral("y"), 0),
                    numAttr(a, QStringLiteral("w"), 0), numAttr(a, QStringLiteral("h"), 0));
    o.font = readFont(a);
    o.frame.sides = int(numAttr(a, QStringLiteral("frame"), 0)) & FrameAll;
    o.frame.width = numAttr(a, QStringLiteral("frameWidth"), 1);
    if (a.hasAttribute(QStringLiteral("frameColor")))
        o.frame.color = QColor(a.value(QStringLiteral("frameColor")).toString());
    if (a.hasAttribute(QStringLiteral("fill")))
        o.fill = QColor(a.value(QStringLiteral("fill")).toString());
    o.alignment = int(numAttr(a, QStringLiteral("align"), o.alignment));
    o.wordWrap = boolAttr(a, QStringLiteral("wrap"), false);
    o.stretch = boolAttr(a, QStringLiteral("stretch"), false);
    o.radius = numAttr(a, QStringLiteral("radius"), 0);
    o.displayFormat = a.value(QStringLiteral("format")).toString();
    o.picture = QByteArray::fromBase64(a.value(QStringLiteral("picture")).toLatin1());
    if (kind == ObjectKind::Chart)
        o.chart = readChart(r, a);
    o.text = r.readElementText(QXmlStreamReader::IncludeChildElements);
    return o;
}

void writeBand(QXmlStreamWriter& w, const Band& b) {
    w.writeStartElement(QStringLiteral("band"));
    w.writeAttribute(QStringLiteral("kind"), bandKindName(b.kind));
    if (!b.name.isEmpty())
        w.writeAttribute(QStringLiteral("name"), b.name);
    w.writeAttribute(QStringLiteral("height"), num(b.height));
    if (!b.dataset.isEmpty())
        w.writeAttribute(QStringLiteral("dataset"), b.dataset);
    if (!b.condition.isEmpty())
        w.writeAttribute(QStringLiteral("condition"), b.condition);
    if (!b.child.isEmpty())
        w.writeAttribute(QStringLiteral("child"), b.child);
    w.writeAttribute(QStringLiteral("keepTogether"),
                     b.keepTogether ? QStringLiteral("1") : QStringLiteral("0"));
    if (b.allowSplit)
        w.writeAttribute(QStringLiteral("allowSplit"), QStringLiteral("1"));
    if (b.newPageAfter)
        w.writeAttribute(QStringLiteral("newPageAfter"), QStringLiteral("1"));
    if (b.repeatOnNewPage)
        w.writeAttribute(QStringLiteral("repeatOnNewPage"), QStringLiteral("1"));
    if (b.belowPageHeader)
        w.writeAttribute(QStringLiteral("belowPageHeader"), QStringLiteral("1"));
    for (const auto& o : b.objects)
        writeObject(w, o);
    w.writeEndElement();
}

[[noreturn]] void fail(const QXmlStreamReader& r, const QString& what) {
    throw Error(QStringLiteral("Ошибка в шаблоне отчета (строка %1): %2").arg(r.lineNumber()).arg(what));
}

Band readBand(QXmlStreamReader& r) {
    const auto a = r.attributes();
    Band b;
    bool ok = false;
    b.kind = bandKindFromName(a.value(QStringLiteral("kind")).toString(), &ok);
    if (!ok)
        fail(r, QStringLiteral("неизвестный вид полосы \"%1\"").arg(a.value(QStringLiteral("kind"))));
    b.name = a.value(QStringLiteral("name")).toString();
    b.height = numAttr(a, QStringLiteral("height"), 0);
    b.dataset = a.value(QStringLiteral("dataset")).toString();
    b.condition = a.value(QStringLiteral("condition")).toString();
    b.child = a.value(QStringLiteral("child")).toString();
    b.keepTogether = boolAttr(a, QStringLiteral("keepTogether"), true);
    b.allowSplit = boolAttr(a, QStringLiteral("allowSplit"), false);
    b.newPageAfter = boolAttr(a, QStringLiteral("newPageAfter"), false);
    b.repeatOnNewPage = boolAttr(a, QStringLiteral("repeatOnNewPage"), false);
    b.belowPageHeader = boolAttr(a, QStringLiteral("belowPageHeader"), false);
    while (r.readNextStartElement()) {
        bool known = false;
        const ObjectKind kind = objectKindFromName(r.name().toString(), &known);
        if (!known)
            fail(r, QStringLiteral("неизвестный объект \"%1\"").arg(r.name()));
        b.objects << readObject(r, kind);
    }
    return b;
}

} // namespace

namespace {

template <typename Kind> QString nameOf(const QList<std::pair<Kind, QString>>& names, Kind kind) {
    for (const auto& [k, n] : names)
        if (k == kind)
            return n;
    return {};
}

// The kind named `name`, or `fallback` with *ok false.
template <typename Kind>
Kind kindNamed(const QList<std::pair<Kind, QString>>& names, const QString& name, Kind fallback, bool* ok) {
    for (const auto& [k, n] : names)
        if (n == name) {
            if (ok)
                *ok = true;
            return k;
        }
    if (ok)
        *ok = false;
    return fallback;
}

} // namespace

namespace {

const QList<std::pair<ControlKind, QString>>& controlNames() {
    static const QList<std::pair<ControlKind, QString>> names = {
        {ControlKind::Label, QStringLiteral("Label")},
        {ControlKind::Edit, QStringLiteral("Edit")},
        {ControlKind::Memo, QStringLiteral("Memo")},
        {ControlKind::DateEdit, QStringLiteral("DateEdit")},
        {ControlKind::ComboBox, QStringLiteral("ComboBox")},
        {ControlKind::CheckBox, QStringLiteral("CheckBox")},
        {ControlKind::RadioGroup, QStringLiteral("RadioGroup")},
        {ControlKind::Button, QStringLiteral("Button")},
        {ControlKind::CheckListBox, QStringLiteral("CheckListBox")},
    };
    return names;
}

const QList<std::pair<ChartType, QString>>& chartNames() {
    static const QList<std::pair<ChartType, QString>> names = {
        {ChartType::Bar, QStringLiteral("bar")},
        {ChartType::StackedBar, QStringLiteral("stackedBar")},
        {ChartType::Line, QStringLiteral("line")},
        {ChartType::Pie, QStringLiteral("pie")},
    };
    return names;
}

} // namespace

QString controlKindName(ControlKind kind) {
    return nameOf(controlNames(), kind);
}

ControlKind controlKindFromName(const QString& name, bool* ok) {
    return kindNamed(controlNames(), name, ControlKind::Edit, ok);
}

QString chartTypeName(ChartType type) {
    return nameOf(chartNames(), type);
}

ChartType chartTypeFromName(const QString& name, bool* ok) {
    return kindNamed(chartNames(), name, ChartType::Bar, ok);
}

QString bandKindName(BandKind kind) {
    return nameOf(bandNames(), kind);
}

BandKind bandKindFromName(const QString& name, bool* ok) {
    return kindNamed(bandNames(), name, BandKind::MasterData, ok);
}

QString objectKindName(ObjectKind kind) {
    return nameOf(objectNames(), kind);
}

ObjectKind objectKindFromName(const QString& name, bool* ok) {
    return kindNamed(objectNames(), name, ObjectKind::Text, ok);
}

QByteArray templateToXml(const ReportTemplate& report) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(RootName);
    w.writeAttribute(QStringLiteral("version"), QString::number(ReportTemplate::FormatVersion));
    w.writeStartElement(QStringLiteral("page"));
    w.writeAttribute(QStringLiteral("width"), num(report.page.size.width()));
    w.writeAttribute(QStringLiteral("height"), num(report.page.size.height()));
    w.writeAttribute(QStringLiteral("orientation"),
                     report.page.landscape ? QStringLiteral("landscape") : QStringLiteral("portrait"));
    w.writeAttribute(QStringLiteral("left"), num(report.page.marginLeft));
    w.writeAttribute(QStringLiteral("top"), num(report.page.marginTop));
    w.writeAttribute(QStringLiteral("right"), num(report.page.marginRight));
    w.writeAttribute(QStringLiteral("bottom"), num(report.page.marginBottom));
    w.writeEndElement();
    for (auto it = report.variables.cbegin(); it != report.variables.cend(); ++it) {
        w.writeStartElement(QStringLiteral("variable"));
        w.writeAttribute(QStringLiteral("name"), it.key());
        w.writeCharacters(it.value());
        w.writeEndElement();
    }
    for (const auto& d : report.datasets) {
        w.writeStartElement(QStringLiteral("dataset"));
        w.writeAttribute(QStringLiteral("name"), d.name);
        if (!d.master.isEmpty())
            w.writeAttribute(QStringLiteral("master"), d.master);
        w.writeCharacters(d.sql);
        w.writeEndElement();
    }
    if (!report.script.isEmpty())
        w.writeTextElement(QStringLiteral("script"), report.script);
    for (const auto& d : report.dialogs)
        writeDialog(w, d);
    for (const auto& b : report.bands)
        writeBand(w, b);
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

ReportTemplate templateFromXml(const QByteArray& xml) {
    QXmlStreamReader r(xml);
    ReportTemplate t;
    if (!r.readNextStartElement() || r.name() != RootName)
        throw Error(QStringLiteral("Файл не является шаблоном отчета"));
    const int version = r.attributes().value(QStringLiteral("version")).toInt();
    if (version < 1 || version > ReportTemplate::FormatVersion)
        throw Error(QStringLiteral("Неподдерживаемая версия шаблона отчета: %1")
                        .arg(r.attributes().value(QStringLiteral("version"))));
    while (r.readNextStartElement()) {
        const auto name = r.name();
        const auto a = r.attributes();
        if (name == u"page") {
            t.page.size = QSizeF(numAttr(a, QStringLiteral("width"), t.page.size.width()),
                                 numAttr(a, QStringLiteral("height"), t.page.size.height()));
            t.page.landscape = a.value(QStringLiteral("orientation")) == u"landscape";
            t.page.marginLeft = numAttr(a, QStringLiteral("left"), t.page.marginLeft);
            t.page.marginTop = numAttr(a, QStringLiteral("top"), t.page.marginTop);
            t.page.marginRight = numAttr(a, QStringLiteral("right"), t.page.marginRight);
            t.page.marginBottom = numAttr(a, QStringLiteral("bottom"), t.page.marginBottom);
            r.skipCurrentElement();
        } else if (name == u"variable") {
            const QString vname = a.value(QStringLiteral("name")).toString();
            t.variables.insert(vname, r.readElementText());
        } else if (name == u"dataset") {
            DatasetSpec d;
            d.name = a.value(QStringLiteral("name")).toString();
            d.master = a.value(QStringLiteral("master")).toString();
            d.sql = r.readElementText();
            t.datasets << d;
        } else if (name == u"script") {
            t.script = r.readElementText();
        } else if (name == u"band") {
            t.bands << readBand(r);
        } else if (name == u"dialog") {
            t.dialogs << readDialog(r);
        } else {
            fail(r, QStringLiteral("неизвестный элемент \"%1\"").arg(name));
        }
    }
    if (r.hasError())
        fail(r, r.errorString());
    return t;
}

QByteArray deflateBytes(const QByteArray& data) {
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        throw Error(QStringLiteral("Не удалось сжать шаблон отчета"));
    out.resize(qsizetype(size));
    return out;
}

bool inflateBytes(const QByteArray& data, QByteArray& out) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return false;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    zs.avail_in = uInt(data.size());
    QByteArray result;
    char buffer[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof buffer;
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc == Z_OK || rc == Z_STREAM_END)
            result.append(buffer, qsizetype(sizeof buffer - zs.avail_out));
        if (rc == Z_OK && zs.avail_in == 0 && zs.avail_out != 0)
            rc = Z_DATA_ERROR; // truncated stream
    }
    inflateEnd(&zs);
    if (rc != Z_STREAM_END)
        return false;
    out = result;
    return true;
}

QByteArray templateToBlob(const ReportTemplate& report, bool compress) {
    const QByteArray xml = templateToXml(report);
    return compress ? deflateBytes(xml) : xml;
}

ReportTemplate templateFromBlob(const QByteArray& blob) {
    QByteArray plain;
    if (inflateBytes(blob, plain))
        return templateFromXml(plain);
    return templateFromXml(blob);
}

} // namespace svod::engine
