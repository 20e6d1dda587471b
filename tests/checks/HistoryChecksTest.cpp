// The checks against the accepted history, the branch's limits and the program variables.
#include <QDateTime>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include "checks/HistoryChecks.h"
#include "checks/ResidualCandidates.h"
#include "support/CheckFixture.h"

using namespace svod;
using namespace svod::checks;

namespace {

const QDate From(2005, 1, 1);

QVariant at(const QDate& date, const QTime& time = QTime(0, 0)) {
    return QDateTime(date, time);
}

class HistoryChecksTest : public test::CheckFixture {
protected:
    void SetUp() override {
        CheckFixture::SetUp();
        if (IsSkipped())
            return;
        const db::Dialect& d = c().dialect();
        c().execute(d.indexTempTable(QStringLiteral("TEMP1"), {QStringLiteral("ID")}));
        c().execute(d.indexLookupTemp(QStringLiteral("TEMP2"), reception::statements::temp2Key()));
        context_.FilialCode = QStringLiteral("01");
        context_.CurrencyFrom = DateValue::fromDate(From);
        context_.RoublesFrom = DateValue::fromDate(From);
        context_.header = {QStringLiteral("Филиал один"), QString()};
    }

    // An item of the packet.
    void item(const QString& id, const QDate& beg, const QVariant& end = {}) {
        QSqlQuery q =
            c().prepare(QStringLiteral("insert into ") + temp("TEMP1") +
                        QStringLiteral(" (ID, KOD_F, TYPEM, KARD_NUM, INV_NUM, BEG_DATE, END_DATE, NAME) "
                                       "values (?,?,?,?,?,?,?,?)"));
        c().execPrepared(q, {id, QStringLiteral("01"), QStringLiteral("2"), QStringLiteral("15"),
                             QStringLiteral("77"), at(beg),
                             end.isValid() ? at(end.toDate()) : QVariant(QMetaType::fromType<QDateTime>()),
                             QStringLiteral("Станок")});
    }
    // A balance row of the packet.
    void balance(const QString& id, const QString& typ, const QDate& dd, double saldo, double delta) {
        QSqlQuery q = c().prepare(QStringLiteral("insert into ") + temp("TEMP2") +
                                  QStringLiteral(" (ID, KOD_F, DD, TYP, SALDO, DELTA) values (?,?,?,?,?,?)"));
        c().execPrepared(q, {id, QStringLiteral("01"), at(dd), typ, saldo, delta});
    }
    // An accepted item and balance row.
    void acceptedItem(const QString& id, const QString& kod, const QVariant& end = {}) {
        QSqlQuery q =
            c().prepare(QStringLiteral("insert into INV (ID, KOD_F, TYPEM, KARD_NUM, INV_NUM, BEG_DATE, "
                                       "END_DATE, NAME) values (?,?,?,?,?,?,?,?)"));
        c().execPrepared(q, {id, kod, QStringLiteral("1"), QStringLiteral("5"), QStringLiteral("6"),
                             at(QDate(2003, 1, 1)),
                             end.isValid() ? at(end.toDate()) : QVariant(QMetaType::fromType<QDateTime>()),
                             QStringLiteral("Старое")});
    }
    void accepted(const QString& id, const QString& typ, const QDate& dd, double saldo) {
        const QString table =
            typ == u"1" || typ == u"2" ? QStringLiteral("INV_OST") : QStringLiteral("INV_OST3");
        QSqlQuery q = c().prepare(QStringLiteral("insert into ") + table +
                                  QStringLiteral(" (ID, KOD_F, DD, TYP, SALDO, DELTA) values (?,?,?,?,?,?)"));
        c().execPrepared(q, {id, QStringLiteral("01"), at(dd), typ, saldo, 0.0});
    }
    void variable(const QString& label, const QVariant& dd, double value) {
        QSqlQuery q = c().prepare(QStringLiteral("insert into CLT (LABEL, DD, NVARVALUE) values (?,?,?)"));
        c().execPrepared(q, {label, dd, value});
    }
    void branch(const QString& kod, const QVariant& minVal, const QVariant& minRub,
                const QVariant& checkType) {
        QSqlQuery q = c().prepare(QStringLiteral(
            "insert into FILIALS (KOD, NAZVANIE, D_MIN_VAL, D_MIN_RUB, CHECK_TYPE) values (?,?,?,?,?)"));
        c().execPrepared(q, {kod, QStringLiteral("Филиал"), minVal, minRub, checkType});
    }

