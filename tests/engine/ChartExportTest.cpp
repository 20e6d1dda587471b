// Charts, shapes, rich text and check boxes in the HTML and RTF exports.
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/Chart.h"
#include "engine/Exports.h"
#include "engine/Report.h"
#include "engine/TemplateStorage.h"

using namespace svod::engine;
using namespace svod::engine::test;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

// A title line, a chart under it with a text beside it, rich text, a ticked check box and a
// line of text under the chart.
PreparedPages preparedSample() {
    TemplateObject chart;
    chart.kind = ObjectKind::Chart;
    chart.rect = QRectF(0, 20, 300, 200);
    chart.chart.dataset = QStringLiteral("DATA");
    chart.chart.categoryField = QStringLiteral("KOD");
    chart.chart.valueFields = {QStringLiteral("A")};
    chart.chart.title = QStringLiteral("По филиалам");
    TemplateObject rich = textObject(QRectF(0, 230, 300, 20), QStringLiteral("<b>Итого</b> <i>за год</i>"));
    rich.kind = ObjectKind::RichText;
    TemplateObject box = textObject(QRectF(310, 230, 14, 14), QStringLiteral("1"));
    box.kind = ObjectKind::CheckBox;
    ReportTemplate t;
    t.bands << band(BandKind::ReportTitle, 300,
                    {textObject(QRectF(0, 0, 300, 16), QStringLiteral("Заголовок")), chart,
                     textObject(QRectF(310, 20, 100, 16), QStringLiteral("Справа")), rich, box,
                     textObject(QRectF(0, 260, 300, 16), QStringLiteral("Подвал"))});
    Report report;
    report.setTemplate(t);
    RowSet rows;
    rows.fields = {QStringLiteral("KOD"), QStringLiteral("A")};
    rows.rows = {{QStringLiteral("01"), 10}, {QStringLiteral("02"), 20}};
    report.setMemoryDataset(QStringLiteral("DATA"), rows);
    EXPECT_TRUE(report.prepareReport());
    return report.preparedPages();
}

} // namespace

TEST(ChartExport, HtmlEmbedsThePictureInItsPlace) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.html"));
    exportPages(preparedSample(), path);
    const QString html = QString::fromUtf8(readAll(path));
    const QRegularExpression img(
        QStringLiteral("<img alt=\"Диаграмма\" style=\"width:300.0pt;height:200.0pt\" "
                       "src=\"data:image/png;base64,([A-Za-z0-9+/=]+)\">"));
    const auto m = img.match(html);
    ASSERT_TRUE(m.hasMatch());
    const QImage picture = QImage::fromData(QByteArray::fromBase64(m.captured(1).toLatin1()), "PNG");
    EXPECT_EQ(picture.size(), QSize(625, 417)) << "150 dpi";
    // In the order of the page: title, chart with the text beside it, rich text, footer.
    const qsizetype title = html.indexOf(QStringLiteral(">Заголовок<")), chart = m.capturedStart();
    const qsizetype right = html.indexOf(QStringLiteral(">Справа<")),
                    footer = html.indexOf(QStringLiteral(">Подвал<"));
    EXPECT_LT(title, chart);
    EXPECT_LT(chart, right);
    EXPECT_LT(right, footer);
    EXPECT_TRUE(html.contains(QStringLiteral("<b>Итого</b> <i>за год</i>")));
    EXPECT_TRUE(html.contains(QStringLiteral(">X</td>"))) << "the ticked check box";
}

