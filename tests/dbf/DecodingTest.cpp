// Numbers, dates and booleans as the reader decodes them from stored text.
#include <QDate>

#include "DbfTestUtil.h"
#include "db/Formats.h"
#include "dbf/FieldDecoding.h"

namespace svod::dbf::test {
namespace {

class DecodingTest : public DbfTest {};

TEST_F(DecodingTest, NumericFieldsWithoutDecimalsAreIntegersBySize) {
    write("T.DBF", 0x03,
          {{"N3", 'N', 3}, {"N4", 'N', 4}, {"N5", 'N', 5}, {"N9", 'N', 9}, {"N10", 'N', 10}, {"BAD", 'N', 3}},
          {{QString("  7"), QString("-999"), QString("12345"), QString("-12345678"), QString("9876543210"),
            QString("7.5")}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).kind(), FieldKind::Int16);
    EXPECT_EQ(t->field(1).kind(), FieldKind::Int16);
    EXPECT_EQ(t->field(2).kind(), FieldKind::Int32);
    EXPECT_EQ(t->field(3).kind(), FieldKind::Int32);
    EXPECT_EQ(t->field(4).kind(), FieldKind::Int64);
    EXPECT_EQ(t->field(0).asValue(), QVariant(7));
    EXPECT_EQ(t->field(0).asText(), "7");
    EXPECT_EQ(t->field(1).asInt64(), -999);
    EXPECT_EQ(t->field(3).asText(), "-12345678");
    EXPECT_EQ(t->field(4).asValue(), QVariant(qint64(9876543210)));
    EXPECT_EQ(t->field(4).asValue().typeId(), QMetaType::LongLong);
    // Text that is not an integer reads 0, not NULL.
    EXPECT_FALSE(t->field(5).isNull());
    EXPECT_EQ(t->field(5).asValue(), QVariant(0));
}

TEST_F(DecodingTest, DecimalNumbersAcceptPointOrComma) {
    write(
        "T.DBF", 0x03,
        {{"A", 'N', 8, 2}, {"B", 'N', 8, 2}, {"C", 'F', 10, 3}, {"D", 'N', 8, 2}, {"E", 'N', 8, 2}},
        {{QString("   12.50"), QString("    12,5"), QString("-1.5E3"), QString("abc"), QString("        ")}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).kind(), FieldKind::Float);
    EXPECT_EQ(t->field(0).asValue(), QVariant(12.5));
    EXPECT_EQ(t->field(0).asText(), "12,5");
    EXPECT_EQ(t->field(1).asDouble(), 12.5);
    EXPECT_EQ(t->field(2).asDouble(), -1500.0);
    EXPECT_EQ(t->field(3).asValue(), QVariant(0.0));
    EXPECT_TRUE(t->field(4).isNull());
    EXPECT_FALSE(t->field(4).asValue().isValid());
}

TEST_F(DecodingTest, KeptLengthsOfNumericFields) {
    write("T.DBF", 0x03, {{"WIDE", 'N', 25, 2}, {"TIGHT", 'N', 3, 5}, {"AFTER", 'C', 2}},
          {{QString("1234567890123456789.25"), QString("1.5"), QString("OK")}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).size(), 20);
    EXPECT_EQ(t->field(1).decimals(), 1);
    // Only the first 20 of 25 bytes are read: "   12345678901234567" (right-aligned text).
    EXPECT_EQ(t->field(0).asDouble(), 12345678901234567.0);
    EXPECT_EQ(t->field(2).asText(), "OK");
}

TEST(FloatText, Grammar) {
    EXPECT_EQ(parseFloatText("1e3"), 1000.0);
    EXPECT_EQ(parseFloatText("-.5"), -0.5);
    EXPECT_EQ(parseFloatText("+2."), 2.0);
    EXPECT_EQ(parseFloatText("12,"), 12.0);
    EXPECT_EQ(parseFloatText("1.2.3"), 0.0);
    EXPECT_EQ(parseFloatText("1,2.3"), 0.0); // with a ".", the comma is no decimal point
    EXPECT_EQ(parseFloatText("inf"), 0.0);
    EXPECT_EQ(parseFloatText("nan"), 0.0);
    EXPECT_EQ(parseFloatText("0x10"), 0.0);
    EXPECT_EQ(parseFloatText("1e"), 0.0);
    EXPECT_EQ(parseFloatText("."), 0.0);
    EXPECT_EQ(parseFloatText("-"), 0.0);
    // Short texts take a fast path that must round exactly as the general conversion.
    EXPECT_EQ(parseFloatText("0.1"), 0.1);
    EXPECT_EQ(parseFloatText("-0.07"), -0.07);
    EXPECT_EQ(parseFloatText("123456789012.34"), 123456789012.34);
    EXPECT_EQ(parseFloatText("999999999999999"), 999999999999999.0);
    EXPECT_EQ(parseFloatText("1234567890.123456789"), 1234567890.123456789);
    EXPECT_EQ(parseFloatText("00000000000000000000.5"), 0.5);
}

TEST(IntegerText, Grammar) {
    EXPECT_EQ(parseInteger("+42"), 42);
    EXPECT_EQ(parseInteger("-9223372036854775808"), std::numeric_limits<qint64>::min());
    EXPECT_FALSE(parseInteger("9223372036854775808"));
    EXPECT_FALSE(parseInteger("99999999999999999999"));
    EXPECT_FALSE(parseInteger("1 2"));
    EXPECT_FALSE(parseInteger(""));
    EXPECT_FALSE(parseInteger("-"));
}

TEST_F(DecodingTest, Dates) {
    write("T.DBF", 0x03, {{"D", 'D', 8}, {"NEXT", 'C', 2}},
          {{QDate(2005, 3, 14), QString("OK")},
           {QString("20050000"), QString("OK")},
           {QString("        "), QString("OK")},
           {QString("20051301"), QString("OK")},
           {QString("20050231"), QString("OK")},
           {QString("00000101"), QString("OK")},
           {QString("2005xx1"), QString("OK")}});
    auto t = open("T.DBF");
    const DbfField& d = t->field(0);
    EXPECT_EQ(d.kind(), FieldKind::Date);
    EXPECT_EQ(d.asValue(), QVariant(QDate(2005, 3, 14)));
    EXPECT_EQ(d.asText(), "14.03.2005");
    EXPECT_EQ(d.asDate(), DateValue::fromYmd(2005, 3, 14));
    t->next();
    EXPECT_EQ(d.asValue(), QVariant(QDate(2005, 1, 1)));
    t->next();
    EXPECT_TRUE(d.isNull());
    EXPECT_EQ(d.asDate().days(), 0.0);
    EXPECT_EQ(d.asText(), "");
    for (int i = 0; i < 3; ++i) { // month 13, 31 February, year 0
        t->next();
        EXPECT_FALSE(d.isNull());
        EXPECT_EQ(errorOf([&] { d.asValue(); }), "'0.0' is not a valid timestamp");
        EXPECT_EQ(errorOf([&] { d.asText(); }), "'0.0' is not a valid timestamp");
        EXPECT_EQ(errorOf([&] { d.asDate(); }), "'0.0' is not a valid timestamp");
        EXPECT_EQ(t->field(1).asText(), "OK"); // the rest of the row stays readable
    }
    t->next(); // month not a number counts as 1
    EXPECT_EQ(d.asValue(), QVariant(QDate(2005, 1, 1)));
}

// The year of a two-digit date text: the one within fifty years of the current year.
int expectedWindowYear(int twoDigits, int current) {
    for (int y = current - 50; y < current + 50; ++y)
        if (y % 100 == twoDigits)
            return y;
    return -1;
}

TEST_F(DecodingTest, TwoDigitYearsFollowTheCenturyWindowOfTheCurrentYear) {
    const int current = QDate::currentDate().year();
    write("T.DBF", 0x03, {{"D", 'D', 8}},
          {{QString("5")}, {QString("80")}, {QString("99  0612")}, {QString("0099")}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).asValue(), QVariant(QDate(expectedWindowYear(5, current), 1, 1)));
    t->next();
    EXPECT_EQ(t->field(0).asValue(), QVariant(QDate(expectedWindowYear(80, current), 1, 1)));
    t->next();
    EXPECT_EQ(t->field(0).asValue(), QVariant(QDate(expectedWindowYear(99, current), 6, 12)));
    t->next(); // four characters: year 99 as it stands
    EXPECT_EQ(t->field(0).asValue(), QVariant(QDate(99, 1, 1)));
    EXPECT_EQ(t->field(0).asText(), formatDate(QDate(99, 1, 1)));

    // The examples for 2026.
    EXPECT_EQ(centuryWindow(5, 2026), 2005);
    EXPECT_EQ(centuryWindow(80, 2026), 1980);
    EXPECT_EQ(centuryWindow(76, 2026), 1976);
    EXPECT_EQ(centuryWindow(75, 2026), 2075);
}

TEST_F(DecodingTest, Booleans) {
    write("T.DBF", 0x03, {{"L", 'L', 1}}, {{true}, {false}, {QString("t")}, {QString("Y")}, {QString(" ")}});
    auto t = open("T.DBF");
    const DbfField& l = t->field(0);
    EXPECT_EQ(l.asValue(), QVariant(true));
    EXPECT_EQ(l.asText(), "True");
    t->next();
    EXPECT_EQ(l.asText(), "False");
    t->next();
    EXPECT_EQ(l.asValue(), QVariant(true));
    t->next();
    EXPECT_EQ(l.asValue(), QVariant(false));
    t->next();
    EXPECT_TRUE(l.isNull());
    EXPECT_FALSE(l.asValue().isValid());
}

TEST_F(DecodingTest, ShortStoredLengthsNeverReadIntoTheNextField) {
    // A D field of 4 and an L field of 0 bytes: decoding stays inside the field.
    write("T.DBF", 0x03, {{"D", 'D', 4}, {"L", 'L', 0}, {"C", 'C', 2}},
          {{QString("2005"), QVariant(), QString("ZZ")}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).asValue(), QVariant(QDate(2005, 1, 1)));
    EXPECT_TRUE(t->field(1).isNull());
    EXPECT_EQ(t->field(2).asText(), "ZZ");
}

} // namespace
} // namespace svod::dbf::test