    HistoryChecks checks(bool answerYes = true) {
        return HistoryChecks(
            c(), store_, context_, [this](const QString& text) { infos_ << text; },
            [this, answerYes](const QString& text) {
                questions_ << text;
                return answerYes;
            });
    }
    HistoryContext context_;
    QStringList questions_;
};

TEST_P(HistoryChecksTest, LimitsAreWholeDaysAndTheQuestionNamesBothFamilies) {
    branch(QStringLiteral("01"), at(QDate(2005, 7, 1), QTime(18, 0)), at(QDate(2005, 3, 1)), {});
    branch(QStringLiteral("02"), {}, {}, {});
    const BranchLimits limits = loadBranchLimits(c(), QStringLiteral("01"));
    EXPECT_EQ(limits.CurrencyLimit, DateValue::fromYmd(2005, 7, 1));
    EXPECT_EQ(limits.RoublesLimit, DateValue::fromYmd(2005, 3, 1));
    EXPECT_EQ(
        invalidPeriodsText(limits, DateValue::fromDate(From), DateValue::fromDate(From)),
        QStringLiteral(" ПО ВАЛЮТЕ (мин.дата движений в пакете = 01.01.2005, ограничение = 01.07.2005)\r\n"
                       " ПО РУБЛЯМ (мин.дата движений в пакете = 01.01.2005, ограничение = 01.03.2005)\r\n"));
    // A selection date equal to the limit, or missing, asks nothing.
    EXPECT_EQ(invalidPeriodsText(limits, DateValue::fromYmd(2005, 7, 1), DateValue::noDate()), QString());
    // No limits: a branch with NULL dates and a branch without a row.
    for (const char* code : {"02", "77"}) {
        const BranchLimits none = loadBranchLimits(c(), QString::fromLatin1(code));
        EXPECT_EQ(none.CurrencyLimit.days(), 0.0);
        EXPECT_EQ(none.RoublesLimit.days(), 0.0);
        EXPECT_EQ(invalidPeriodsText(none, DateValue::fromDate(From), DateValue::fromDate(From)), QString());
    }
}

TEST_P(HistoryChecksTest, DeletedItemsWithDataBeforeTheLimitAreAskedAbout) {
    context_.limits = {DateValue::fromYmd(2005, 7, 1), DateValue::fromYmd(2005, 3, 1)};
    acceptedItem(QStringLiteral("GONE_OLD"), QStringLiteral("01"));
    accepted(QStringLiteral("GONE_OLD"), QStringLiteral("1"), QDate(2005, 6, 30), 10);
    acceptedItem(QStringLiteral("GONE_RUB"), QStringLiteral("01"));
    accepted(QStringLiteral("GONE_RUB"), QStringLiteral("3"), QDate(2005, 2, 28), 10);
    acceptedItem(QStringLiteral("GONE_NEW"), QStringLiteral("01"));
    accepted(QStringLiteral("GONE_NEW"), QStringLiteral("1"), QDate(2005, 7, 1), 10);
    accepted(QStringLiteral("GONE_NEW"), QStringLiteral("3"), QDate(2005, 3, 1), 10);
    acceptedItem(QStringLiteral("WRITTEN_OFF"), QStringLiteral("01"), QDate(2004, 5, 1));
    accepted(QStringLiteral("WRITTEN_OFF"), QStringLiteral("1"), QDate(2004, 4, 30), 10);
    acceptedItem(QStringLiteral("KEPT"), QStringLiteral("01"));
    accepted(QStringLiteral("KEPT"), QStringLiteral("1"), QDate(2004, 4, 30), 10);
    item(QStringLiteral("KEPT"), QDate(2003, 1, 1));
    acceptedItem(QStringLiteral("OTHER"), QStringLiteral("02"));
    accepted(QStringLiteral("OTHER"), QStringLiteral("1"), QDate(2004, 4, 30), 10);

    checks(false).CheckDeletedInInvalidPeriod();
    const QString title = QStringLiteral(
        "Обнаружены удаленные позиции по которым присылались данные в период, раньше даты запрета отката.");
    ASSERT_EQ(questions_,
              QStringList{title + QStringLiteral("\r\nПрервать прием и выдать протокол позиций ?")});
    EXPECT_EQ(store_.count(), 0) << "answer No lets the reception delete them";

    checks(true).CheckDeletedInInvalidPeriod();
    ASSERT_EQ(store_.count(), 1);
    EXPECT_EQ(cells(0), QStringList({QStringLiteral("GONE_OLD"), QStringLiteral("GONE_RUB")}));
    EXPECT_EQ(store_.protocols()[0].title,
              QStringLiteral("Данные не приняты\r\nФилиал: Филиал один\r\n\r\n") + title +
                  QStringLiteral("\r\n "));
    EXPECT_EQ(store_.protocols()[0].columns.size(), 7);
    EXPECT_EQ(infos_.first(), QStringLiteral("Проверка удаленных в закрытом периоде."));

    // Without limits nothing is found and nothing asked.
    questions_.clear();
    context_.limits = {};
    checks(true).CheckDeletedInInvalidPeriod();
    EXPECT_TRUE(questions_.isEmpty());
    EXPECT_EQ(store_.count(), 1);
}

TEST_P(HistoryChecksTest, ZeroBalanceValueRunsOnlyWithTheVariableInForce) {
    item(QStringLiteral("ZERO"), QDate(2005, 3, 1));
    // No variable, value 0, value 1 only from tomorrow: the check does not run.
    checks().CheckBSTnotZero();
    variable(QStringLiteral("CHECK_ZERO_BST"), at(QDate::currentDate().addDays(-10)), 0);
    checks().CheckBSTnotZero();
    variable(QStringLiteral("CHECK_ZERO_BST"), at(QDate::currentDate().addDays(1)), 1);
    checks().CheckBSTnotZero();
    EXPECT_EQ(store_.count(), 0);
    EXPECT_TRUE(infos_.isEmpty());
    // Value 1 in force: it runs; an entry later today does not count yet.
    variable(QStringLiteral("CHECK_ZERO_BST"), at(QDate::currentDate().addDays(-1)), 1);
    variable(QStringLiteral("CHECK_ZERO_BST"), at(QDate::currentDate(), QTime(23, 59)), 0);
    double value = 0;
    ASSERT_TRUE(GetVarNum(c(), QStringLiteral("CHECK_ZERO_BST"), value,
                          DateValue::fromDateTime(QDateTime::currentDateTime())));
    EXPECT_EQ(value, 1.0);
    EXPECT_FALSE(GetVarNum(c(), QStringLiteral("NO_SUCH"), value, DateValue::fromDate(QDate::currentDate())));
    checks().CheckBSTnotZero();
    EXPECT_EQ(infos_, QStringList{QStringLiteral("Проверка наличия балансовой стоимости")});
    ASSERT_EQ(store_.count(), 1);
}

TEST_P(HistoryChecksTest, ZeroBalanceValueFromHistoryAndPacket) {
    variable(QStringLiteral("CHECK_ZERO_BST"), at(QDate(2000, 1, 1)), 1);
    item(QStringLiteral("ZERO"), QDate(2005, 3, 1));
    item(QStringLiteral("SAMEDAY"), QDate(2005, 3, 1), QDate(2005, 3, 1));
    item(QStringLiteral("WRITTEN_LATER"), QDate(2005, 3, 1), QDate(2005, 4, 1));
    // Accepted before the selection date: counts; on or after it: replaced, so it does not.
    item(QStringLiteral("HISTORY"), QDate(2005, 3, 1));
    accepted(QStringLiteral("HISTORY"), QStringLiteral("1"), QDate(2004, 6, 30), -5);
    accepted(QStringLiteral("HISTORY"), QStringLiteral("1"), QDate(2004, 12, 31), 500);
    accepted(QStringLiteral("HISTORY"), QStringLiteral("3"), QDate(2004, 12, 31), 500);
    item(QStringLiteral("REPLACED"), QDate(2005, 3, 1));
    accepted(QStringLiteral("REPLACED"), QStringLiteral("1"), QDate(2005, 1, 1), 500);
    accepted(QStringLiteral("REPLACED"), QStringLiteral("3"), QDate(2004, 12, 31), 500);
    item(QStringLiteral("PACKET"), QDate(2005, 3, 1));
    balance(QStringLiteral("PACKET"), QStringLiteral("1"), QDate(2005, 3, 1), 100, 100);
    balance(QStringLiteral("PACKET"), QStringLiteral("3"), QDate(2005, 2, 1), 100, 100);
    item(QStringLiteral("LATE"), QDate(2005, 3, 1));
    balance(QStringLiteral("LATE"), QStringLiteral("1"), QDate(2005, 3, 2), 100, 100);
    balance(QStringLiteral("LATE"), QStringLiteral("3"), QDate(2005, 3, 1), 100, 100);
    // Sums that are exactly zero: 0.10 + 0.70 - 0.80.
    item(QStringLiteral("SUMS"), QDate(2005, 3, 1));
    accepted(QStringLiteral("SUMS"), QStringLiteral("3"), QDate(2004, 12, 31), 1);
    balance(QStringLiteral("SUMS"), QStringLiteral("1"), QDate(2005, 1, 10), 0.10, 0.10);
    balance(QStringLiteral("SUMS"), QStringLiteral("1"), QDate(2005, 1, 20), 0.80, 0.70);
    balance(QStringLiteral("SUMS"), QStringLiteral("1"), QDate(2005, 1, 31), 0, -0.80);

    checks().CheckBSTnotZero();
    ASSERT_EQ(store_.count(), 1);
    const engine::TableData& p = store_.protocols()[0];
    EXPECT_TRUE(p.title.endsWith(
        QStringLiteral("Обнаружены позиции не имеющие балансовой стоимости на дату оприходования.\r\n ")));
    QStringList found;
    for (const QStringList& row : p.rows)
        found << row[0] + u'/' + row[7];
    found.sort();
    EXPECT_EQ(found, QStringList({QStringLiteral("LATE/МСФО"), QStringLiteral("REPLACED/МСФО"),
                                  QStringLiteral("SUMS/МСФО"), QStringLiteral("WRITTEN_LATER/МСФО"),
                                  QStringLiteral("WRITTEN_LATER/РСБУ"), QStringLiteral("ZERO/МСФО"),
                                  QStringLiteral("ZERO/РСБУ")}));
    EXPECT_EQ(p.columns[7].title, QStringLiteral("Пл."));
    EXPECT_EQ(p.columns.last().title, QStringLiteral("Балансовая стоимость"));
}

TEST_P(HistoryChecksTest, NegativeResidualValue) {
    // Balance value 999.20 accepted + 0.10 + 0.70 in the packet = 1000.00.
    item(QStringLiteral("NEG"), QDate(2004, 1, 1));
    accepted(QStringLiteral("NEG"), QStringLiteral("1"), QDate(2004, 12, 31), 999.20);
    balance(QStringLiteral("NEG"), QStringLiteral("1"), QDate(2005, 1, 10), 999.30, 0.10);
    balance(QStringLiteral("NEG"), QStringLiteral("1"), QDate(2005, 1, 20), 1000.00, 0.70);
    balance(QStringLiteral("NEG"), QStringLiteral("2"), QDate(2005, 1, 31), 1000.01, 0);
    // 0.10 accepted + 0.70 in the packet - 0.80 depreciation is exactly 0 (binary doubles: -1.1e-16).
    item(QStringLiteral("EXACT"), QDate(2004, 1, 1));
    accepted(QStringLiteral("EXACT"), QStringLiteral("1"), QDate(2004, 12, 31), 0.10);
    balance(QStringLiteral("EXACT"), QStringLiteral("1"), QDate(2005, 1, 20), 0.80, 0.70);
    balance(QStringLiteral("EXACT"), QStringLiteral("2"), QDate(2005, 1, 31), 0.80, 0);
    // Depreciation on the write-off date, before the item was put into service, without an item.
    item(QStringLiteral("WRITEOFF"), QDate(2004, 1, 1), QDate(2005, 1, 31));
    balance(QStringLiteral("WRITEOFF"), QStringLiteral("2"), QDate(2005, 1, 31), 50, 0);
    item(QStringLiteral("BEFORE"), QDate(2005, 2, 1));
    balance(QStringLiteral("BEFORE"), QStringLiteral("2"), QDate(2005, 1, 31), 50, 0);
    balance(QStringLiteral("NOITEM"), QStringLiteral("2"), QDate(2005, 1, 31), 50, 0);
    // Roubles: plane 4 against plane 3.
    item(QStringLiteral("RUB"), QDate(2004, 1, 1));
    accepted(QStringLiteral("RUB"), QStringLiteral("3"), QDate(2004, 12, 31), 300);
    balance(QStringLiteral("RUB"), QStringLiteral("4"), QDate(2005, 1, 31), 300.5, 0);

    checks().CheckHasNegativeOSTST();
    EXPECT_EQ(infos_, QStringList{QStringLiteral("Проверка на отрицательную остаточную стоимость")});
    ASSERT_EQ(store_.count(), 1);
    const engine::TableData& p = store_.protocols()[0];
    EXPECT_TRUE(
        p.title.endsWith(QStringLiteral("Обнаружены позиции с отрицательной остаточной стоимостью.\r\n ")));
    QStringList titles;
    for (const engine::TableColumn& column : p.columns)
        titles << column.title;
    EXPECT_EQ(
        titles,
        QStringList({QStringLiteral("id"), QStringLiteral("Кат."), QStringLiteral("Карточка"),
                     QStringLiteral("Инв.номер"), QStringLiteral("Наименование"),
                     QStringLiteral("Дата ввода"), QStringLiteral("Дата списания"), QStringLiteral("Пл."),
                     QStringLiteral("Дата"), QStringLiteral("Балансовая стоимость"),
                     QStringLiteral("Накопленный износ"), QStringLiteral("Остаточная стоимость")}));
    QStringList rows;
    for (const QStringList& row : p.rows)
        rows << row.mid(7).join(u' ') + u' ' + row[0];
    rows.sort();
    EXPECT_EQ(rows, QStringList({QStringLiteral("МСФО 31.01.2005 1000,00 1000,01 -0,01 NEG"),
                                 QStringLiteral("РСБУ 31.01.2005 300,00 300,50 -0,50 RUB")}));
}

// Accepted balances of different signs: each row is judged against its own item's opening, whatever
// the packet's lowest opening is.
TEST_P(HistoryChecksTest, NegativeResidualValueAgainstEachItemsOwnOpening) {
    const auto depreciated = [this](const char* id, double opening, double turnover, double depreciation) {
        const QString key = QString::fromLatin1(id);
        item(key, QDate(2004, 1, 1));
        if (opening != 0)
            accepted(key, QStringLiteral("1"), QDate(2004, 12, 31), opening);
        balance(key, QStringLiteral("1"), QDate(2005, 1, 31), opening + turnover, turnover);
        balance(key, QStringLiteral("2"), QDate(2005, 1, 31), depreciation, 0);
    };
    depreciated("LOW", -100, 50, 0);       // -50: below zero
    depreciated("HIGH", 500, 0, 400);      // 100 left
    depreciated("HIGH_OVER", 500, 0, 600); // -100
    depreciated("NONE", 0, 0, 0.01);       // -0.01
    depreciated("EVEN", 0, 70, 70);        // exactly 0
    checks().CheckHasNegativeOSTST();
    ASSERT_EQ(store_.count(), 1);
    EXPECT_EQ(cells(0),
              QStringList({QStringLiteral("HIGH_OVER"), QStringLiteral("LOW"), QStringLiteral("NONE")}));
    EXPECT_EQ(cells(0, 11),
              QStringList({QStringLiteral("-0,01"), QStringLiteral("-100,00"), QStringLiteral("-50,00")}));
}

TEST_P(HistoryChecksTest, CheckModeOneJudgesOnlyTheLatestRow) {
    item(QStringLiteral("RECOVERED"), QDate(2004, 1, 1));
    balance(QStringLiteral("RECOVERED"), QStringLiteral("1"), QDate(2005, 1, 31), 100, 100);
    balance(QStringLiteral("RECOVERED"), QStringLiteral("2"), QDate(2005, 1, 31), 150, 150);
    balance(QStringLiteral("RECOVERED"), QStringLiteral("1"), QDate(2005, 2, 28), 200, 100);
    balance(QStringLiteral("RECOVERED"), QStringLiteral("2"), QDate(2005, 2, 28), 160, 10);
    item(QStringLiteral("STILL_NEG"), QDate(2004, 1, 1));
    balance(QStringLiteral("STILL_NEG"), QStringLiteral("2"), QDate(2005, 1, 31), 10, 10);
    balance(QStringLiteral("STILL_NEG"), QStringLiteral("2"), QDate(2005, 2, 28), 20, 10);

    // Mode 0 (and a branch without a FILIALS row): every row is judged.
    checks().CheckHasNegativeOSTST();
    ASSERT_EQ(store_.count(), 1);
    EXPECT_EQ(cells(0), QStringList({QStringLiteral("RECOVERED"), QStringLiteral("STILL_NEG"),
                                     QStringLiteral("STILL_NEG")}));

    branch(QStringLiteral("01"), {}, {}, 1);
    store_.clear();
    checks().CheckHasNegativeOSTST();
    ASSERT_EQ(store_.count(), 1);
    EXPECT_EQ(cells(0), QStringList{QStringLiteral("STILL_NEG")});
    EXPECT_EQ(cells(0, 8), QStringList{QStringLiteral("28.02.2005")});
}

// The rows found while copying (SQLite): the check over them alone gives the rows of the check over
// every row, in the same order, and a residual value of exactly 0 is left to no one.
TEST_P(HistoryChecksTest, CandidatesFoundWhileCopyingGiveTheSameProtocol) {
    ResidualCandidates seen(GetParam());
    seen.setColumns({QStringLiteral("ID"), QStringLiteral("KOD_F"), QStringLiteral("DD"),
                     QStringLiteral("TYP"), QStringLiteral("SALDO"), QStringLiteral("DELTA")});
    const db::Dialect& d = c().dialect();
    int depreciationRows = 0;
    const auto row = [&](const QVariant& id, const char* typ, const QVariant& dd, double saldo,
                         const QVariant& delta) {
        const QVariant date =
            dd.isValid() ? d.toDbValue(at(dd.toDate())) : QVariant(QMetaType::fromType<QString>());
        const std::vector<QVariant> values{id,   QStringLiteral("01"), date, QString::fromLatin1(typ), saldo,
                                           delta};
        QSqlQuery q = c().prepare(QStringLiteral("insert into ") + temp("TEMP2") +
                                  QStringLiteral(" (ID, KOD_F, DD, TYP, SALDO, DELTA) values (?,?,?,?,?,?)"));
        c().execPrepared(q, QVariantList(values.begin(), values.end()));
        seen.addRow(values.data());
        depreciationRows += typ[0] == '2' || typ[0] == '4';
    };
    const QVariant noId(QMetaType::fromType<QString>());
    const QDate jan10(2005, 1, 10), jan20(2005, 1, 20), jan31(2005, 1, 31), feb28(2005, 2, 28);
    // Below zero by a cent, against an accepted opening; exactly zero with binary doubles.
    item(QStringLiteral("NEG"), QDate(2004, 1, 1));
    accepted(QStringLiteral("NEG"), QStringLiteral("1"), QDate(2004, 12, 31), 999.20);
    row(QStringLiteral("NEG"), "1", jan10, 999.30, 0.10);
    row(QStringLiteral("NEG"), "2", jan31, 1000.01, 0.0);
    row(QStringLiteral("NEG"), "1", jan20, 1000.00, 0.70);
    item(QStringLiteral("EXACT"), QDate(2004, 1, 1));
    accepted(QStringLiteral("EXACT"), QStringLiteral("1"), QDate(2004, 12, 31), 0.10);
    row(QStringLiteral("EXACT"), "1", jan20, 0.80, 0.70);
    row(QStringLiteral("EXACT"), "2", jan31, 0.80, 0.0);
    // Turnovers of the row's own date count, later ones and undated ones never; NULL amounts add nothing.
    item(QStringLiteral("DATES"), QDate(2004, 1, 1));
    row(QStringLiteral("DATES"), "1", jan31, 100, 100);
    row(QStringLiteral("DATES"), "1", {}, 1000, 1000);
    row(QStringLiteral("DATES"), "1", feb28, 200, QVariant(QMetaType::fromType<double>()));
    row(QStringLiteral("DATES"), "2", jan31, 100.5, 0.0); // -0.50: February's turnover is later
    row(QStringLiteral("DATES"), "2", feb28, 300, 199.5); // 0: its own date's turnover counts
    row(QStringLiteral("DATES"), "1", feb28, 300, 200);
    row(QStringLiteral("DATES"), "2", {}, 5000, 0.0);
    // Rows without an item, without an ID, before the item's start or on its write-off date.
    row(QStringLiteral("NOITEM"), "2", jan31, 50, 0.0);
    row(noId, "2", jan31, 50, 0.0);
    item(QStringLiteral("BEFORE"), QDate(2005, 2, 1));
    row(QStringLiteral("BEFORE"), "2", jan31, 50, 0.0);
    item(QStringLiteral("WRITEOFF"), QDate(2004, 1, 1), QDate(2005, 1, 31));
    row(QStringLiteral("WRITEOFF"), "2", jan31, 50, 0.0);
    // Roubles against plane 3 only; an item twice in the packet reports its rows twice.
    item(QStringLiteral("RUB"), QDate(2004, 1, 1));
    item(QStringLiteral("RUB"), QDate(2004, 1, 1));
    accepted(QStringLiteral("RUB"), QStringLiteral("3"), QDate(2004, 12, 31), 300);
    row(QStringLiteral("RUB"), "1", jan10, 1000, 1000);
    row(QStringLiteral("RUB"), "4", jan31, 300.5, 0.0);
    row(QStringLiteral("RUB"), "4", jan20, 300, 0.0);
    // A large amount fully depreciated: its residual value is 0, not a rounding error below it.
    item(QStringLiteral("LARGE"), QDate(2004, 1, 1));
    for (int month = 1; month <= 12; ++month) {
        const QDate dd = QDate(2005, month, 1).addMonths(1).addDays(-1);
        row(QStringLiteral("LARGE"), "3", dd, 123456789.17 * month, 123456789.17);
        row(QStringLiteral("LARGE"), "4", dd, 123456789.17 * month, 123456789.17);
    }

    const auto protocolRows = [this] {
        QStringList rows;
        for (const engine::TableData& p : store_.protocols())
            for (const QStringList& r : p.rows)
                rows << r.join(u' ');
        return rows;
    };
    checks().CheckHasNegativeOSTST();
    const QStringList everyRow = protocolRows();
    ASSERT_EQ(everyRow.size(), 4) << everyRow.join(u'\n').toStdString();

    const bool stored = seen.store(c(), context_.CurrencyFrom, context_.RoublesFrom, ResidualThreshold);
    ASSERT_EQ(stored, GetParam() != db::Backend::SqlServer);
    if (!stored)
        return;
    const int candidates = c().scalar(QStringLiteral("select count(*) from ") + temp("TEMP2C")).toInt();
    EXPECT_LT(candidates, depreciationRows);
    EXPECT_GE(candidates, GetParam() == db::Backend::SQLite ? 4 : 3); // rows on SQLite, items on PostgreSQL
    store_.clear();
    context_.residualCandidates = true;
    checks().CheckHasNegativeOSTST();
    EXPECT_EQ(protocolRows(), everyRow);
}

// Values the server would compare otherwise (a number as an ID) leave every row to the check.
TEST(ResidualCandidates, UnusableWhenAValueIsNotAsStored) {
    ResidualCandidates seen(db::Backend::SQLite);
    seen.setColumns({QStringLiteral("ID"), QStringLiteral("DD"), QStringLiteral("TYP"),
                     QStringLiteral("SALDO"), QStringLiteral("DELTA")});
    const std::vector<QVariant> text{QStringLiteral("A"), QStringLiteral("2005-01-31 00:00:00"),
                                     QStringLiteral("2"), 1.0, 0.0};
    seen.addRow(text.data());
    EXPECT_TRUE(seen.usable());
    const std::vector<QVariant> number{17, QStringLiteral("2005-01-31 00:00:00"), QStringLiteral("2"), 1.0,
                                       0.0};
    seen.addRow(number.data());
    EXPECT_FALSE(seen.usable());
    ResidualCandidates noDelta(db::Backend::PostgreSQL);
    noDelta.setColumns(
        {QStringLiteral("ID"), QStringLiteral("DD"), QStringLiteral("TYP"), QStringLiteral("SALDO")});
    EXPECT_FALSE(noDelta.usable());
}

// The packet's turnovers up to a date: rows of that same date count, rows of other branches too,
// rows without a date never; a row or item without an ID gets no turnovers (NULL matches nothing).
TEST_P(HistoryChecksTest, TurnoversUpToADateKeepTheirEdges) {
    variable(QStringLiteral("CHECK_ZERO_BST"), at(QDate(2000, 1, 1)), 1);
    const QString temp2 = temp("TEMP2");
    const auto raw = [this, &temp2](const char* id, const char* kod, const char* dd, const char* typ,
                                    const char* saldo, const char* delta) {
        c().execute(
            QStringLiteral("insert into %1 (ID, KOD_F, DD, TYP, SALDO, DELTA) values (%2,'%3',%4,'%5',%6,%7)")
                .arg(temp2, QString::fromLatin1(id), QString::fromLatin1(kod), QString::fromLatin1(dd),
                     QString::fromLatin1(typ), QString::fromLatin1(saldo), QString::fromLatin1(delta)));
    };
    const QString jan10 = c().dialect().dateLiteral(DateValue::fromDate(QDate(2005, 1, 10)));
    const QString jan15 = c().dialect().dateLiteral(DateValue::fromDate(QDate(2005, 1, 15)));
    const QByteArray d10 = jan10.toUtf8(), d15 = jan15.toUtf8();
    // SAME: 10 on its BEG_DATE and 5 from another branch, 1 more on the 15th, so a depreciation of
    // 16 on the 15th leaves exactly 0; 1000 without a date never counts. In roubles it has no
    // turnovers: both depreciation rows of 16 are negative.
    item(QStringLiteral("SAME"), QDate(2005, 1, 10));
    item(QStringLiteral("SAME"), QDate(2005, 1, 10));
    raw("'SAME'", "01", d10.constData(), "1", "10", "10");
    raw("'SAME'", "02", d10.constData(), "1", "5", "5");
    raw("'SAME'", "01", d15.constData(), "1", "16", "1");
    raw("'SAME'", "01", "NULL", "1", "1000", "1000");
    raw("'SAME'", "01", d15.constData(), "2", "16", "0");
    raw("'SAME'", "01", d15.constData(), "4", "16", "0");
    raw("'SAME'", "01", d15.constData(), "4", "16", "0");
    // LATER: its only turnover comes after BEG_DATE; UNDATED: no BEG_DATE, so no turnovers.
    item(QStringLiteral("LATER"), QDate(2005, 1, 10));
    raw("'LATER'", "01", d15.constData(), "1", "10", "10");
    raw("'LATER'", "01", d15.constData(), "3", "10", "10");
    c().execute(QStringLiteral("insert into ") + temp("TEMP1") +
                QStringLiteral(" (ID, KOD_F, NAME) values ('UNDATED', '01', 'Без даты')"));
    raw("'UNDATED'", "01", d10.constData(), "1", "10", "10");
    raw("'UNDATED'", "01", d10.constData(), "3", "10", "10");
    // An item without an ID does not collect the turnovers of balance rows without an ID.
    c().execute(QStringLiteral("insert into ") + temp("TEMP1") +
                QStringLiteral(" (KOD_F, BEG_DATE, NAME) values ('01', ") + jan15 +
                QStringLiteral(", 'Без кода')"));
    raw("NULL", "01", d10.constData(), "1", "10", "10");
    raw("NULL", "01", d10.constData(), "3", "10", "10");

    checks().CheckBSTnotZero();
    checks().CheckHasNegativeOSTST();
    ASSERT_EQ(store_.count(), 2);
    QStringList zero;
    for (const QStringList& row : store_.protocols()[0].rows)
        zero << row[0] + u'/' + row[7];
    zero.sort();
    EXPECT_EQ(zero, QStringList({QStringLiteral("/МСФО"), QStringLiteral("/РСБУ"),
                                 QStringLiteral("LATER/МСФО"), QStringLiteral("LATER/РСБУ"),
                                 QStringLiteral("SAME/РСБУ"), QStringLiteral("SAME/РСБУ"),
                                 QStringLiteral("UNDATED/МСФО"), QStringLiteral("UNDATED/РСБУ")}));
    QStringList negative;
    for (const QStringList& row : store_.protocols()[1].rows)
        negative << row.mid(7).join(u' ') + u' ' + row[0];
    negative.sort();
    // Each row once per item of its ID: SAME is in the packet twice.
    const QString row = QStringLiteral("РСБУ 15.01.2005 0,00 16,00 -16,00 SAME");
    EXPECT_EQ(negative, QStringList({row, row, row, row}));
}

INSTANTIATE_TEST_SUITE_P(Backends, HistoryChecksTest, ::testing::ValuesIn(test::testBackends()),
                         [](const auto& info) { return test::backendLabel(info.param); });

} // namespace
