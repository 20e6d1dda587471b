#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include "engine/Chart.h"
#include "engine/DatasetReport.h"
#include "engine/Exports.h"

using namespace svod::engine;

namespace {

// An .xlsx read back through unzip and the XML of its parts.
class XlsxFile {
public:
    explicit XlsxFile(const QString& path) : path_(path) {}

    QByteArray part(const QString& name) const {
        QProcess unzip;
        // unzip reads "[...]" in a name as a wildcard set.
        QString pattern = name;
        pattern.replace(u'[', QStringLiteral("\\[")).replace(u']', QStringLiteral("\\]"));
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path_, pattern});
        unzip.waitForFinished();
        return unzip.readAllStandardOutput();
    }
    QStringList partNames() const {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), path_});
        unzip.waitForFinished();
        return QString::fromUtf8(unzip.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }
    // Every element of a part with the given name, as its attributes and text.
    QList<QMap<QString, QString>> elements(const QString& partName, const QString& element) const {
        QList<QMap<QString, QString>> out;
        QXmlStreamReader xml(part(partName));
        QMap<QString, QString>* current = nullptr;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == element) {
                out.append(QMap<QString, QString>());
                current = &out.last();
                for (const auto& a : xml.attributes())
                    (*current)[a.qualifiedName().toString()] = a.value().toString();
            } else if (xml.isStartElement() && current && (xml.name() == u"v" || xml.name() == u"t")) {
                (*current)[QStringLiteral("text")] += xml.readElementText();
            } else if (xml.isEndElement() && xml.name() == element) {
                current = nullptr;
            }
        }
        EXPECT_FALSE(xml.hasError()) << partName.toStdString() << ": " << xml.errorString().toStdString();
        return out;
    }
    // Cells by reference ("B4"): their attributes and value.
    QMap<QString, QMap<QString, QString>> cells(int sheet = 1) const {
        QMap<QString, QMap<QString, QString>> out;
        for (const auto& c :
             elements(QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet), QStringLiteral("c")))
            out[c.value(QStringLiteral("r"))] = c;
        return out;
    }
    // The number format code of a cell's style.
    QString formatOf(const QMap<QString, QString>& cell) const {
        const auto xfs = elements(QStringLiteral("xl/styles.xml"), QStringLiteral("xf"));
        // cellStyleXfs holds one xf first; cellXfs follow.
        const QString id =
            xfs.value(1 + cell.value(QStringLiteral("s")).toInt()).value(QStringLiteral("numFmtId"));
        for (const auto& f : elements(QStringLiteral("xl/styles.xml"), QStringLiteral("numFmt")))
            if (f.value(QStringLiteral("numFmtId")) == id)
                return f.value(QStringLiteral("formatCode"));
        return id == u"0" ? QStringLiteral("General") : id;
    }

private:
    QString path_;
};

PreparedObject text(const QRectF& rect, const QString& value, int align = Qt::AlignLeft) {
    PreparedObject o;
    o.rect = rect;
    o.text = value;
    o.alignment = align | Qt::AlignVCenter;
    o.frame.sides = FrameAll;
    return o;
}

PreparedObject amount(const QRectF& rect, const QString& shown, double value) {
    PreparedObject o = text(rect, shown, Qt::AlignRight);
    o.valueKind = ValueKind::Number;
    o.number = value;
    return o;
}

// A title over a table of three columns (150, 80 and 100 points wide), amounts as sums leave them,
// a date, and a chart under the table.
PreparedPage ledgerPage(int n) {
    PreparedPage page;
    PreparedObject title = text({20, 20, 555, 20}, QStringLiteral("Оборотная ведомость за 2000 год"));
    title.frame.sides = FrameNone;
    title.font.bold = true;
    page.objects << title << text({20, 50, 150, 15}, QStringLiteral("Наименование"))
                 << text({170, 50, 80, 15}, QStringLiteral("Дата"))
                 << text({250, 50, 100, 15}, QStringLiteral("Сумма"));
    PreparedObject date = text({170, 65, 80, 15}, QStringLiteral("31.12.2000"));
    date.valueKind = ValueKind::Date;
    date.number = 36891;
    page.objects << text({20, 65, 150, 15}, QStringLiteral("Станок %1").arg(n)) << date
                 << amount({250, 65, 100, 15}, QStringLiteral("4 290 554,20"), 4290554.199999996);
    page.objects << text({20, 80, 150, 15}, QStringLiteral("Кран %1").arg(n))
                 << text({170, 80, 80, 15}, QStringLiteral("01.03.2001"))
                 << amount({250, 80, 100, 15}, QStringLiteral("87 833 725,71"), 87833725.71);
    page.objects << text({20, 95, 150, 15}, QStringLiteral("Итого по странице %1").arg(n))
                 << text({170, 95, 80, 15}, QString())
                 << text({250, 95, 100, 15}, QStringLiteral("92124279,910"), Qt::AlignRight);
    PreparedObject chart;
    chart.kind = ObjectKind::Chart;
    chart.rect = {20, 130, 300, 150};
    ChartData data;
    data.categories = {QStringLiteral("Станок"), QStringLiteral("Кран")};
    data.seriesTitles = {QStringLiteral("Сумма")};
    data.values = {{4290554.2, 87833725.71}};
    chart.picture = encodeChart(data);
    page.objects << chart;
    return page;
}

