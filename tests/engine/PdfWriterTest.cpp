#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

#include "db/Error.h"
#include "engine/Chart.h"
#include "engine/Painter.h"
#include "engine/PdfWriter.h"

using namespace svod::engine;

namespace {

PreparedObject textCell(const QRectF& rect, const QString& text) {
    PreparedObject o;
    o.rect = rect;
    o.text = text;
    o.frame.sides = FrameAll;
    return o;
}

QByteArray png() {
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(QColor(200, 0, 0, 128));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The text poppler reads back, or an empty string with a reason when it is not installed.
QString pdfText(const QString& path, QString& why) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) {
        why = QStringLiteral("pdftotext (poppler-utils) is not installed");
        return {};
    }
    QProcess p;
    p.start(tool, {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

PreparedObject chartObject(const QPointF& at, const QString& title, double value) {
    ChartData data;
    data.title = title;
    data.categories = {QStringLiteral("Январь"), QStringLiteral("Февраль")};
    data.seriesTitles = {QStringLiteral("Здания")};
    data.values = {{value, -value / 2}};
    PreparedObject o;
    o.kind = ObjectKind::Chart;
    o.rect = QRectF(at, QSizeF(300, 200));
    o.picture = encodeChart(data);
    return o;
}

class DirectPdf : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

// Every flate stream of a file, uncompressed, in file order.
QList<QByteArray> pdfStreams(const QByteArray& pdf) {
    QList<QByteArray> streams;
    for (qsizetype at = pdf.indexOf("/FlateDecode /Length "); at >= 0;
         at = pdf.indexOf("/FlateDecode /Length ", at + 1)) {
        const qsizetype length = at + 21;
        const qsizetype start = pdf.indexOf("stream\n", length) + 7;
        QByteArray packed = pdf.mid(start, pdf.mid(length, 10).split(' ').first().toInt());
        const quint32 big = 1 << 20; // qUncompress wants the size first
        packed.prepend(char(big & 0xff))
            .prepend(char((big >> 8) & 0xff))
            .prepend(char((big >> 16) & 0xff))
            .prepend(char(big >> 24));
        streams << qUncompress(packed);
    }
    return streams;
}

} // namespace

TEST_F(DirectPdf, WritesEveryPageWithReadableText) {
    PreparedPages pages;
    for (int p = 0; p < 3; ++p) {
        PreparedPage page;
        page.landscape = p == 1;
        page.objects << textCell(QRectF(20, 20, 200, 14), QStringLiteral("Станок №%1 Total").arg(p + 1));
        PreparedObject clipped = textCell(QRectF(20, 40, 30, 14), QStringLiteral("Очень длинный текст"));
        clipped.font.bold = true;
        clipped.font.underline = true;
        clipped.fill = QColor(0, 0, 128);
        clipped.font.color = Qt::white;
        page.objects << clipped;
        PreparedObject wrapped = textCell(QRectF(20, 60, 80, 60), QStringLiteral("перенос слов по ширине"));
        wrapped.wordWrap = true;
        wrapped.alignment = Qt::AlignRight | Qt::AlignBottom;
        page.objects << wrapped;
        PreparedObject line;
        line.kind = ObjectKind::Line;
        line.rect = QRectF(20, 130, 100, 0);
        page.objects << line;
        PreparedObject rounded;
        rounded.kind = ObjectKind::RoundRect;
        rounded.rect = QRectF(20, 140, 50, 20);
        rounded.radius = 5;
        rounded.fill = Qt::yellow;
        page.objects << rounded;
        PreparedObject box;
        box.kind = ObjectKind::CheckBox;
        box.rect = QRectF(80, 140, 10, 10);
        box.checked = true;
        page.objects << box;
        PreparedObject picture;
        picture.kind = ObjectKind::Picture;
        picture.rect = QRectF(100, 140, 40, 30);
        picture.picture = png(); // the same picture on every page is stored once
        page.objects << picture;
        // Characters the face lacks or that need shaping go as outlines.
        page.objects << textCell(QRectF(20, 180, 200, 14), QStringLiteral("漢字 e\u0301"));
        pages.addPage(page);
    }
    ASSERT_TRUE(writeDirectPdf(pages, path("r.pdf")));
    QFile file(path("r.pdf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    EXPECT_TRUE(pdf.startsWith("%PDF-1.4"));
    EXPECT_TRUE(pdf.endsWith("%%EOF\n"));
    EXPECT_EQ(pdf.count("/Type /Page "), 3);
    EXPECT_EQ(pdf.count("/Subtype /Image"), 2); // the picture and its transparency mask
    EXPECT_EQ(pdf.count("/Subtype /Type0"), 2); // regular and bold
    EXPECT_TRUE(pdf.contains("/MediaBox [0 0 841.89 595.28]"));

    QString why;
    const QString text = pdfText(path("r.pdf"), why);
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    for (int p = 1; p <= 3; ++p)
        EXPECT_TRUE(text.contains(QStringLiteral("Станок №%1 Total").arg(p))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("перенос"))) << text.toStdString();
    EXPECT_EQ(text.count(u'\f'), 3);
}

// Glyph codes are written as raw bytes: those that read as string delimiters or line ends must
// come back as the characters they are.
TEST_F(DirectPdf, EveryCharacterOfAStringComesBack) {
    QStringList lines;
    QString line;
    for (char16_t c = 0x21; c < 0x7f; ++c)
        line += QChar(c);
    for (char16_t c = 0x410; c < 0x450; ++c)
        line += QChar(c);
    line += QStringLiteral("Ёё№");
    for (qsizetype i = 0; i < line.size(); i += 24)
        lines << line.mid(i, 24);
    PreparedPages pages;
    PreparedPage page;
    for (qsizetype i = 0; i < lines.size(); ++i)
        page.objects << textCell(QRectF(20, 20 + 16 * i, 400, 14), lines[i]);
    pages.addPage(page);
    ASSERT_TRUE(writeDirectPdf(pages, path("all.pdf")));
    QString why;
    const QString text = pdfText(path("all.pdf"), why);
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    for (const auto& l : lines)
        EXPECT_TRUE(text.contains(l)) << l.toStdString() << "\n" << text.toStdString();
}

TEST_F(DirectPdf, RichTextAndTranslucentColoursAreLeftToThePainter) {
    PreparedPages rich;
    PreparedPage page;
    PreparedObject html;
    html.kind = ObjectKind::RichText;
    html.rect = QRectF(10, 10, 200, 50);
    html.text = QStringLiteral("<b>Жирный</b> текст");
    page.objects << html;
    rich.addPage(page);
    EXPECT_FALSE(writeDirectPdf(rich, path("rich.pdf")));
    EXPECT_FALSE(QFile::exists(path("rich.pdf"))); // nothing half written

    PreparedPages translucent;
    PreparedObject cell = textCell(QRectF(10, 10, 100, 14), QStringLiteral("x"));
    cell.fill = QColor(255, 0, 0, 100);
    translucent.addPage(PreparedPage{{}, false, {cell}});
    EXPECT_FALSE(writeDirectPdf(translucent, path("t.pdf")));
    EXPECT_FALSE(writeDirectPdf(PreparedPages{}, path("empty.pdf")));

    // writePdf still writes them all, through the painter.
    for (const auto* pages : {&rich, &translucent}) {
        writePdf(*pages, path("any.pdf"));
        QFile file(path("any.pdf"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().startsWith("%PDF"));
    }
    EXPECT_THROW(writePdf(translucent, path("missing/dir/x.pdf")), svod::Error);
    PreparedPages plain;
    plain.addPage(PreparedPage{{}, false, {textCell(QRectF(10, 10, 100, 14), QStringLiteral("x"))}});
    EXPECT_THROW(writeDirectPdf(plain, path("missing/dir/x.pdf")), svod::Error);
}

TEST_F(DirectPdf, AChartMetOnceIsDrawnInItsPageARepeatedOneOnceIntoAForm) {
    PreparedPages pages;
    // The same chart on the first, third and fourth page at other places, another on the second.
    const PreparedObject charts[] = {chartObject(QPointF(20, 20), QStringLiteral("Остатки"), 1500),
                                     chartObject(QPointF(20, 20), QStringLiteral("Износ"), 700),
                                     chartObject(QPointF(40, 300), QStringLiteral("Остатки"), 1500),
                                     chartObject(QPointF(60, 100), QStringLiteral("Остатки"), 1500)};
    for (const auto& chart : charts) {
        PreparedPage page;
        page.objects << chart;
        pages.addPage(page);
    }
    ASSERT_TRUE(writeDirectPdf(pages, path("c.pdf")));
    QFile file(path("c.pdf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    EXPECT_EQ(pdf.count("/Subtype /Form"), 1);
    EXPECT_TRUE(pdf.contains("/Ch1 ")) << "named in the resources";
    EXPECT_FALSE(pdf.contains("/Ch2 "));
    QList<QByteArray> pageStreams, formStreams;
    const QList<QByteArray> streams = pdfStreams(pdf);
    for (const auto& stream : streams)
        (stream.startsWith("1 0 0 -1 0 ") ? pageStreams : formStreams) << stream;
    ASSERT_EQ(pageStreams.size(), 4);
    // The first two pages draw their charts themselves, clipped to the chart's rectangle, the bars
    // as rectangles; the later two place the form.
    for (int p : {0, 1}) {
        EXPECT_TRUE(pageStreams[p].contains("q 1 0 0 1 20 20 cm 0 0 ")) << pageStreams[p].toStdString();
        EXPECT_TRUE(pageStreams[p].contains(" re W n\n"));
        EXPECT_TRUE(pageStreams[p].contains(" re f\n"));
        EXPECT_FALSE(pageStreams[p].contains(" Do "));
    }
    EXPECT_TRUE(pageStreams[2].contains("q 1 0 0 1 40 300 cm /Ch1 Do Q")) << pageStreams[2].toStdString();
    EXPECT_TRUE(pageStreams[3].contains("q 1 0 0 1 60 100 cm /Ch1 Do Q")) << pageStreams[3].toStdString();
    ASSERT_FALSE(formStreams.isEmpty());
    EXPECT_TRUE(std::any_of(formStreams.begin(), formStreams.end(),
                            [](const QByteArray& s) { return s.contains(" re f\n"); }));

    QString why;
    const QString text = pdfText(path("c.pdf"), why);
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QStringList byPage = text.split(u'\f');
    ASSERT_GE(byPage.size(), 3);
    EXPECT_TRUE(byPage[0].contains(QStringLiteral("Остатки"))) << text.toStdString();
    EXPECT_TRUE(byPage[1].contains(QStringLiteral("Износ"))) << text.toStdString();
    EXPECT_TRUE(byPage[2].contains(QStringLiteral("Остатки"))) << text.toStdString();
    EXPECT_TRUE(byPage[2].contains(QStringLiteral("Февраль"))) << text.toStdString();
    EXPECT_TRUE(byPage[3].contains(QStringLiteral("Остатки"))) << text.toStdString();
    EXPECT_FALSE(byPage[1].contains(QStringLiteral("Остатки"))) << text.toStdString();
}

TEST_F(DirectPdf, ChartsOfTheirOwnShareTheirFrameThroughAForm) {
    // Four charts of the same titles and months with values of their own on one scale.
    PreparedPages pages;
    for (double value : {1500.0, 1400.0, 1300.0, 1450.0}) {
        PreparedPage page;
        page.objects << chartObject(QPointF(20, 20), QStringLiteral("Остатки"), value);
        pages.addPage(page);
    }
    ASSERT_TRUE(writeDirectPdf(pages, path("f.pdf")));
    QFile file(path("f.pdf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    EXPECT_EQ(pdf.count("/Subtype /Form"), 1);
    QList<QByteArray> pageStreams, formStreams;
    for (const auto& stream : pdfStreams(pdf))
        (stream.startsWith("1 0 0 -1 0 ") ? pageStreams : formStreams) << stream;
    ASSERT_EQ(pageStreams.size(), 4);
    // The first page draws it all; the others place the frame and draw their own bars, clipped.
    EXPECT_FALSE(pageStreams[0].contains(" Do"));
    for (int p : {1, 2, 3}) {
        EXPECT_TRUE(pageStreams[p].contains("q 1 0 0 1 20 20 cm 0 0 300 200 re W n\n/Ch1 Do\n"))
            << pageStreams[p].toStdString();
        EXPECT_TRUE(pageStreams[p].contains(" re f\n"));
        EXPECT_FALSE(pageStreams[p].contains("Tj")) << "no label of the frame";
        // The bars in whole hundredths of a point, the page's scale back after them.
        const qsizetype bars = pageStreams[p].indexOf("q 0.01 0 0 0.01 0 0 cm\n");
        ASSERT_GE(bars, 0) << pageStreams[p].toStdString();
        const QByteArray scaled = pageStreams[p].mid(bars, pageStreams[p].indexOf("Q\n", bars) - bars);
        EXPECT_TRUE(scaled.contains(" re f\n"));
        EXPECT_FALSE(QString::fromLatin1(scaled).contains(QRegularExpression(QStringLiteral("\\.\\d+ re "))))
            << scaled.toStdString();
        EXPECT_TRUE(pageStreams[p].endsWith("f\nQ\nQ\n")) << pageStreams[p].toStdString();
    }
    EXPECT_NE(pageStreams[1].mid(pageStreams[1].indexOf("Do")),
              pageStreams[2].mid(pageStreams[2].indexOf("Do")));
    EXPECT_TRUE(std::any_of(formStreams.begin(), formStreams.end(), [](const QByteArray& s) {
        return s.contains("Tj");
    })) << "the frame has the labels";

    QString why;
    const QString text = pdfText(path("f.pdf"), why);
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QStringList byPage = text.split(u'\f');
    ASSERT_GE(byPage.size(), 4);
    for (int p = 0; p < 4; ++p)
        for (const QString& label :
             {QStringLiteral("Остатки"), QStringLiteral("Февраль"), QStringLiteral("Здания")})
            EXPECT_TRUE(byPage[p].contains(label)) << p << ' ' << text.toStdString();
}

TEST_F(DirectPdf, ChartsSeenOnceAreForgottenThoseWithAFormKept) {
    // A chart twice (a form), then more charts of their own than the writer keeps, then the first again.
    PreparedPages pages;
    auto add = [&](const PreparedObject& chart) {
        PreparedPage page;
        page.objects << chart;
        pages.addPage(page);
    };
    const PreparedObject first = chartObject(QPointF(20, 20), QStringLiteral("Остатки"), 1500);
    add(first);
    add(first);
    for (int i = 0; i < 1100; ++i)
        add(chartObject(QPointF(20, 20), QStringLiteral("Филиал %1").arg(i), 100 + i));
    add(first);
    ASSERT_TRUE(writeDirectPdf(pages, path("many.pdf")));
    QFile file(path("many.pdf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    EXPECT_EQ(pdf.count("/Subtype /Form"), 1);
    EXPECT_TRUE(pdf.contains("/Ch1 ")) << "named in the resources";
    const QList<QByteArray> streams = pdfStreams(pdf);
    QList<QByteArray> pageStreams;
    for (const auto& stream : streams)
        if (stream.startsWith("1 0 0 -1 0 "))
            pageStreams << stream;
    ASSERT_EQ(pageStreams.size(), 1103);
    EXPECT_TRUE(pageStreams.last().contains("q 1 0 0 1 20 20 cm /Ch1 Do Q"))
        << pageStreams.last().toStdString();
    EXPECT_TRUE(pageStreams[1102 - 1].contains("Tj")) << "a chart of its own drawn whole";
}

TEST_F(DirectPdf, ChartLabelsDrawnBeforeComeBackInTheirOwnColour) {
    // Three charts of their own with the same months and series at the same places; the third in red.
    PreparedPages pages;
    PreparedObject red = chartObject(QPointF(20, 20), QStringLiteral("Износ"), 300);
    red.font.color = Qt::red;
    for (const auto& chart : {chartObject(QPointF(20, 20), QStringLiteral("Остатки"), 1500),
                              chartObject(QPointF(20, 20), QStringLiteral("Износ"), 700), red}) {
        PreparedPage page;
        page.objects << chart;
        pages.addPage(page);
    }
    ASSERT_TRUE(writeDirectPdf(pages, path("l.pdf")));
    QFile file(path("l.pdf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> pageStreams;
    for (const auto& stream : pdfStreams(file.readAll()))
        if (stream.startsWith("1 0 0 -1 0 "))
            pageStreams << stream;
    ASSERT_EQ(pageStreams.size(), 3);
    EXPECT_FALSE(pageStreams[1].contains("1 0 0 rg"));
    EXPECT_TRUE(pageStreams[2].contains("1 0 0 rg\nBT")) << pageStreams[2].toStdString();

    QString why;
    const QString text = pdfText(path("l.pdf"), why);
    if (!why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QStringList byPage = text.split(u'\f');
    ASSERT_GE(byPage.size(), 3);
    for (int p = 0; p < 3; ++p)
        for (const QString& label :
             {QStringLiteral("Январь"), QStringLiteral("Февраль"), QStringLiteral("Здания")})
            EXPECT_TRUE(byPage[p].contains(label)) << p << ' ' << text.toStdString();
    EXPECT_TRUE(byPage[2].contains(QStringLiteral("Износ")));
}
