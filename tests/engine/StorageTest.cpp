#include <QBuffer>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <zlib.h>

#include "EngineTestSupport.h"
#include "db/Error.h"
#include "engine/Report.h"
#include "engine/TemplateStorage.h"

using namespace svod::engine;
using namespace svod::engine::test;

namespace {

ReportTemplate everyKind() {
    ReportTemplate t;
    t.page.landscape = true;
    t.page.marginLeft = 10;
    t.variables.insert(QStringLiteral("DATE_TO"), QStringLiteral("'31.12.2000'"));
    t.datasets << DatasetSpec{
        QStringLiteral("Q"), QStringLiteral("SELECT * FROM INV WHERE KOD_F = :KOD"), {}};
    t.datasets << DatasetSpec{QStringLiteral("D"), QStringLiteral("SELECT * FROM INV_OST WHERE ID = :ID"),
                              QStringLiteral("Q")};
    t.script = QStringLiteral("var x = 1 < 2 && \"Остаток\";");
    const QList<BandKind> kinds{BandKind::ReportTitle,   BandKind::PageHeader,   BandKind::ColumnHeader,
                                BandKind::GroupHeader,   BandKind::MasterData,   BandKind::DetailData,
                                BandKind::GroupFooter,   BandKind::ColumnFooter, BandKind::PageFooter,
                                BandKind::ReportSummary, BandKind::Child};
    for (auto kind : kinds) {
        Band b =
            band(kind, 20, {textObject(QRectF(1, 2, 30, 4), QStringLiteral("Итого: [SUM([SALDO])] <&>"))});
        b.name = bandKindName(kind);
        b.condition = kind == BandKind::GroupHeader ? QStringLiteral("KOD_F") : QString();
        b.allowSplit = kind == BandKind::MasterData;
        t.bands << b;
    }
    auto& objects = t.bands[4].objects;
    TemplateObject o = textObject(QRectF(0, 0, 50, 10), QStringLiteral("[SALDO]"));
    o.displayFormat = QStringLiteral("#0.00");
    o.font.bold = true;
    o.font.color = QColor(0, 0, 128);
    o.frame.sides = FrameLeft | FrameBottom;
    o.fill = Qt::yellow;
    o.alignment = Qt::AlignRight | Qt::AlignVCenter;
    o.wordWrap = o.stretch = true;
    objects << o;
    for (auto kind : {ObjectKind::Line, ObjectKind::Rectangle, ObjectKind::RoundRect, ObjectKind::Picture,
                      ObjectKind::CheckBox, ObjectKind::RichText}) {
        TemplateObject x =
            textObject(QRectF(5, 5, 10, 10), kind == ObjectKind::RichText ? "<b>жирный</b>" : "");
        x.kind = kind;
        x.radius = kind == ObjectKind::RoundRect ? 3 : 0;
        x.picture = kind == ObjectKind::Picture ? QByteArray("\x89PNG\0\1", 6) : QByteArray();
        objects << x;
    }
    return t;
}

} // namespace

TEST(TemplateStorage, XmlKeepsEveryBandObjectAndSetting) {
    const ReportTemplate t = everyKind();
    const QByteArray xml = templateToXml(t);
    EXPECT_TRUE(xml.contains("version=\"1\""));
    EXPECT_EQ(templateFromXml(xml), t);
}

TEST(TemplateStorage, FileRoundTripAndLoadContract) {
    QTemporaryDir dir;
    Report report;
    report.setTemplate(everyKind());
    report.setFileName(QStringLiteral("orig"));
    const QString path = dir.filePath(QStringLiteral("Баланс.frf"));
    report.saveToFile(path);
    EXPECT_EQ(report.fileName(), QStringLiteral("orig")); // saving keeps the name

    Report loaded;
    EXPECT_FALSE(loaded.loadFromFile(dir.filePath(QStringLiteral("missing.frf"))));
    EXPECT_TRUE(loaded.reportTemplate().isEmpty());
    ASSERT_TRUE(loaded.loadFromFile(path));
    EXPECT_EQ(loaded.fileName(), path);
    EXPECT_EQ(loaded.reportTemplate(), report.reportTemplate());

    loaded.clear();
    EXPECT_TRUE(loaded.reportTemplate().isEmpty());
    EXPECT_EQ(loaded.fileName(), path);
}

