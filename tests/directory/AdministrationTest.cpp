// The administration window's core: page codes, table creation and the query page.
#include "directory/Administration.h"
#include "DirectoryFixture.h"
#include "db/Error.h"
#include "directory/QueryTable.h"

using namespace svod;
using namespace svod::directory;
using svod::test::DirectoryTest;

TEST(AdminPages, CodesOpenTheirPagesExactly) {
    EXPECT_EQ(pageForCode(QStringLiteral("0")), AdminPage::Command);
    EXPECT_EQ(pageForCode(QString::number(TableCreationPageCode)), AdminPage::TableCreation);
    EXPECT_EQ(pageForCode(QString::number(QueryPageCode)), AdminPage::Query);
    const QString table = QString::number(TableCreationPageCode);
    const QString query = QString::number(QueryPageCode);
    const QStringList wrong = {QStringLiteral("0") + table,
                               query + QStringLiteral(" "),
                               QStringLiteral(" ") + query,
                               QStringLiteral("00"),
                               QString(),
                               QStringLiteral("1234")};
    for (const QString& typed : wrong)
        EXPECT_FALSE(pageForCode(typed)) << typed.toStdString();
    EXPECT_EQ(QString::number(TableCreationPageCode).size(), 4);
    EXPECT_EQ(QString::number(QueryPageCode).size(), 5);
}

class AdministrationTest : public DirectoryTest {};

TEST_P(AdministrationTest, CreatingTwiceCreatesOnceWithTheBalanceColumnsAndUniqueKey) {
    connection().execute(QStringLiteral("drop table INV_INFL"));
    createBalanceTable(connection(), QStringLiteral("INV_INFL"));
    balance(QStringLiteral("INV_INFL"), QStringLiteral("X"), QStringLiteral("01"),
            QStringLiteral("2005-01-31"), QStringLiteral("5"));
    EXPECT_NO_THROW(createBalanceTable(connection(), QStringLiteral("INV_INFL")));
    EXPECT_EQ(count(QStringLiteral("select count(*) from INV_INFL")), 1)
        << "the second press changes nothing";
    EXPECT_THROW(balance(QStringLiteral("INV_INFL"), QStringLiteral("X"), QStringLiteral("01"),
                         QStringLiteral("2005-01-31"), QStringLiteral("5")),
                 DbError)
        << "unique over ID, KOD_F, DD, TYP";
    QueryTable infl;
    infl.open(connection(), QStringLiteral("select * from INV_INFL"));
    QueryTable ost;
    ost.open(connection(), QStringLiteral("select * from INV_OST"));
    EXPECT_EQ(infl.columnNames(), ost.columnNames());
    const QString indexCount =
        connection().backend() == db::Backend::PostgreSQL
            ? QStringLiteral("select count(*) from pg_indexes where indexname = 'ix_inv_infl_kod' "
                             "and schemaname = current_schema()")
            : QStringLiteral("select count(*) from sqlite_master where name = 'IX_INV_INFL_KOD'");
    EXPECT_EQ(count(indexCount), 1) << "the branch index the schema gives the table comes with it";
    EXPECT_THROW(createBalanceTable(connection(), QStringLiteral("FILIALS")), Error);
}

TEST_P(AdministrationTest, QueryRowsOrRowsChanged) {
    QueryTable rows;
    auto result =
        runAdminQuery(connection(), QStringLiteral("select KOD, NAZVANIE\nfrom FILIALS order by KOD"), rows);
    EXPECT_TRUE(result.hasRows);
    EXPECT_EQ(rows.rowCount(), 2);

    result = runAdminQuery(connection(), QStringLiteral("update FILIALS set CHECK_TYPE = 1"), rows);
    EXPECT_FALSE(result.hasRows);
    EXPECT_EQ(result.rowsAffected, 2);
    EXPECT_EQ(rows.rowCount(), 0);
    EXPECT_EQ(rowsChangedMessage(2), QStringLiteral("Запрос выполнен. Изменено строк: 2"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from FILIALS where CHECK_TYPE = 1")), 2);

    EXPECT_THROW(runAdminQuery(connection(), QStringLiteral("selec nothing"), rows), DbError);
    EXPECT_FALSE(rows.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Backends, AdministrationTest, ::testing::ValuesIn(svod::test::testBackends()),
                         svod::test::backendName);
