// The packet's own checks over the temporary tables, and the protocols they make.
#include <QSqlQuery>
#include <gtest/gtest.h>

#include "checks/PacketChecks.h"
#include "support/CheckFixture.h"

using namespace svod;
using namespace svod::checks;

namespace {

const QStringList ItemTitles = {QStringLiteral("id"),           QStringLiteral("Кат."),
                                QStringLiteral("Карточка"),     QStringLiteral("Инв.номер"),
                                QStringLiteral("Наименование"), QStringLiteral("Дата ввода"),
                                QStringLiteral("Дата списания")};

QStringList titles(const engine::TableData& data) {
    QStringList result;
    for (const engine::TableColumn& column : data.columns)
        result << column.title;
    return result;
}

class ChecksTest : public test::CheckFixture {
protected:
    void SetUp() override {
        CheckFixture::SetUp();
        if (IsSkipped())
            return;
        context_.FilialCode = QStringLiteral("01");
        context_.header = {QStringLiteral("Филиал один"),
                           QStringLiteral("Принимаемые файлы: A1.dbf, B1.dbf\r\n")};
    }
    void item(const QString& id, const QVariant& group = QStringLiteral("1"),
              const QVariant& amkod = QStringLiteral("A"), const QVariant& name = QStringLiteral("Станок"),
              const QDate& beg = QDate(2005, 1, 10)) {
        QSqlQuery q = c().prepare(
            QStringLiteral("insert into ") + temp("TEMP1") +
            QStringLiteral(" (ID, KOD_F, TYPEM, KARD_NUM, INV_NUM, BEG_DATE, NAME, GROUP1, AMKOD) "
                           "values (?,?,?,?,?,?,?,?,?)"));
        c().execPrepared(q, {id, QStringLiteral("01"), QStringLiteral("2"), QStringLiteral("15"),
                             QStringLiteral("77"), QDateTime(beg, QTime(0, 0)), name, group, amkod});
    }
    void balance(const QString& id, const QString& typ, const QDate& dd, double saldo, double delta,
                 const QString& kod = QStringLiteral("01")) {
        QSqlQuery q = c().prepare(QStringLiteral("insert into ") + temp("TEMP2") +
                                  QStringLiteral(" (ID, KOD_F, DD, TYP, SALDO, DELTA) values (?,?,?,?,?,?)"));
        c().execPrepared(q, {id, kod, QDateTime(dd, QTime(0, 0)), typ, saldo, delta});
    }
    PacketChecks checks() {
        return PacketChecks(c(), store_, context_, [this](const QString& text) { infos_ << text; });
    }
    QStringList ids(int protocol) const { return cells(protocol); }

