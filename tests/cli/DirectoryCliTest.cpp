// svod-cli's branch directory commands: branches, actuality, delete-branch, vars, log, admin.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "support/TestDatabase.h"

using namespace svod;
using svod::test::runCli;

class DirectoryCliTest : public ::testing::TestWithParam<db::Backend> {
protected:
    void SetUp() override {
        SVOD_REQUIRE_BACKEND(GetParam());
        db_ = std::make_unique<test::TestDatabase>(GetParam());
        ASSERT_EQ(run({QStringLiteral("init-db"), QStringLiteral("--demo"), packets_.path()}).exitCode, 0);
        sql(QStringLiteral("insert into INV (ID, KOD_F, NAME) values ('A1', '02', 'Станок')"));
        sql(QStringLiteral("insert into INV_OST (ID, KOD_F, DD, TYP, SALDO, DELTA) values "
                           "('A1', '02', '2005-01-31 00:00:00', '1', 10, 0)"));
        sql(QStringLiteral("insert into INV_OST (ID, KOD_F, DD, TYP, SALDO, DELTA) values "
                           "('A1', '02', '2005-06-30 00:00:00', '2', 10, 0)"));
        sql(QStringLiteral("insert into INV_INFL (ID, KOD_F, DD, TYP, SALDO, DELTA) values "
                           "('A1', '02', '2005-06-30 00:00:00', '5', 10, 0)"));
    }
    test::CliRun run(const QStringList& args) const {
        return runCli(QStringList{QStringLiteral("--db"), db_->connectionString()} + args);
    }
    QString sql(const QString& text) const {
        const auto r = run({QStringLiteral("sql"), text});
        EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
        return r.out;
    }
    QStringList lines(const QString& out) const { return out.split(u'\n', Qt::SkipEmptyParts); }
    QTemporaryDir packets_;
    std::unique_ptr<test::TestDatabase> db_;
};

TEST_P(DirectoryCliTest, ActualityAndBranchesAsCsv) {
    auto r = run({QStringLiteral("actuality")});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
    const QStringList rows = lines(r.out);
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[0], QStringLiteral("KOD;NAZVANIE;DAM;DA;DAMR;DAR;DINFL"));
    EXPECT_TRUE(rows[2].startsWith(QStringLiteral("02;"))) << rows[2].toStdString();
    EXPECT_TRUE(rows[2].endsWith(QStringLiteral(";31.01.2005;30.06.2005;;;1"))) << rows[2].toStdString();

    r = run({QStringLiteral("branches")});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(lines(r.out).value(0),
              QStringLiteral("KOD;NAZVANIE;D_BEG;D_END;D_MIN_VAL;D_MIN_RUB;CHECK_TYPE"));
    EXPECT_TRUE(lines(r.out).value(1).startsWith(QStringLiteral("01;"))) << r.out.toStdString();
}

TEST_P(DirectoryCliTest, DeleteBranchAsksUnlessYes) {
    auto r = run({QStringLiteral("delete-branch"), QStringLiteral("02")});
    EXPECT_EQ(r.exitCode, 3) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("INV 1, INV_OST 2, INV_OST3 0, INV_INFL 1")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("[answer] cancel")));
    EXPECT_TRUE(lines(sql(QStringLiteral("select count(*) from INV_OST"))).value(1) == QStringLiteral("2"));

    r = run({QStringLiteral("--json"), QStringLiteral("delete-branch"), QStringLiteral("02"),
             QStringLiteral("--yes")});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    const auto json = r.jsonLines();
    ASSERT_GE(json.size(), 3);
    EXPECT_EQ(json[json.size() - 2][QStringLiteral("text")].toString(), QStringLiteral("Данные удалены"));
    EXPECT_EQ(lines(sql(QStringLiteral("select count(*) from INV_OST"))).value(1), QStringLiteral("0"));
    EXPECT_EQ(lines(sql(QStringLiteral("select count(*) from FILIALS where KOD = '02'"))).value(1),
              QStringLiteral("1"));

    r = run({QStringLiteral("delete-branch"), QStringLiteral("2"), QStringLiteral("--yes")});
    EXPECT_EQ(r.exitCode, 2) << "a code of one character deletes nothing";
}

TEST_P(DirectoryCliTest, VarsSetPropagatesTheMinimumDate) {
    auto r = run({QStringLiteral("vars"), QStringLiteral("set"), QStringLiteral("MIN_DATE_CAN_LOAD_DOL"),
                  QStringLiteral("--date"), QStringLiteral("01.04.2005")});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_EQ(lines(run({QStringLiteral("branches")}).out).value(3).section(u';', 4, 4),
              QStringLiteral("01.04.2005"));
    r = run({QStringLiteral("vars"), QStringLiteral("set"), QStringLiteral("X"), QStringLiteral("--date"),
             QStringLiteral("32.13.2005")});
    EXPECT_EQ(r.exitCode, 64);
    r = run({QStringLiteral("vars"), QStringLiteral("set"), QStringLiteral("X")});
    EXPECT_EQ(r.exitCode, 64);
}

TEST_P(DirectoryCliTest, LogFiltersAndShowsTheDetail) {
    sql(QStringLiteral(
        "insert into LOG_ACCEPT (DD, STATUS, KODFIL, MES) values ('2005-03-01 10:00:00', 0, '02', "
        "'принят')"));
    sql(QStringLiteral(
        "insert into LOG_ACCEPT (DD, STATUS, KODFIL, MES) values ('2005-03-02 00:00:00', 5, '77', "
        "'строка 1\nстрока 2')"));
    auto r = run({QStringLiteral("log"), QStringLiteral("--from"), QStringLiteral("01.03.2005"),
                  QStringLiteral("--to"), QStringLiteral("2005-03-01")});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
    QStringList rows = lines(r.out);
    ASSERT_EQ(rows.size(), 3) << r.out.toStdString();
    EXPECT_EQ(rows[0], QStringLiteral("ID;DD;STATUS;NAZVANIE"));
    EXPECT_EQ(rows[1].section(u';', 1), QStringLiteral("02.03.2005;Неопознанная ошибка;"));
    EXPECT_EQ(rows[2].section(u';', 1, 2), QStringLiteral("01.03.2005 10.00.00;Удачный прием"));

    r = run({QStringLiteral("log"), QStringLiteral("show"), rows[1].section(u';', 0, 0)});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Филиал: Не найден филиал с номером \"77\"!")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Статус: 5\n")));

    r = run({QStringLiteral("log"), QStringLiteral("--from"), QStringLiteral("02.03.2005"),
             QStringLiteral("--to"), QStringLiteral("01.03.2005")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Дата начала должна быть меньше даты окончания")));
    EXPECT_EQ(run({QStringLiteral("log"), QStringLiteral("show"), QStringLiteral("1 or 1=1")}).exitCode, 4);
}

TEST_P(DirectoryCliTest, AdminCreatesTablesOnce) {
    sql(QStringLiteral("drop table INV_INFL"));
    for (int i = 0; i < 2; ++i) {
        const auto r =
            run({QStringLiteral("admin"), QStringLiteral("create-table"), QStringLiteral("INV_INFL")});
        EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("\nOK\n")));
    }
    EXPECT_EQ(
        run({QStringLiteral("admin"), QStringLiteral("create-table"), QStringLiteral("FILIALS")}).exitCode,
        64);
}

INSTANTIATE_TEST_SUITE_P(Backends, DirectoryCliTest, ::testing::ValuesIn(svod::test::testBackends()),
                         [](const auto& info) { return svod::test::backendLabel(info.param); });
