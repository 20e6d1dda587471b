// Version bytes, layouts, binary field types, memo files and damaged headers.
#include <QDate>
#include <QDateTime>
#include <QDir>

#include "DbfTestUtil.h"
#include "db/CodePages.h"

namespace svod::dbf::test {
namespace {

using demo::flippedInt;
using demo::orderedDouble;

class FormatsTest : public DbfTest {
protected:
    // Rewrites 16-bit header length at offset 8.
    void setHeaderLength(const QString& name, int length) {
        QByteArray bytes = readFile(name);
        bytes[8] = char(length & 0xFF);
        bytes[9] = char(length >> 8);
        writeFile(name, bytes);
    }
};

TEST_F(FormatsTest, DbaseSevenLayoutWithLongNamesAndBinaryTypes) {
    const QDateTime stamp(QDate(2024, 2, 29), QTime(13, 45, 30, 250));
    write("T.DBF", 0x04,
          {{"A_RATHER_LONG_FIELD_NAME", 'C', 4},
           {"I", 'I', 4},
           {"AUTO", '+', 4},
           {"O", 'O', 8},
           {"TS", '@', 8}},
          {{QString("x"), 5, 7, -2.25, stamp}, {QString("y"), -1, 8, QVariant(), QVariant()}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->version(), 0x04);
    ASSERT_EQ(t->fieldCount(), 5);
    EXPECT_EQ(t->field(0).name(), "A_RATHER_LONG_FIELD_NAME");
    EXPECT_EQ(t->field(1).asValue(), QVariant(5));
    EXPECT_EQ(t->field(2).kind(), FieldKind::AutoInc);
    EXPECT_TRUE(t->field(2).readOnly());
    EXPECT_EQ(t->field(3).asValue(), QVariant(-2.25));
    EXPECT_EQ(t->field(4).kind(), FieldKind::DateTime);
    EXPECT_EQ(t->field(4).asValue().toDateTime(), stamp);
    t->next();
    EXPECT_EQ(t->field(1).asValue(), QVariant(-1));
    EXPECT_TRUE(t->field(3).isNull()); // all zero bytes
    EXPECT_TRUE(t->field(4).isNull());
}

TEST_F(FormatsTest, IntegerAndDoubleEncodings) {
    EXPECT_EQ(flippedInt(5), QByteArray("\x80\x00\x00\x05", 4));
    EXPECT_EQ(flippedInt(-1), QByteArray("\x7F\xFF\xFF\xFF", 4));
    write("T.DBF", 0x03, {{"I", 'I', 4}, {"O", 'O', 8}},
          {{QByteArray("\x80\x00\x00\x05", 4), orderedDouble(1.5)},
           {QByteArray("\x7F\xFF\xFF\xFF", 4), orderedDouble(-1e300)},
           {QByteArray(4, '\0'), QByteArray(8, '\0')}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).asInt64(), 5);
    EXPECT_EQ(t->field(1).asDouble(), 1.5);
    t->next();
    EXPECT_EQ(t->field(0).asInt64(), -1);
    EXPECT_EQ(t->field(1).asDouble(), -1e300);
    t->next();
    EXPECT_TRUE(t->field(0).isNull());
    EXPECT_TRUE(t->field(1).isNull());
}

TEST_F(FormatsTest, LongMemoOfDbaseFour) {
    const QByteArray cyrillicAnsi = encodeCodePage(QStringLiteral("Примечание"), CodePage::Cp1251);
    const QByteArray big(1500, 'm'); // runs over three blocks
    write("T.DBF", 0x8B, {{"M", 'M', 10}, {"B", 'B', 10}, {"G", 'G', 10}},
          {{QString("first"), QByteArray("\x01\x02\x00\x03", 4), QVariant()},
           {big, QVariant(), QVariant()},
           {cyrillicAnsi, QVariant(), QVariant()}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).kind(), FieldKind::Memo);
    EXPECT_EQ(t->field(1).kind(), FieldKind::Binary);
    EXPECT_EQ(t->field(2).kind(), FieldKind::Graphic);
    EXPECT_EQ(t->field(0).size(), 10);
    EXPECT_EQ(t->field(0).asText(), "first");
    EXPECT_EQ(t->field(1).asValue(), QVariant(QByteArray("\x01\x02\x00\x03", 4)));
    EXPECT_TRUE(t->field(2).isNull());
    EXPECT_EQ(t->field(2).asValue(), QVariant(QByteArray()));
    t->next();
    EXPECT_EQ(t->field(0).memoBytes(), big);
    EXPECT_TRUE(t->field(1).isNull());
    t->next();
    // Memo text is handed on as stored: the bytes are the Windows code page, not cp866.
    EXPECT_EQ(t->field(0).memoBytes(), cyrillicAnsi);
    EXPECT_EQ(t->field(0).asText(), QStringLiteral("Примечание"));
}

TEST_F(FormatsTest, ShortMemoOfDbaseThree) {
    write("T.DBF", 0x83, {{"M", 'M', 10}}, {{QString("short text")}, {QByteArray(700, 'z')}, {QVariant()}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).asText(), "short text");
    t->next();
    EXPECT_EQ(t->field(0).memoBytes(), QByteArray(700, 'z'));
    t->next();
    EXPECT_TRUE(t->field(0).isNull());
    EXPECT_EQ(t->field(0).asValue(), QVariant(QString()));
}

TEST_F(FormatsTest, ShortMemoEndMarks) {
    writeRaw("T.DBF", 0x83, {{"M", 'M', 10}}, {{"  1"}, {"  3"}, {"  5"}, {"  7"}});
    QByteArray memo(512 * 9, '\0');
    auto block = [&](int n) { return memo.data() + n * 512; };
    // Block 1: text up to a NUL.
    std::memcpy(block(1), "abc\0def", 7);
    // Blocks 3-4: a 1A pair split over the boundary ends the text before its first 1A.
    std::memset(block(3), 'x', 512);
    block(3)[511] = '\x1A';
    block(4)[0] = '\x1A';
    // Blocks 5-6: no end mark in block 5, last byte included; a single 1A is text.
    std::memset(block(5), 'y', 512);
    block(5)[100] = '\x1A';
    std::memcpy(block(6), "tail\x1A\x1A", 6);
    // Block 7 ... end of file: no mark at all.
    std::memset(block(7), 'w', 512 * 2);
    writeFile("T.dbt", memo);
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).memoBytes(), "abc");
    t->next();
    EXPECT_EQ(t->field(0).memoBytes(), QByteArray(511, 'x'));
    t->next();
    QByteArray expected(512, 'y');
    expected[100] = '\x1A';
    EXPECT_EQ(t->field(0).memoBytes(), expected + "tail");
    t->next();
    EXPECT_EQ(t->field(0).memoBytes(), QByteArray(1024, 'w'));
}

TEST_F(FormatsTest, LongMemoBlockWithoutSignatureIsEmpty) {
    write("T.DBF", 0x8B, {{"M", 'M', 10}}, {{QString("text")}});
    QByteArray memo = readFile("T.dbt");
    memo[512] = 'X';
    writeFile("T.dbt", memo);
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(0).asText(), "");
}