TEST(TemplateStorage, BlobIsDeflatedAtDefaultLevelAndPlainBlobsStillLoad) {
    Report report;
    report.setTemplate(everyKind());
    const QByteArray blob = report.saveToBlob(true);
    const QByteArray xml = templateToXml(report.reportTemplate());
    // Exactly zlib's own default-level stream.
    uLongf size = compressBound(uLong(xml.size()));
    QByteArray expected(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef*>(expected.data()), &size,
              reinterpret_cast<const Bytef*>(xml.constData()), uLong(xml.size()), Z_DEFAULT_COMPRESSION);
    expected.resize(qsizetype(size));
    EXPECT_EQ(blob, expected);

    Report fromCompressed, fromPlain;
    fromCompressed.loadFromBlob(blob);
    fromPlain.loadFromBlob(xml);
    EXPECT_EQ(fromCompressed.reportTemplate(), report.reportTemplate());
    EXPECT_EQ(fromPlain.reportTemplate(), report.reportTemplate());
}

TEST(TemplateStorage, DamagedInputIsRefusedWithAMessage) {
    EXPECT_THROW(templateFromXml("not xml at all"), svod::Error);
    EXPECT_THROW(templateFromXml("<svod-report version=\"99\"/>"), svod::Error);
    EXPECT_THROW(templateFromXml("<svod-report version=\"1\"><band kind=\"bogus\"/></svod-report>"),
                 svod::Error);
    QByteArray truncated = deflateBytes(templateToXml(everyKind()));
    truncated.chop(10);
    QByteArray out;
    EXPECT_FALSE(inflateBytes(truncated, out));
}

TEST(PreparedPagesStream, FrpRoundTripKeepsEveryProperty) {
    PreparedPages pages;
    PreparedPage page;
    page.landscape = true;
    PreparedObject o;
    o.rect = QRectF(1.5, 2.5, 100, 12);
    o.text = QStringLiteral("Остаточная стоимость");
    o.font.italic = true;
    o.frame.sides = FrameAll;
    o.fill = QColor(0, 0, 128);
    o.valueKind = ValueKind::Number;
    o.number = 1234.5;
    page.objects << o;
    PreparedObject box;
    box.kind = ObjectKind::CheckBox;
    box.checked = true;
    page.objects << box;
    pages.addPage(page);
    pages.addPage(PreparedPage{});

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.frp"));
    pages.saveToFile(path);
    PreparedPages loaded;
    loaded.loadFromFile(path);
    EXPECT_EQ(loaded, pages);

    QByteArray bytes = pages.toBytes();
    bytes.truncate(bytes.size() / 2);
    EXPECT_THROW(loaded.fromBytes(bytes), svod::Error);
    EXPECT_EQ(loaded, pages); // a failed load changes nothing
}

namespace {

// Objects that exercise every branch of the page encoding.
PreparedPage assortedPage() {
    PreparedPage page;
    page.size = QSizeF(612.5, 792.125);
    PreparedObject cell;
    cell.rect = QRectF(28.35, 40, 45.9375, 12.0625);
    cell.text = QStringLiteral("Текст 1-2");
    cell.frame.sides = FrameAll;
    page.objects << cell;
    cell.rect.translate(cell.rect.width(), 0); // follows the previous one
    cell.text = QStringLiteral("1 234,50");
    cell.alignment = Qt::AlignRight | Qt::AlignVCenter;
    cell.valueKind = ValueKind::Number;
    cell.number = 1234.5;
    page.objects << cell;
    PreparedObject odd;
    odd.rect = QRectF(-0.1, 1e-9, 1.0 / 3, 1e300);
    odd.text = QString(QChar(0xd800)) + QStringLiteral("x\n\r\t"); // a lone surrogate survives too
    odd.font.family = QStringLiteral("DejaVu Serif");
    odd.font.sizePt = 7.25;
    odd.font.bold = odd.font.italic = odd.font.underline = true;
    odd.font.color = QColor::fromHsv(120, 200, 100, 128);
    odd.frame = {FrameLeft | FrameBottom, 2.5, QColor::fromCmyk(1, 2, 3, 4)};
    odd.fill = QColor(10, 20, 30, 40);
    odd.wordWrap = true;
    odd.valueKind = ValueKind::Date;
    odd.number = 36891;
    page.objects << odd;
    PreparedObject picture;
    picture.kind = ObjectKind::Picture;
    picture.rect = QRectF(0, 0, 50, 50);
    picture.picture = QByteArray("\x89PNG\0\1\2", 7);
    page.objects << picture;
    PreparedObject rounded;
    rounded.kind = ObjectKind::RoundRect;
    rounded.radius = 4.5;
    rounded.rect = QRectF(5, 5, 20, 10);
    page.objects << rounded;
    PreparedObject box;
    box.kind = ObjectKind::CheckBox;
    box.checked = true;
    page.objects << box;
    page.objects << PreparedObject{}; // empty text, default style again
    return page;
}

} // namespace

