#include <QBuffer>
#include <QTemporaryDir>
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