TEST_F(FormatsTest, MemoBlockSizeFromTheHeader) {
    writeRaw("T.DBF", 0x8B, {{"M", 'M', 10}}, {{"  2"}});
    QByteArray memo(1024, '\0');
    memo[20] = char(0x00); // 256 bytes per block
    memo[21] = char(0x01);
    std::memcpy(memo.data() + 512, "\xFF\xFF\x08\x00\x0B\x00\x00\x00hey", 11);
    writeFile("T.dbt", memo);
    EXPECT_EQ(open("T.DBF")->field(0).asText(), "hey");
    memo[20] = char(100); // not a multiple of 128: 512
    memo[21] = 0;
    std::memcpy(memo.data() + 512, "\xFF\xFF\x08\x00\x0B\x00\x00\x00hey", 11);
    writeFile("T.DBF", readFile("T.DBF").replace("  2   ", "  1   "));
    writeFile("T.dbt", memo);
    EXPECT_EQ(open("T.DBF")->field(0).asText(), "hey");
}

TEST_F(FormatsTest, BrokenMemoReferencesFailClearly) {
    writeRaw("T.DBF", 0x8B, {{"M", 'M', 10}}, {{"  99"}, {"  1"}});
    QByteArray memo(1024, '\0');
    std::memcpy(memo.data() + 512, "\xFF\xFF\x08\x00\xFF\xFF\xFF\x7F", 8); // 2 GB claimed
    writeFile("T.dbt", memo);
    auto t = open("T.DBF");
    // The message names the table and the field, then what is wrong.
    const QString outside = errorOf([&] { t->field(0).asText(); });
    EXPECT_TRUE(outside.startsWith(QStringLiteral("Поле 'M' таблицы \""))) << outside.toStdString();
    EXPECT_TRUE(outside.contains(QStringLiteral("T.DBF\": Блок 99 лежит за пределами memo-файла")))
        << outside.toStdString();
    t->next();
    EXPECT_TRUE(
        errorOf([&] { t->field(0).asValue(); }).contains(QStringLiteral("Memo в блоке 1 выходит за конец")));
}