    CheckContext context_;
};

TEST_P(ChecksTest, DoubleIdsAreListedWithEveryRowAndTheFirstTitleNamesTheBranch) {
    item(QStringLiteral("X1"));
    item(QStringLiteral("X1"));
    item(QStringLiteral("X1"));
    item(QStringLiteral("X2"));
    checks().CheckDouble_ID_In_A();
    ASSERT_EQ(store_.count(), 1);
    const engine::TableData& p = store_.protocols()[0];
    EXPECT_EQ(p.title,
              QStringLiteral(
                  "Данные не приняты\r\nФилиал: Филиал один\r\nПринимаемые файлы: A1.dbf, B1.dbf\r\n"
                  "\r\nОбнаружены задвоенные идентификаторы (ID) в файле \"A\" принимаемого пакета.\r\n "));
    EXPECT_EQ(titles(p), ItemTitles);
    ASSERT_EQ(p.rows.size(), 3);
    EXPECT_EQ(p.rows[0], QStringList({QStringLiteral("X1"), QStringLiteral("2"), QStringLiteral("15"),
                                      QStringLiteral("77"), QStringLiteral("Станок"),
                                      QStringLiteral("10.01.2005"), QString()}));
    EXPECT_EQ(p.columns[4].widthChars, 40);
    EXPECT_EQ(infos_, QStringList{QStringLiteral("Проверка задвоенных ID в пакете данных")});
}

TEST_P(ChecksTest, RequiredFieldsGroupAndShifr) {
    item(QStringLiteral("OK"));
    item(QStringLiteral("NONAME"), QStringLiteral("1"), QStringLiteral("A"),
         QVariant(QMetaType::fromType<QString>()));
    item(QStringLiteral("G_EMPTY"), QString(QLatin1String("")), QStringLiteral("A"));
    item(QStringLiteral("G_BLANK"), QStringLiteral("  "), QStringLiteral("A"));
    item(QStringLiteral("G_NULL"), QVariant(QMetaType::fromType<QString>()),
         QVariant(QMetaType::fromType<QString>()));
    item(QStringLiteral("G9_NOSHIFR"), QStringLiteral("9"), QStringLiteral(" "));
    item(QStringLiteral("G1_NOSHIFR"), QStringLiteral("1"), QStringLiteral("  "));
    item(QStringLiteral("G1_NULLSHIFR"), QStringLiteral("1"), QVariant(QMetaType::fromType<QString>()));
    PacketChecks run = checks();
    run.CheckNoRequredFields();
    run.CheckNoGroup();
    run.CheckNoShifr();
    ASSERT_EQ(store_.count(), 3);
    EXPECT_EQ(ids(0), QStringList{QStringLiteral("NONAME")});
    EXPECT_EQ(ids(1),
              QStringList({QStringLiteral("G_BLANK"), QStringLiteral("G_EMPTY"), QStringLiteral("G_NULL")}));
    EXPECT_EQ(ids(2), QStringList({QStringLiteral("G1_NOSHIFR"), QStringLiteral("G1_NULLSHIFR")}));
    EXPECT_EQ(store_.protocols()[1].title,
              QStringLiteral("Обнаружены позиции с пустым кодом группы по МСФО.\r\n "));
    EXPECT_EQ(store_.protocols()[2].title, QStringLiteral("Обнаружены позиции с пустым шифром.\r\n "));
    EXPECT_EQ(infos_, QStringList({QStringLiteral("Проверка заполнения обязательных полей"),
                                   QStringLiteral("Проверка заполнения кода группы по МСФО"),
                                   QStringLiteral("Проверка заполнения шифра")}));
}

TEST_P(ChecksTest, BalanceRowsWithoutItem) {
    item(QStringLiteral("A1"));
    balance(QStringLiteral("A1"), QStringLiteral("1"), QDate(2005, 1, 31), 1, 1);
    balance(QStringLiteral("LOST"), QStringLiteral("3"), QDate(2005, 1, 31), 1234.5, -2);
    balance(QStringLiteral("LOST"), QStringLiteral("6"), QDate(2005, 2, 28), 0.1, 0);
    balance(QString(), QStringLiteral("1"), QDate(2005, 1, 1), 0, 0, QStringLiteral("**"));
    // A row without an item code belongs to no item either.
    balance(QString(), QStringLiteral("4"), QDate(2005, 3, 31), 7, 0);
    checks().CheckBExistsInA();
    ASSERT_EQ(store_.count(), 1);
    const engine::TableData& p = store_.protocols()[0];
    EXPECT_EQ(titles(p),
              QStringList({QStringLiteral("id"), QStringLiteral("Тип остатка"), QStringLiteral("Дата"),
                           QStringLiteral("Остаток"), QStringLiteral("Оборот")}));
    ASSERT_EQ(p.rows.size(), 3);
    QList<QStringList> rows = p.rows;
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows[0].value(2), QStringLiteral("31.03.2005"));
    EXPECT_TRUE(rows[0].value(0).isEmpty());
    EXPECT_EQ(rows[2],
              QStringList({QStringLiteral("LOST"), QStringLiteral("Бал.ст(р)"), QStringLiteral("31.01.2005"),
                           QStringLiteral("1234,50"), QStringLiteral("-2,00")}));
    EXPECT_EQ(rows[1], QStringList({QStringLiteral("LOST"), QString(), QStringLiteral("28.02.2005"),
                                    QStringLiteral("0,10"), QStringLiteral("0,00")}));
    EXPECT_TRUE(p.columns[3].numeric);
    EXPECT_FALSE(p.columns[0].numeric);
}