class XlsxExport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            << "unzip is needed to read the sheet back (scripts/install-deps.sh installs it)";
        pages.addPage(ledgerPage(1));
        pages.addPage(ledgerPage(2));
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
    PreparedPages pages;
};

} // namespace

TEST_F(XlsxExport, NumbersAreExactDecimalsInTheirDisplayFormat) {
    exportXlsx(pages, path("r.xlsx"));
    const XlsxFile book(path("r.xlsx"));
    const auto cells = book.cells();
    EXPECT_EQ(cells[QStringLiteral("C3")].value(QStringLiteral("text")), QStringLiteral("4290554.2"));
    EXPECT_EQ(cells[QStringLiteral("C4")].value(QStringLiteral("text")), QStringLiteral("87833725.71"));
    EXPECT_EQ(book.formatOf(cells[QStringLiteral("C3")]), QStringLiteral("#,##0.00"));
    // Read from the text alone: no grouping, three decimals.
    EXPECT_EQ(cells[QStringLiteral("C5")].value(QStringLiteral("text")), QStringLiteral("92124279.91"));
    EXPECT_EQ(book.formatOf(cells[QStringLiteral("C5")]), QStringLiteral("0.000"));
    EXPECT_FALSE(cells[QStringLiteral("C3")].contains(QStringLiteral("t"))) << "a number, not a string";
    // Dates as serial numbers with a date format, whether the cell kept its value or only its text.
    for (const char* ref : {"B3", "B4"}) {
        EXPECT_FALSE(cells[QString::fromLatin1(ref)].contains(QStringLiteral("t"))) << ref;
        EXPECT_EQ(book.formatOf(cells[QString::fromLatin1(ref)]), QStringLiteral("dd.mm.yyyy")) << ref;
    }
    EXPECT_EQ(cells[QStringLiteral("B3")].value(QStringLiteral("text")), QStringLiteral("36891"));
    EXPECT_EQ(cells[QStringLiteral("B4")].value(QStringLiteral("text")), QStringLiteral("36951"));
    EXPECT_EQ(cells[QStringLiteral("A3")].value(QStringLiteral("t")), QStringLiteral("inlineStr"));
    EXPECT_EQ(cells[QStringLiteral("A3")].value(QStringLiteral("text")), QStringLiteral("Станок 1"));
}

TEST_F(XlsxExport, TitleMergedOverTheTableAndColumnsAsWideAsTheReports) {
    exportXlsx(pages, path("r.xlsx"));
    const XlsxFile book(path("r.xlsx"));
    const QString sheet = QStringLiteral("xl/worksheets/sheet1.xml");
    const auto merges = book.elements(sheet, QStringLiteral("mergeCell"));
    ASSERT_EQ(merges.size(), 1);
    EXPECT_EQ(merges[0].value(QStringLiteral("ref")), QStringLiteral("A1:C1"));
    EXPECT_EQ(book.cells()[QStringLiteral("A1")].value(QStringLiteral("text")),
              QStringLiteral("Оборотная ведомость за 2000 год"));
    const auto cols = book.elements(sheet, QStringLiteral("col"));
    ASSERT_EQ(cols.size(), 3);
    QList<double> widths;
    for (const auto& c : cols)
        widths << c.value(QStringLiteral("width")).toDouble();
    // 150, 80 and 100 points: 200, 107 and 133 pixels, in Excel's unit of seven pixels.
    EXPECT_NEAR(widths[0], 200 / 7.0, 1e-6);
    EXPECT_NEAR(widths[1], 107 / 7.0, 1e-6);
    EXPECT_NEAR(widths[2], 133 / 7.0, 1e-6);
    // The header of the second page is not repeated; its rows follow the first page's.
    EXPECT_EQ(book.elements(QStringLiteral("xl/workbook.xml"), QStringLiteral("sheet")).size(), 1);
}

TEST_F(XlsxExport, ChartGoesInAsAPictureBelowItsRows) {
    exportXlsx(pages, path("r.xlsx"));
    const XlsxFile book(path("r.xlsx"));
    const QStringList parts = book.partNames();
    EXPECT_TRUE(parts.contains(QStringLiteral("xl/media/image1.png"))) << parts.join(u' ').toStdString();
    EXPECT_TRUE(parts.contains(QStringLiteral("xl/media/image2.png")));
    EXPECT_TRUE(QImage::fromData(book.part(QStringLiteral("xl/media/image1.png"))).width() > 300);
    const QString drawing = QString::fromUtf8(book.part(QStringLiteral("xl/drawings/drawing1.xml")));
    // The first chart after the page's five rows, 300 x 150 points in EMU; the second after the
    // rows the first covers (ten of 15 points) and the three new rows of the second page.
    EXPECT_TRUE(drawing.contains(QStringLiteral("<xdr:row>5</xdr:row>"))) << drawing.left(400).toStdString();
    EXPECT_TRUE(drawing.contains(QStringLiteral("<xdr:row>18</xdr:row>")));
    EXPECT_EQ(book.cells()[QStringLiteral("A16")].value(QStringLiteral("text")), QStringLiteral("Станок 2"));
    EXPECT_TRUE(drawing.contains(QStringLiteral("cx=\"3810000\" cy=\"1905000\"")));
    EXPECT_TRUE(book.part(QStringLiteral("[Content_Types].xml")).contains("/xl/drawings/drawing1.xml"));
    EXPECT_TRUE(book.part(QStringLiteral("xl/worksheets/sheet1.xml")).contains("<drawing r:id=\"rId1\"/>"));
}