TEST_F(FormatsTest, AnUnmarkedShortMemoIsRefusedPastSixteenMebibytes) {
    writeRaw("T.DBF", 0x83, {{"NOTE", 'M', 10}}, {{"         1"}});
    QByteArray memo(512 + (17 << 20), 'x'); // no NUL and no 1A 1A anywhere
    std::memset(memo.data(), 0, 512);
    writeFile("T.dbt", memo);
    auto t = open("T.DBF");
    const QString message = errorOf([&] { t->field(0).asText(); });
    EXPECT_TRUE(message.startsWith(QStringLiteral("Поле 'NOTE' таблицы \""))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("не имеет метки конца в пределах 16777216 байт")))
        << message.toStdString();
}

TEST_F(FormatsTest, MissingMemoFile) {
    write("T.DBF", 0x8B, {{"M", 'M', 10}}, {{QString("text")}});
    QFile::remove(path("T.dbt"));
    EXPECT_EQ(errorOf([&] { open("T.DBF"); }),
              "Open: Table file not found : " + QDir::toNativeSeparators(path("T.dbt")).toUpper());
    auto t = open("T.DBF", DbfTable::OpenMode::AutoCreate);
    EXPECT_EQ(t->field(0).asText(), "");
}

TEST_F(FormatsTest, VisualFoxProTable) {
    const QDateTime stamp(QDate(2023, 11, 5), QTime(8, 30, 15));
    write("T.DBF", 0x30,
          {{"NAME", 'C', 8},
           {"WHEN", 'T', 8},
           {"PRICE", 'Y', 8},
           {"RATE", 'B', 8, 4},
           {"QTY", 'I', 4, 0, true},
           {"NOTE", 'M', 4},
           {"MAYBE", 'N', 6, 2, true}},
          {{QStringLiteral("Стол"), stamp, 1234.5678, 0.125, 42, QString("memo one"), 3.5},
           {QString("b"), QVariant(), -1.0, -2.0, QVariant(), QVariant(), QVariant()}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->version(), 0x30);
    ASSERT_EQ(t->fieldCount(), 7); // _NullFlags is not a field
    EXPECT_EQ(t->findField("_NULLFLAGS"), nullptr);
    EXPECT_EQ(t->field(0).asText(), QStringLiteral("Стол"));
    EXPECT_EQ(t->field(1).kind(), FieldKind::DateTime);
    EXPECT_EQ(t->field(1).asValue().toDateTime(), stamp);
    EXPECT_EQ(t->field(1).asText(), "05.11.2023 08.30.15");
    EXPECT_EQ(t->field(2).kind(), FieldKind::Currency);
    EXPECT_EQ(t->field(2).asDouble(), 1234.5678);
    EXPECT_EQ(t->field(3).kind(), FieldKind::Float);
    EXPECT_EQ(t->field(3).asDouble(), 0.125);
    EXPECT_EQ(t->field(4).asValue(), QVariant(42));
    EXPECT_EQ(t->field(5).asText(), "memo one");
    EXPECT_EQ(t->field(6).asDouble(), 3.5);
    t->next();
    EXPECT_TRUE(t->field(1).isNull());
    EXPECT_EQ(t->field(2).asDouble(), -1.0);
    EXPECT_TRUE(t->field(4).isNull()); // by its NULL bit, though its bytes are 0
    EXPECT_FALSE(t->field(4).asValue().isValid());
    EXPECT_TRUE(t->field(5).isNull());
    EXPECT_TRUE(t->field(6).isNull());
}

TEST_F(FormatsTest, FoxProNullBitsComeFromTheFirstNullFlagsField) {
    // Nine nullable fields need two bytes of flags; a later one-byte flags field must not be used.
    std::vector<FieldSpec> fields{{"_NF", '0', 2}};
    for (int i = 1; i <= 9; ++i)
        fields.push_back({QStringLiteral("F%1").arg(i), 'C', 1});
    fields.push_back({"_NG", '0', 1});
    writeRaw("T.DBF", 0x30, fields,
             {{QByteArray("\x00\x01", 2), "a", "b", "c", "d", "e", "f", "g", "h", "i", QByteArray(1, '\0')}});
    QByteArray bytes = readFile("T.DBF");
    for (int i = 1; i <= 9; ++i)
        bytes[32 + 32 * i + 18] = 0x02; // nullable
    writeFile("T.DBF", bytes);
    auto t = open("T.DBF");
    ASSERT_EQ(t->fieldCount(), 9);
    EXPECT_EQ(t->field(0).asText(), "a");
    EXPECT_FALSE(t->field(7).isNull());
    EXPECT_TRUE(t->field(8).isNull()); // bit 8: second byte of _NF
}

TEST_F(FormatsTest, FoxProTwoWithTextMemoReferences) {
    write("T.DBF", 0xF5, {{"ID", 'C', 4}, {"NOTE", 'M', 10}}, {{QString("1"), QString("fox memo")}});
    auto t = open("T.DBF");
    EXPECT_EQ(t->field(1).asText(), "fox memo");
    EXPECT_EQ(t->fieldCount(), 2);
}

TEST_F(FormatsTest, UnknownVersionBytesReadAsDbaseThree) {
    write("T.DBF", 0x03, {{"A", 'C', 3}}, {{QString("abc")}});
    QByteArray bytes = readFile("T.DBF");
    bytes[0] = char(0x7B);
    writeFile("T.DBF", bytes);
    EXPECT_EQ(open("T.DBF")->field(0).asText(), "abc");
    bytes[0] = char(0xE5);
    writeFile("T.DBF", bytes);
    EXPECT_EQ(open("T.DBF")->field(0).asText(), "abc");
}

TEST_F(FormatsTest, FieldCountOutOfRange) {
    write("T.DBF", 0x03, {{"A", 'C', 3}}, {{QString("abc")}});
    setHeaderLength("T.DBF", 40); // (40 - 32) / 32 = 0
    EXPECT_EQ(errorOf([&] { open("T.DBF"); }), "Invalid field count : 0 (must be between 1 and 4095)");
    setHeaderLength("T.DBF", 0); // no fields at all
    EXPECT_EQ(open("T.DBF")->fieldCount(), 0);

    write("F.DBF", 0x30, {{"A", 'C', 3}}, {{QString("abc")}});
    QByteArray bytes = readFile("F.DBF");
    bytes[32] = 0x0D; // terminator before the first descriptor
    writeFile("F.DBF", bytes);
    EXPECT_EQ(errorOf([&] { open("F.DBF"); }), "Invalid field count : 0 (must be between 1 and 4095)");
}

TEST_F(FormatsTest, UnknownFieldTypes) {
    write("T.DBF", 0x03, {{"OK", 'C', 3}, {"ODD", 'X', 3}}, {});
    EXPECT_EQ(errorOf([&] { open("T.DBF"); }), "Field 'ODD' is of an unknown type");
    // FoxPro letters mean nothing in a dBase file.
    write("Y.DBF", 0x03, {{"MONEY", 'Y', 8}}, {});
    EXPECT_EQ(errorOf([&] { open("Y.DBF"); }), "Field 'MONEY' is of an unknown type");
    write("I.DBF", 0x03, {{"SHORT", 'I', 2}}, {});
    EXPECT_EQ(errorOf([&] { open("I.DBF"); }), QStringLiteral("Поле 'SHORT' имеет недопустимую длину 2"));
}

TEST_F(FormatsTest, HeaderClaimingMoreThanTheFileHolds) {
    // 65535 bytes of header in a file of a few bytes: descriptors past the end read as zeros.
    QByteArray bytes(40, '\0');
    bytes[0] = 0x03;
    bytes[8] = char(0xFF);
    bytes[9] = char(0xFF);
    bytes[10] = 10;
    writeFile("H.DBF", bytes);
    EXPECT_EQ(errorOf([&] { open("H.DBF"); }), "Field '' is of an unknown type");

    // Huge fields in a tiny file: no records, nothing read past the end.
    write("B.DBF", 0x03, {{"A", 'C', 255}, {"B", 'C', 255}}, {});
    auto t = open("B.DBF");
    EXPECT_EQ(t->recordCount(), 0);
    EXPECT_TRUE(t->isEmpty());
}

TEST_F(FormatsTest, UnreadableFile) {
    write("T.DBF", 0x03, {{"A", 'C', 3}}, {{QString("abc")}});
    QFile::setPermissions(path("T.DBF"), QFileDevice::Permissions());
    QFile probe(path("T.DBF"));
    if (probe.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "running with permissions that read any file";
    EXPECT_TRUE(errorOf([&] {
                    open("T.DBF");
                }).startsWith("Cannot open file \"" + QDir::toNativeSeparators(path("T.DBF")) + "\". "));
}

} // namespace
} // namespace svod::dbf::test