TEST(PreparedPageEncoding, EveryPropertySurvivesAndPagesDecodeOneByOne) {
    const PreparedPage page = assortedPage();
    EXPECT_EQ(decodePage(encodePage(page)), page);
    EXPECT_EQ(decodePage(encodePage(PreparedPage{})), PreparedPage{});

    PreparedPages pages;
    pages.addPage(page);
    PreparedPage landscape;
    landscape.landscape = true;
    pages.addPage(landscape);
    EXPECT_EQ(pages.page(0), page);
    EXPECT_EQ(pages.page(1), landscape);
    EXPECT_EQ(pages.orientedSize(1), landscape.orientedSize());
    EXPECT_EQ(pages.pageSize(0), page.size);
    ASSERT_EQ(pages.count(), 2);
    EXPECT_EQ(pages.page(0), page);

    PreparedPages loaded;
    loaded.fromBytes(pages.toBytes());
    EXPECT_EQ(loaded, pages);
    EXPECT_EQ(loaded.page(0), page);
}

TEST(PreparedPageEncoding, TextsOfEveryUtf8LengthSurvive) {
    PreparedPage page;
    PreparedObject cell;
    cell.font.family = QStringLiteral("Шрифт 字体");
    for (const QString& text : {QStringLiteral("ascii ~\x7f"), QStringLiteral("Ёлка ß ©\u07ff"),
                                QStringLiteral("漢字 \u0800 \uffff"),
                                QStringLiteral("\U0001F600 и \U0010FFFF"), QStringLiteral("\U0001F600")}) {
        cell.text = text;
        page.objects << cell;
    }
    const PreparedPage decoded = decodePage(encodePage(page));
    EXPECT_EQ(decoded, page);
    // UTF-8: the emoji takes four bytes, not the six of its two halves.
    page.objects = {page.objects.last()};
    PreparedPage plain = page;
    plain.objects[0].text = QStringLiteral("abcd");
    EXPECT_EQ(encodePage(page).size(), encodePage(plain).size());
}

TEST(PreparedPageEncoding, AValueTheTextReadsAsIsStoredOnce) {
    PreparedPage page;
    PreparedObject cell;
    cell.text = QStringLiteral("1 234,50");
    cell.valueKind = ValueKind::Number;
    cell.number = 1234.5;
    page.objects << cell;
    const qsizetype inText = encodePage(page).size();
    page.objects[0].number = 1234.49; // another value than the text shows keeps its own
    EXPECT_GT(encodePage(page).size(), inText);
    EXPECT_EQ(decodePage(encodePage(page)), page);
    PreparedObject date;
    date.text = QStringLiteral("29.02.2024");
    date.valueKind = ValueKind::Date;
    date.number = 45351;
    page.objects << date << cell;
    page.objects[2].number = -0.0;
    page.objects[2].text = QStringLiteral("0");
    const PreparedPage decoded = decodePage(encodePage(page));
    EXPECT_EQ(decoded, page);
    EXPECT_TRUE(std::signbit(decoded.objects[2].number)) << "-0 is not the 0 the text reads";

    PreparedPages pages;
    pages.addPage(page);
    EXPECT_EQ(pages.toBytes().mid(4, 4), QByteArray("\0\0\0\4", 4));
}