TEST_F(XlsxExport, OneSheetPerPageWhenChosen) {
    exportXlsx(pages, path("p.xlsx"), XlsxOptions{true});
    const XlsxFile book(path("p.xlsx"));
    const auto sheets = book.elements(QStringLiteral("xl/workbook.xml"), QStringLiteral("sheet"));
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets[1].value(QStringLiteral("name")), QStringLiteral("Стр. 2"));
    for (int s = 1; s <= 2; ++s) {
        const auto cells = book.cells(s);
        EXPECT_EQ(cells[QStringLiteral("A2")].value(QStringLiteral("text")), QStringLiteral("Наименование"))
            << s;
        EXPECT_EQ(cells[QStringLiteral("C3")].value(QStringLiteral("text")), QStringLiteral("4290554.2"))
            << s;
    }
    EXPECT_TRUE(book.partNames().contains(QStringLiteral("xl/drawings/drawing2.xml")));
}

TEST(XlsxExportTable, GeneratedTableKeepsItsColumnsAndEveryRow) {
    TableData t;
    t.title = QStringLiteral("Протокол проверки");
    t.columns = {{QStringLiteral("NAME"), QStringLiteral("Наименование"), 30, false},
                 {QStringLiteral("SALDO"), QStringLiteral("Остаток"), 12, true}};
    for (int i = 0; i < 120; ++i)
        t.rows << QStringList{QStringLiteral("Станок <%1> & \"Ко\"").arg(i), QStringLiteral("%1,50").arg(i)};
    DatasetReport report;
    const PreparedPages pages = report.prepare(t);
    ASSERT_GE(pages.count(), 2);
    QTemporaryDir dir;
    exportXlsx(pages, dir.filePath(QStringLiteral("t.xlsx")));
    const XlsxFile book(dir.filePath(QStringLiteral("t.xlsx")));
    const auto cols = book.elements(QStringLiteral("xl/worksheets/sheet1.xml"), QStringLiteral("col"));
    ASSERT_EQ(cols.size(), 2);
    EXPECT_GT(cols[0].value(QStringLiteral("width")).toDouble(),
              2 * cols[1].value(QStringLiteral("width")).toDouble());
    const auto cells = book.cells();
    int amounts = 0;
    for (const auto& c : cells)
        if (c.value(QStringLiteral("r")).startsWith(u'B') && !c.contains(QStringLiteral("t")) &&
            c.contains(QStringLiteral("text")))
            ++amounts;
    EXPECT_EQ(amounts, 120);
    bool escaped = false, last = false;
    for (const auto& c : cells) {
        escaped = escaped || c.value(QStringLiteral("text")) == u"Станок <7> & \"Ко\"";
        last = last || c.value(QStringLiteral("text")) == u"119.5";
    }
    EXPECT_TRUE(escaped);
    EXPECT_TRUE(last);
}

TEST_F(XlsxExport, ColumnsOfAMiddlePageAreNotLost) {
    // The first and last pages give three columns; a page between splits the amount column.
    PreparedPage middle = ledgerPage(3);
    middle.objects << text({20, 110, 150, 15}, QStringLiteral("Доля")) << text({170, 110, 80, 15}, QString())
                   << text({250, 110, 50, 15}, QStringLiteral("1,5"), Qt::AlignRight)
                   << text({300, 110, 50, 15}, QStringLiteral("2,5"), Qt::AlignRight);
    PreparedPages three;
    three.addPage(ledgerPage(1));
    three.addPage(middle);
    three.addPage(ledgerPage(2));
    exportXlsx(three, path("m.xlsx"));
    const XlsxFile book(path("m.xlsx"));
    EXPECT_EQ(book.elements(QStringLiteral("xl/worksheets/sheet1.xml"), QStringLiteral("col")).size(), 4);
    const auto merges =
        book.elements(QStringLiteral("xl/worksheets/sheet1.xml"), QStringLiteral("mergeCell"));
    ASSERT_FALSE(merges.isEmpty());
    EXPECT_EQ(merges[0].value(QStringLiteral("ref")), QStringLiteral("A1:D1"));
    // The amounts of the other pages span the two halves.
    EXPECT_TRUE(std::any_of(merges.begin(), merges.end(),
                            [](const auto& m) { return m.value(QStringLiteral("ref")) == u"C3:D3"; }));
    int shares = 0;
    for (const auto& c : book.cells())
        shares += c.value(QStringLiteral("text")) == u"1.5" || c.value(QStringLiteral("text")) == u"2.5";
    EXPECT_EQ(shares, 2);
}