namespace svod::dbf::test {
namespace {

class VisualFoxProTest : public DbfTest {};

TEST_F(VisualFoxProTest, VarcharAndVarbinaryKeepTheirLengthInTheLastByte) {
    {
        DbfWriter writer(path("V.DBF"), 0x30,
                         {{"ID", 'C', 4}, {"NAME", 'V', 10}, {"RAW", 'Q', 6}, {"NOTE", 'V', 5, 0, true}});
        writer.addRow({QString("1"), QString("Станок"), QByteArray("\x01\x00\x20", 3), QString("ab")});
        // Full length: no length byte, every byte is the value (trailing blanks of text stripped).
        writer.addRow({QString("2"), QString("0123456789"), QByteArray("\x20\x20\x20\x20\x20\x20", 6), {}});
        writer.addRow({QString("3"), QString(), QByteArray(), QString("abcde")});
        writer.finish();
    }
    auto t = open("V.DBF");
    ASSERT_EQ(t->fieldCount(), 4); // _NullFlags stays hidden
    EXPECT_EQ(t->field(1).kind(), FieldKind::Text);
    EXPECT_EQ(t->field(2).kind(), FieldKind::Binary);
    EXPECT_EQ(t->field(1).asText(), QString("Станок"));
    EXPECT_EQ(t->field(2).asValue().toByteArray(), QByteArray("\x01\x00\x20", 3));
    EXPECT_EQ(t->field(2).memoBytes(), QByteArray("\x01\x00\x20", 3));
    EXPECT_EQ(t->field(3).asText(), QString("ab"));
    t->next();
    EXPECT_EQ(t->field(1).asText(), QString("0123456789"));
    EXPECT_EQ(t->field(2).asValue().toByteArray(), QByteArray(6, ' '));
    // A nullable varchar: its NULL bit follows its length bit.
    EXPECT_TRUE(t->field(3).isNull());
    t->next();
    EXPECT_TRUE(t->field(1).isNull()); // empty text reads NULL, as C fields do
    EXPECT_EQ(t->field(2).asValue().toByteArray(), QByteArray());
    EXPECT_EQ(t->field(3).asText(), QString("abcde"));
    EXPECT_TRUE(t->warnings().isEmpty());
}

TEST_F(VisualFoxProTest, MissingNullFlagsReadsAsNotNullWithAWarning) {
    {
        DbfWriter writer(path("N.DBF"), 0x30, {{"A", 'C', 3, 0, true}, {"B", 'I', 4, 0, true}}, 0);
        writer.addRow({QString("x"), 7});
        writer.addRow({{}, {}}); // the NULL bits have nowhere to go
        writer.finish();
    }
    auto t = open("N.DBF");
    ASSERT_EQ(t->fieldCount(), 2);
    EXPECT_EQ(t->field(0).asText(), QString("x"));
    EXPECT_EQ(t->field(1).asValue().toInt(), 7);
    t->next();
    EXPECT_TRUE(t->field(0).isNull()); // blanks
    EXPECT_FALSE(t->field(1).isNull());
    ASSERT_EQ(t->warnings().size(), 1);
    EXPECT_TRUE(t->warnings()[0].contains(QStringLiteral("нет поля _NullFlags")))
        << t->warnings()[0].toStdString();
}

TEST_F(VisualFoxProTest, ShortNullFlagsKeepsTheBitsItHolds) {
    std::vector<FieldSpec> fields;
    for (int i = 1; i <= 10; ++i)
        fields.push_back({QStringLiteral("F%1").arg(i), i <= 8 ? 'C' : 'I', i <= 8 ? 2 : 4, 0, true});
    {
        DbfWriter writer(path("S.DBF"), 0x30, fields, 1); // ten bits needed, eight written
        writer.addRow({{}, QString("b"), {}, {}, {}, {}, {}, {}, {}, {}});
        writer.finish();
    }
    auto t = open("S.DBF");
    EXPECT_TRUE(t->field(0).isNull());
    EXPECT_EQ(t->field(1).asText(), QString("b"));
    EXPECT_TRUE(t->field(7).isNull());
    // Fields 9 and 10 have no bit in the file: their stored zeros read as 0, not NULL.
    EXPECT_FALSE(t->field(8).isNull());
    EXPECT_EQ(t->field(9).asValue().toInt(), 0);
    ASSERT_EQ(t->warnings().size(), 1);
    EXPECT_TRUE(t->warnings()[0].contains(QStringLiteral("вмещает битов: 8, нужно: 10")))
        << t->warnings()[0].toStdString();
}

} // namespace
} // namespace svod::dbf::test
