// The statements as the SQL Server dialect writes them, byte for byte. Later features extend
// this table with every statement they add.
#include <gtest/gtest.h>

#include "db/Branches.h"
#include "db/DateValue.h"
#include "db/dialects/SqlServerDialect.h"
#include "support/ExpectedTexts.h"

using namespace svod;
using namespace svod::db;
using svod::test::ExpectedText;

namespace {
std::vector<ExpectedText> expectedTexts() {
    static const SqlServerDialect impl;
    const Dialect& d = impl;
    const DateValue jan5 = DateValue::fromYmd(2004, 1, 5);
    const QString crlf = QStringLiteral("\r\n");
    return {
        {"date literal", d.dateLiteral(jan5), "CONVERT(DATETIME,'05.01.2004',104)"},
        {"day before", d.dateLiteralPlusDays(jan5, -1), "CONVERT(DATETIME,'05.01.2004',104)-1"},
        {"day after", d.dateLiteralPlusDays(jan5, 1), "CONVERT(DATETIME,'05.01.2004',104)+1"},
        {"GetFilName", branchNameQuery(d, QStringLiteral("07")),
         "SELECT NAZVANIE FROM FILIALS WHERE KOD ='07'"},
        {"OSTAT plane 1", d.ostat(QStringLiteral("A.ID"), jan5, 1),
         "ISNULL(dbo.OSTAT(A.ID,CONVERT(DATETIME,'05.01.2004',104)-1,1),0)"},
        {"OSTAT plane 3", d.ostat(QStringLiteral("A.ID"), DateValue::fromYmd(2005, 2, 1), 3),
         "ISNULL(dbo.OSTAT(A.ID,CONVERT(DATETIME,'01.02.2005',104)-1,3),0)"},
        {"temporary copy of INV", d.selectTop0IntoTemp(QStringLiteral("TEMP1"), QStringLiteral("INV")),
         "select top 0 * into #TEMP1 from INV"},
        {"temporary copy of INV_OST",
         d.selectTop0IntoTemp(QStringLiteral("TEMP2"), QStringLiteral("INV_OST")),
         "select top 0 * into #TEMP2 from INV_OST"},
        {"staging table exists",
         d.tableExistsQuery(d.ownerPrefix(QStringLiteral("dbo")) + QStringLiteral("TEMP_MU_MSFO_SBROS_A")),
         "if exists (select * from sysobjects where id = object_id(N'dbo.TEMP_MU_MSFO_SBROS_A') and "
         "OBJECTPROPERTY(id, N'IsUserTable') = 1) select 1 AS RESULT else select 0 AS RESULT"},
        {"staging table exists, no owner",
         d.tableExistsQuery(d.ownerPrefix(QString()) + QStringLiteral("TEMP_MU_MSFO_SBROS_INFL")),
         "if exists (select * from sysobjects where id = object_id(N'TEMP_MU_MSFO_SBROS_INFL') and "
         "OBJECTPROPERTY(id, N'IsUserTable') = 1) select 1 AS RESULT else select 0 AS RESULT"},
        {"create INV_INFL",
         d.createBalanceTableCopy(QStringLiteral("INV_INFL"), QStringLiteral("INV_OST"),
                                  QStringLiteral("IX_INV_INFL"))
             .join(QString()),
         "if not exists (select * from dbo.sysobjects where id = object_id(N'INV_INFL') and "
         "OBJECTPROPERTY(id, N'IsUserTable') = 1) \r\n"
         "begin \r\n"
         "  select top 0 * into INV_INFL from INV_OST \r\n"
         "  create unique index IX_INV_INFL on INV_INFL (ID,KOD_F,DD,TYP) \r\n"
         "end \r\n"},
        {"create INV_OST3",
         d.createBalanceTableCopy(QStringLiteral("INV_OST3"), QStringLiteral("INV_OST"),
                                  QStringLiteral("IX_INV_OST3"))
             .join(QString()),
         "if not exists (select * from dbo.sysobjects where id = object_id(N'INV_OST3') and "
         "OBJECTPROPERTY(id, N'IsUserTable') = 1) \r\n"
         "begin \r\n"
         "  select top 0 * into INV_OST3 from INV_OST \r\n"
         "  create unique index IX_INV_OST3 on INV_OST3 (ID,KOD_F,DD,TYP) \r\n"
         "end \r\n"},
        {"isnull", d.isnull(QStringLiteral("A.AMKOD"), QStringLiteral("''")), "isnull(A.AMKOD,'')"},
        {"ISNULL", d.isnull(QStringLiteral("X"), QStringLiteral("0"), true), "ISNULL(X,0)"},
        {"top 1", d.selectTop(1, QStringLiteral("ID from INV")), "select top 1 ID from INV"},
    };
}
} // namespace

TEST(SqlServerTexts, EveryStatementByteForByte) {
    test::expectTexts(expectedTexts());
}

TEST(SqlServerTexts, ApostropheInBranchCodeIsQuoted) {
    const SqlServerDialect d;
    EXPECT_EQ(branchNameQuery(d, QStringLiteral("0'")),
              QStringLiteral("SELECT NAZVANIE FROM FILIALS WHERE KOD ='0'''"));
}