TEST(ChartExport, RtfPicturesAndRichTextAsRuns) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.rtf"));
    exportPages(preparedSample(), path);
    const QByteArray rtf = readAll(path);
    const QRegularExpression pict(QStringLiteral("\\{\\\\pict\\\\pngblip\\\\picw(\\d+)\\\\pich(\\d+)"
                                                 "\\\\picwgoal(\\d+)\\\\pichgoal(\\d+)\\n([0-9a-f]+)\\}"));
    const auto m = pict.match(QString::fromLatin1(rtf));
    ASSERT_TRUE(m.hasMatch());
    EXPECT_EQ(m.captured(3).toInt(), 6000);
    EXPECT_EQ(m.captured(4).toInt(), 4000);
    const QImage picture = QImage::fromData(QByteArray::fromHex(m.captured(5).toLatin1()), "PNG");
    EXPECT_EQ(picture.size(), QSize(m.captured(1).toInt(), m.captured(2).toInt()));
    EXPECT_LT(rtf.indexOf("\\u1047?"), rtf.indexOf("\\pict")) << "title (З...) before the chart";
    // Rich text: bold and italic runs, no markup left.
    EXPECT_FALSE(rtf.contains("<b>"));
    EXPECT_TRUE(rtf.contains("\\b\\cf1 \\u1048?\\u1090?\\u1086?\\u1075?\\u1086?}")) << "bold \"Итого\"";
    EXPECT_TRUE(rtf.contains("\\i\\cf1 \\u1079?\\u1072?")) << "italic \"за год\"";
    EXPECT_TRUE(rtf.contains(" X}\\cell"));
}

namespace {

// A title, a rule under it, a filled rectangle and a rounded one side by side, a vertical line
// and a footer.
PreparedPages preparedShapes() {
    auto shape = [](ObjectKind kind, const QRectF& rect) {
        TemplateObject o;
        o.kind = kind;
        o.rect = rect;
        o.frame.color = QColor(0, 0, 255);
        o.frame.width = 2;
        return o;
    };
    TemplateObject rule = shape(ObjectKind::Line, QRectF(0, 18, 400, 0));
    TemplateObject box = shape(ObjectKind::Rectangle, QRectF(0, 30, 100, 40));
    box.fill = QColor(255, 255, 0);
    TemplateObject rounded = shape(ObjectKind::RoundRect, QRectF(120, 30, 80, 40));
    rounded.radius = 10;
    rounded.fill = QColor(0, 128, 0);
    TemplateObject upright = shape(ObjectKind::Line, QRectF(220, 80, 0, 60));
    ReportTemplate t;
    t.bands << band(BandKind::ReportTitle, 200,
                    {textObject(QRectF(0, 0, 300, 16), QStringLiteral("Заголовок")), rule, box, rounded,
                     upright, textObject(QRectF(0, 150, 300, 16), QStringLiteral("Подвал"))});
    Report report;
    report.setTemplate(t);
    EXPECT_TRUE(report.prepareReport());
    return report.preparedPages();
}

} // namespace

TEST(ShapeExport, HtmlDrawsLinesAndRectanglesAsBoxesInTheirPlace) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.html"));
    exportPages(preparedShapes(), path);
    const QString html = QString::fromUtf8(readAll(path));
    const QRegularExpression div(QStringLiteral("<div class=\"(\\w+)\" style=\"([^\"]*)\"></div>"));
    QStringList kinds, styles;
    for (auto it = div.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        kinds << m.captured(1);
        styles << m.captured(2);
    }
    ASSERT_EQ(kinds, (QStringList{QStringLiteral("line"), QStringLiteral("rect"), QStringLiteral("roundrect"),
                                  QStringLiteral("line")}));
    EXPECT_EQ(styles[0], QStringLiteral("width:400.0pt;height:0;border-top:1.5pt solid #0000ff;"));
    EXPECT_TRUE(styles[1].contains(QStringLiteral("width:100.0pt;height:40.0pt;")));
    EXPECT_TRUE(styles[1].contains(QStringLiteral("background:#ffff00;")));
    EXPECT_FALSE(styles[1].contains(QStringLiteral("radius")));
    EXPECT_TRUE(styles[2].contains(QStringLiteral("border:1.5pt solid #0000ff;")));
    EXPECT_TRUE(styles[2].contains(QStringLiteral("background:#008000;border-radius:10.0pt;")));
    EXPECT_EQ(styles[3], QStringLiteral("width:0;height:60.0pt;border-left:1.5pt solid #0000ff;"));
    // In the order of the page, the two boxes side by side in one row.
    const qsizetype title = html.indexOf(QStringLiteral(">Заголовок<")),
                    rule = html.indexOf(QStringLiteral("class=\"line\"")),
                    footer = html.indexOf(QStringLiteral(">Подвал<"));
    EXPECT_LT(title, rule);
    EXPECT_LT(html.lastIndexOf(QStringLiteral("class=\"line\"")), footer);
    const qsizetype box = html.indexOf(QStringLiteral("class=\"rect\"")),
                    rounded = html.indexOf(QStringLiteral("class=\"roundrect\""));
    EXPECT_FALSE(html.mid(box, rounded - box).contains(QStringLiteral("<tr>"))) << "one row";
}