TEST_P(ChecksTest, DepreciationInGroup9) {
    item(QStringLiteral("MOVED"), QStringLiteral("9"));
    item(QStringLiteral("ON_BEG"), QStringLiteral("9"));
    item(QStringLiteral("NO_DELTA"), QStringLiteral("9"));
    item(QStringLiteral("ZERO"), QStringLiteral("9"));
    item(QStringLiteral("ROUBLES"), QStringLiteral("9"));
    item(QStringLiteral("GROUP1"), QStringLiteral("1"));
    balance(QStringLiteral("MOVED"), QStringLiteral("2"), QDate(2005, 1, 31), 5, 5);
    balance(QStringLiteral("ON_BEG"), QStringLiteral("2"), QDate(2005, 1, 10), 5, 5);
    balance(QStringLiteral("NO_DELTA"), QStringLiteral("2"), QDate(2005, 1, 31), 5, 0);
    balance(QStringLiteral("ZERO"), QStringLiteral("4"), QDate(2005, 1, 31), 0, 5);
    balance(QStringLiteral("ROUBLES"), QStringLiteral("4"), QDate(2005, 1, 31), 1, 1);
    balance(QStringLiteral("ROUBLES"), QStringLiteral("1"), QDate(2005, 1, 31), 1, 1);
    balance(QStringLiteral("GROUP1"), QStringLiteral("2"), QDate(2005, 1, 31), 5, 5);
    // An item listed twice is judged by each row's own start; an item's many rows list it once.
    item(QStringLiteral("TWICE"), QStringLiteral("9"), QStringLiteral("A"), QStringLiteral("Станок"),
         QDate(2005, 1, 10));
    item(QStringLiteral("TWICE"), QStringLiteral("9"), QStringLiteral("A"), QStringLiteral("Станок"),
         QDate(2005, 2, 15));
    balance(QStringLiteral("TWICE"), QStringLiteral("2"), QDate(2005, 1, 31), 5, 5);
    balance(QStringLiteral("MOVED"), QStringLiteral("2"), QDate(2005, 2, 28), 5, 5);
    // The same protocol whether TEMP2 is looked up through its index or read once (SQLite).
    for (const bool unindexed : {false, true}) {
        SCOPED_TRACE(unindexed ? "read once" : "looked up");
        context_.balanceRowsUnindexed = unindexed;
        store_.clear();
        checks().CheckHasAMORT_In9Group();
        ASSERT_EQ(store_.count(), 1);
        EXPECT_EQ(ids(0),
                  QStringList({QStringLiteral("MOVED"), QStringLiteral("ROUBLES"), QStringLiteral("TWICE")}));
        EXPECT_EQ(store_.protocols()[0].rows.size(), 3);
        EXPECT_TRUE(store_.protocols()[0].title.endsWith(
            QStringLiteral("\r\nОбнаружены позиции из 9-ой группы с движениями по износу.\r\n ")));
    }
}

