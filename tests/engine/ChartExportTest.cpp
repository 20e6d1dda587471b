// Charts, rich text and check boxes in the HTML and RTF exports.
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