TEST(ShapeExport, RtfDrawsThemAsDrawingObjects) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.rtf"));
    exportPages(preparedShapes(), path, ExportOptions{});
    const QString rtf = QString::fromLatin1(readAll(path));
    // Each drawing object: its size, then its properties by name.
    const QRegularExpression shp(QStringLiteral(
        "\\{\\\\shp\\{\\\\\\*\\\\shpinst\\\\shpleft0\\\\shptop0\\\\shpright(\\d+)"
        "\\\\shpbottom(\\d+)[^{]*((?:\\{\\\\sp\\{\\\\sn \\w+\\}\\{\\\\sv -?\\d+\\}\\})*)\\}\\}"));
    const QRegularExpression sp(QStringLiteral("\\{\\\\sp\\{\\\\sn (\\w+)\\}\\{\\\\sv (-?\\d+)\\}\\}"));
    QList<QMap<QString, qint64>> shapes;
    for (auto it = shp.globalMatch(rtf); it.hasNext();) {
        const auto m = it.next();
        QMap<QString, qint64> props{{QStringLiteral("right"), m.captured(1).toLongLong()},
                                    {QStringLiteral("bottom"), m.captured(2).toLongLong()}};
        for (auto p = sp.globalMatch(m.captured(3)); p.hasNext();) {
            const auto pm = p.next();
            props[pm.captured(1)] = pm.captured(2).toLongLong();
        }
        shapes << props;
    }
    ASSERT_EQ(shapes.size(), 4) << rtf.toStdString();
    const RtfOptions scale; // twips, widths scaled as the cells are
    EXPECT_EQ(shapes[0][QStringLiteral("shapeType")], 20);
    EXPECT_EQ(shapes[0][QStringLiteral("right")], qRound(400 * 20 * scale.scaleX));
    EXPECT_EQ(shapes[0][QStringLiteral("bottom")], 0);
    EXPECT_EQ(shapes[0][QStringLiteral("lineColor")], 0xff0000) << "blue as 0x00BBGGRR";
    EXPECT_EQ(shapes[0][QStringLiteral("lineWidth")], 19050) << "1.5 pt in EMU";
    EXPECT_EQ(shapes[1][QStringLiteral("shapeType")], 1);
    EXPECT_EQ(shapes[1][QStringLiteral("fFilled")], 1);
    EXPECT_EQ(shapes[1][QStringLiteral("fillColor")], 0x00ffff);
    EXPECT_EQ(shapes[1][QStringLiteral("bottom")], qRound(40 * 20 * scale.scaleY));
    EXPECT_EQ(shapes[2][QStringLiteral("shapeType")], 2);
    EXPECT_EQ(shapes[2][QStringLiteral("adjustValue")], 5400) << "10 pt of 40: a quarter";
    EXPECT_EQ(shapes[2][QStringLiteral("fillColor")], 0x008000);
    EXPECT_EQ(shapes[3][QStringLiteral("shapeType")], 20);
    EXPECT_EQ(shapes[3][QStringLiteral("right")], 0);
    EXPECT_EQ(shapes[3][QStringLiteral("bottom")], qRound(60 * 20 * scale.scaleY));
    // The title before the rule, the footer after the last line.
    EXPECT_LT(rtf.indexOf(QStringLiteral("\\u1047?")), rtf.indexOf(QStringLiteral("{\\shp")));
    EXPECT_GT(rtf.indexOf(QStringLiteral("\\u1055?")), rtf.lastIndexOf(QStringLiteral("{\\shp")));
}