// A cell's text is stored as what it shares with the cell above it and the rest; .frp files of
// the versions before, without that, still load.
TEST(PreparedPageEncoding, ATextSharesItsStartWithTheCellAbove) {
    PreparedPage page;
    PreparedObject cell;
    cell.rect = QRectF(10, 0, 50, 12);
    for (const QString& text :
         {QStringLiteral("Текст 1234-1"), QStringLiteral("Текст 1235-1"), QStringLiteral("Текст"),
          QStringLiteral("Текст 1235-1"), QStringLiteral("x\U0001F600"), QStringLiteral("x\U0001F601"),
          QString(QStringLiteral("x\U0001F601") + QChar(0xdc00))}) { // the last: shared, then UTF-16
        cell.text = text;
        page.objects << cell;
        cell.rect.translate(0, 12);
    }
    PreparedObject beside = cell; // another column: nothing shared
    beside.rect.moveLeft(60);
    beside.text = QStringLiteral("Текст 1234-1");
    page.objects << beside;
    const QByteArray bytes = encodePage(page);
    EXPECT_EQ(decodePage(bytes), page);
    EXPECT_TRUE(bytes.contains(QByteArray("\x09\x03"
                                          "5-1")))
        << "nine characters shared, three written";
    EXPECT_EQ(bytes.count(QStringLiteral("Текст 1234-1").toUtf8()), 2);

    // The same page as version 3 wrote it: the texts whole, without the shared length.
    PreparedPage one;
    PreparedObject alone;
    alone.text = QStringLiteral("Текст 1-2");
    one.objects << alone;
    QByteArray v3 = encodePage(one);
    const QByteArray text = '\0' + QByteArray(1, char(alone.text.toUtf8().size())) + alone.text.toUtf8();
    ASSERT_TRUE(v3.endsWith(text));
    v3.remove(v3.size() - text.size(), 1);
    QByteArray frp;
    QDataStream s(&frp, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_4);
    s << quint32(0x53465250) << qint32(3) << qint32(1) << v3;
    PreparedPages older;
    older.fromBytes(frp);
    EXPECT_EQ(older.page(0), one);
    EXPECT_EQ(older.toBytes().mid(4, 4), QByteArray("\0\0\0\4", 4)); // stored anew
}

// Wide tables too: each of many columns shares with its own cell above, whatever order the cells come in.
TEST(PreparedPageEncoding, ManyColumnsEachShareWithTheirOwn) {
    PreparedPage page;
    PreparedObject cell;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 45; ++column) {
            const int c = row == 1 ? 44 - column : column; // the second row backwards
            cell.rect = QRectF(10 + c * 7.25, row * 12, 7.25, 12);
            cell.text = QStringLiteral("Колонка %1 строка %2").arg(c).arg(row);
            page.objects << cell;
        }
    const QByteArray bytes = encodePage(page);
    EXPECT_EQ(decodePage(bytes), page);
    // "Колонка N строка " is written once per column, then shared by the rows below.
    EXPECT_EQ(bytes.count(QStringLiteral("строка").toUtf8()), 45);
}

TEST(PreparedPageEncoding, DamagedPagesAreRefused) {
    const QByteArray bytes = encodePage(assortedPage());
    for (qsizetype cut = 0; cut < bytes.size(); cut += 7)
        EXPECT_THROW(decodePage(bytes.left(cut)), svod::Error) << cut;
    EXPECT_THROW(decodePage(bytes + 'x'), svod::Error);

    // A damaged page inside an .frp fails the load, and the pages stay as they were.
    PreparedPages pages;
    pages.addPage(assortedPage());
    QByteArray frp = pages.toBytes();
    const qsizetype styleCount = frp.indexOf(encodePage(assortedPage())) + 17;
    frp[styleCount] = char(0x7f); // more styles than the page holds
    PreparedPages target;
    target.addPage(PreparedPage{});
    EXPECT_THROW(target.fromBytes(frp), svod::Error);
    EXPECT_EQ(target.count(), 1);
}

TEST(PreparedPageEncoding, EditedPagesAreStoredBack) {
    PreparedPages pages;
    pages.addPage(assortedPage());
    pages.addPage(assortedPage());
    EXPECT_EQ(pages.count(), 2);

    pages.objectsToPage(0)[0].text = QStringLiteral("первая");
    pages.pageToObjects(0);
    EXPECT_EQ(pages.page(0).objects[0].text, QStringLiteral("первая"));

    // Opening another page stores the pending edit.
    pages.objectsToPage(1).removeLast();
    pages.objectsToPage(0).clear();
    pages.pageToObjects(0);
    EXPECT_EQ(pages.page(1).objects.size(), assortedPage().objects.size() - 1);
    EXPECT_TRUE(pages.page(0).objects.isEmpty());
    EXPECT_EQ(pages.page(0).size, assortedPage().size);
    EXPECT_THROW(pages.pageToObjects(2), svod::Error);
}
