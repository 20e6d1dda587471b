#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/DatasetReport.h"
#include "engine/TextLayout.h"

using namespace svod::engine;
using namespace svod::engine::test;

namespace {

TableData protocol(const QString& title, int rows) {
    TableData t;
    t.title = title;
    t.columns = {{QStringLiteral("ID"), QStringLiteral("id"), 14, false},
                 {QStringLiteral("TYP"), QStringLiteral("Тип остатка"), 8, false},
                 {QStringLiteral("SALDO"), QStringLiteral("Остаток"), 16, true}};
    for (int i = 0; i < rows; ++i)
        t.rows << QStringList{QStringLiteral(" ID%1\t").arg(i),
                              i == 0 ? QString() : QStringLiteral("Бал.ст(р)"), QStringLiteral("1234,50")};
    return t;
}

} // namespace

TEST(DatasetReport, ProtocolLook) {
    DatasetReport table;
    const PreparedPages& pages =
        table.prepare(protocol(QStringLiteral("Данные не приняты\r\nФилиал: Тест\r\n\r\nОшибка\r\n "), 120));
    ASSERT_GE(pages.count(), 2);
    const PreparedPage& first = pages.page(0);
    EXPECT_TRUE(first.landscape);
    EXPECT_NEAR(first.orientedSize().width(), 841.89, 0.1);
    const QStringList texts = pageTexts(first);
    EXPECT_EQ(texts.mid(0, 8), (QStringList{"Данные не приняты", "Филиал: Тест", "", "Ошибка", " ", "id",
                                            "Тип остатка", "Остаток"}));
    EXPECT_EQ(texts.mid(8, 3), (QStringList{"ID0", "", "1234,50"})); // trimmed id, empty plane cell
    // Margins 0: the title starts at the page's corner; widths from "0" of the body font plus 8 px.
    const PreparedObject* idHeader = nullptr;
    for (const auto& o : first.objects)
        if (o.text == u"id")
            idHeader = &o;
    ASSERT_TRUE(idHeader);
    EXPECT_DOUBLE_EQ(idHeader->rect.left(), 0);
    const double zero = metricsFor(table.settings().body.font).horizontalAdvance(u'0');
    EXPECT_NEAR(idHeader->rect.width(), 14 * zero + 6, 0.01);
    EXPECT_EQ(idHeader->fill, QColor(0, 0, 128));
    EXPECT_EQ(idHeader->font.color, QColor(Qt::white));
    EXPECT_TRUE(idHeader->font.bold);
    for (const auto& o : first.objects)
        if (o.text == u"1234,50") {
            EXPECT_TRUE(o.alignment & Qt::AlignRight);
            EXPECT_EQ(o.valueKind, ValueKind::Number);
        }
    for (int p = 1; p < pages.count(); ++p) {
        const QStringList t = pageTexts(pages.page(p));
        EXPECT_EQ(t.mid(0, 3), (QStringList{"id", "Тип остатка", "Остаток"})) << p;
        EXPECT_FALSE(t.contains(QStringLiteral("Ошибка")));
    }
}

TEST(EMFPagesStorage, ComposesProtocolsInOrder) {
    EMFPagesStorage storage;
    Report composed;
    EXPECT_FALSE(storage.compositeReport(composed));
    DatasetReport table;
    storage.addPages(
        table.prepare(protocol(QStringLiteral("Данные не приняты\r\nФилиал: X\r\n\r\nПервая\r\n "), 60)));
    const int firstPages = table.report().preparedPages().count();
    storage.addPages(table.prepare(protocol(QStringLiteral("Вторая\r\n "), 2)));
    EXPECT_EQ(storage.getCount(), 2);
    ASSERT_TRUE(storage.compositeReport(composed));
    ASSERT_EQ(composed.preparedPages().count(), firstPages + 1);
    EXPECT_EQ(pageTexts(composed.preparedPages().page(0)).first(), QStringLiteral("Данные не приняты"));
    EXPECT_EQ(pageTexts(composed.preparedPages().page(firstPages)).first(), QStringLiteral("Вторая"));
    storage.clear();
    EXPECT_EQ(storage.getCount(), 0);
}

// Widths in characters are a minimum: an inventory number or a plane name is never cut off, and
// the widened table still fits the page.
TEST(DatasetReport, ColumnsWidenToTheirTextsWithinThePage) {
    TableData t;
    t.columns = {{QStringLiteral("INV_NUM"), QStringLiteral("Инв.номер"), 5, false},
                 {QStringLiteral("TYP2"), QStringLiteral("Пл."), 3, false},
                 {QStringLiteral("NAME"), QStringLiteral("Наименование"), 40, false}};
    t.rows << QStringList{QStringLiteral("ИНВ-0000001"), QStringLiteral("МСФО"), QStringLiteral("Станок")};
    DatasetReport table;
    const PreparedPage page = table.prepare(t).page(0);
    const QFontMetricsF& body = metricsFor(table.settings().body.font);
    const QFontMetricsF& header = metricsFor(table.settings().columnHeaderStyle.font);
    int checked = 0;
    for (const auto& o : page.objects) {
        if (o.text == u"ИНВ-0000001" || o.text == u"МСФО") {
            EXPECT_GE(o.rect.width(), body.horizontalAdvance(o.text)) << o.text.toStdString();
            ++checked;
        }
        if (o.text == u"Инв.номер") {
            EXPECT_GE(o.rect.width(), header.horizontalAdvance(o.text));
            ++checked;
        }
        if (o.text == u"Станок") { // wide enough already: kept at its width in characters
            EXPECT_NEAR(o.rect.width(), table.columnWidth(40), 0.01);
        }
    }
    EXPECT_EQ(checked, 3);

    // Values far wider than the page: the table is squeezed back to the page, never below the
    // widths in characters.
    t.rows << QStringList{QString(400, u'Ш'), QString(400, u'Ш'), QString(400, u'Ш')};
    const QList<double> widths = table.columnWidths(t, 800);
    EXPECT_NEAR(widths[0] + widths[1] + widths[2], 800, 0.01);
    EXPECT_GE(widths[2], table.columnWidth(40));
}

// Many values of one length: the widest one sets the width, wherever it is among them.
TEST(DatasetReport, TheWidestOfManyValuesSetsTheWidth) {
    TableData t;
    t.columns = {{QStringLiteral("NAME"), QStringLiteral("Имя"), 3, false}};
    t.rows << QStringList{QStringLiteral("مرحبا يا")}; // shaped all the same
    for (int i = 0; i < 3000; ++i)
        t.rows << QStringList{i == 345 ? QStringLiteral("ШШШШШШШШ")
                                       : QStringLiteral("iiiiiii%1").arg(i % 10)};
    DatasetReport table;
    const QFontMetricsF& body = metricsFor(table.settings().body.font);
    const QList<double> widths = table.columnWidths(t, 800);
    ASSERT_EQ(widths.size(), 1);
    const double padding = 8 * PointsPerPixel;
    EXPECT_NEAR(widths[0],
                std::max(body.horizontalAdvance(QStringLiteral("ШШШШШШШШ")),
                         body.horizontalAdvance(QStringLiteral("مرحبا يا"))) +
                    padding,
                0.001);
}