TEST_P(ChecksTest, ControlBalancesMustBeDatedTheDayBeforeTheSelection) {
    item(QStringLiteral("A1"));
    balance(QStringLiteral("A1"), QStringLiteral("5"), QDate(2005, 12, 31), 1, 0);
    balance(QStringLiteral("A1"), QStringLiteral("6"), QDate(2005, 12, 15), 1, 0);
    balance(QStringLiteral("NOITEM"), QStringLiteral("5"), QDate(2006, 1, 1), 1, 0);
    balance(QStringLiteral("A1"), QStringLiteral("7"), QDate(2005, 5, 5), 1, 0); // not judged: no rouble date
    context_.HasControlPlanes = true;
    context_.CurrencyFrom = DateValue::fromYmd(2006, 1, 1);
    checks().CheckCorrectDateAndPL();
    ASSERT_EQ(store_.count(), 1);
    const engine::TableData& p = store_.protocols()[0];
    EXPECT_TRUE(p.title.endsWith(QStringLiteral(
        "\r\nОшибка формата контрольных остатков (валюта). Дата остатка не равна 31.12.2005\r\n ")));
    EXPECT_EQ(titles(p), ItemTitles + QStringList({QStringLiteral("Тип остатка"), QStringLiteral("Дата")}));
    QList<QStringList> rows = p.rows;
    std::sort(rows.begin(), rows.end());
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0],
              QStringList({QStringLiteral("A1"), QStringLiteral("2"), QStringLiteral("15"),
                           QStringLiteral("77"), QStringLiteral("Станок"), QStringLiteral("10.01.2005"),
                           QString(), QString(), QStringLiteral("15.12.2005")}));
    EXPECT_EQ(rows[1][0], QStringLiteral("NOITEM"));
    EXPECT_EQ(rows[1][4], QString()); // left join: no item columns

    // Both families: a second protocol, without the branch lines.
    context_.RoublesFrom = DateValue::fromYmd(2005, 6, 1);
    store_.clear();
    checks().CheckCorrectDateAndPL();
    ASSERT_EQ(store_.count(), 2);
    EXPECT_EQ(
        store_.protocols()[1].title,
        QStringLiteral("Ошибка формата контрольных остатков (рубли). Дата остатка не равна 31.05.2005\r\n "));
    EXPECT_EQ(store_.protocols()[1].rows.size(), 1);

    // Without control planes the check does nothing at all.
    context_.HasControlPlanes = false;
    store_.clear();
    infos_.clear();
    checks().CheckCorrectDateAndPL();
    EXPECT_EQ(store_.count(), 0);
    EXPECT_TRUE(infos_.isEmpty());
}

TEST_P(ChecksTest, CleanPacketMakesNoProtocol) {
    item(QStringLiteral("A1"));
    balance(QStringLiteral("A1"), QStringLiteral("1"), QDate(2005, 1, 31), 1, 1);
    PacketChecks run = checks();
    run.CheckDouble_ID_In_A();
    run.CheckNoRequredFields();
    run.CheckBExistsInA();
    run.CheckNoGroup();
    run.CheckNoShifr();
    run.CheckHasAMORT_In9Group();
    EXPECT_EQ(store_.count(), 0);
    EXPECT_EQ(infos_.size(), 6);
}

INSTANTIATE_TEST_SUITE_P(Backends, ChecksTest, ::testing::ValuesIn(svod::test::testBackends()),
                         [](const auto& info) { return svod::test::backendLabel(info.param); });

TEST(ProtocolTest, TitlesAndPlaneTexts) {
    ProtocolStore store;
    const ProtocolHeader direct{QStringLiteral("Юг"), QString()};
    EXPECT_EQ(protocolTitle(true, direct, QStringLiteral("T")),
              QStringLiteral("Данные не приняты\r\nФилиал: Юг\r\n\r\nT\r\n "));
    EXPECT_EQ(immediateProtocol(store, direct, QStringLiteral("T")).title,
              protocolTitle(true, direct, QStringLiteral("T")));
    store.add({});
    EXPECT_EQ(immediateProtocol(store, direct, QStringLiteral("T")).title, QStringLiteral("T\r\n "));
    EXPECT_TRUE(immediateProtocol(store, direct, QStringLiteral("T")).rows.isEmpty());
    EXPECT_EQ(TypOnGetText(QStringLiteral("3")), QStringLiteral("Бал.ст(р)"));
    EXPECT_EQ(TypOnGetText(QStringLiteral("4")), QStringLiteral("Износ (р)"));
    EXPECT_FALSE(TypOnGetText(QStringLiteral("1")).isEmpty());
    EXPECT_EQ(TypOnGetText(QStringLiteral("6")), QString());
    EXPECT_EQ(TypOnGetText2(QStringLiteral("2")), QStringLiteral("МСФО"));
    EXPECT_EQ(TypOnGetText2(QStringLiteral("3")), QStringLiteral("РСБУ"));
    EXPECT_EQ(TypOnGetText2(QStringLiteral("5")), QString());
}

} // namespace
