// The statements of the history checks, the direct and the inflation reception as the SQL Server
// dialect sends them.
#include <gtest/gtest.h>

#include "checks/HistoryChecks.h"
#include "db/Dialect.h"
#include "reception/DirectReception.h"
#include "reception/InflationReception.h"
#include "support/ExpectedTexts.h"

using namespace svod;

namespace {

TEST(HistoryTextsTest, HistoryChecksOnSqlServer) {
    const auto d = db::makeDialect(db::Backend::SqlServer);
    const DateValue jan2005 = DateValue::fromYmd(2005, 1, 1);
    const DateValue jan2006 = DateValue::fromYmd(2006, 1, 1);
    namespace c = checks::statements;
    const checks::BranchLimits limits{DateValue::fromYmd(2005, 7, 1), DateValue(0.0)};
    test::expectTexts({
        {"GetFilialVarDate", c::filialVarDate(*d, QStringLiteral("D_MIN_VAL"), QStringLiteral("01")),
         "select A.D_MIN_VAL from FILIALS A where A.KOD = '01'"},
        {"GetVarNum",
         c::varNum(*d, QStringLiteral("CHECK_ZERO_BST"), DateValue::fromYmd(2006, 3, 5).addDays(0)),
         "select A.NVARVALUE from CLT A where A.LABEL = 'CHECK_ZERO_BST' and DD =  (select MAX(B.DD) from "
         "CLT B "
         "where B.LABEL = A.LABEL and B.DD <= CONVERT(DATETIME,'05.03.2006',104))"},
        {"CheckDeletedInInvalidPeriod", c::deletedInInvalidPeriod(*d, QStringLiteral("01"), limits),
         "select A.ID, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE   from INV A   "
         "where "
         "(A.KOD_F = '01') and (A.END_DATE is NULL)    and (not exists(select TA.ID from #TEMP1 TA where "
         "TA.ID = "
         "A.ID))    and (exists(select B1.ID from INV_OST B1 where B1.ID = A.ID and B1.DD < "
         "CONVERT(DATETIME,'01.07.2005',104))         or exists(select B3.ID from INV_OST3 B3 where B3.ID = "
         "A.ID "
         "and B3.DD < CONVERT(DATETIME,'30.12.1899',104))) "},
        {"CheckBSTnotZero", c::bstNotZero(*d, jan2005, jan2006),
         "select * from (  Select A.ID,1 AS TYP2,A.TYPEM,A.KARD_NUM,A.INV_NUM,A.NAME,A.BEG_DATE,A.END_DATE,  "
         "  "
         "ISNULL(dbo.OSTAT(A.ID,CONVERT(DATETIME,'01.01.2005',104)-1,1),0)   +ISNULL((Select SUM(B.DELTA) "
         "From "
         "#TEMP2 B WHERE A.ID=B.ID AND B.TYP='1' AND B.DD<=A.BEG_DATE),0) AS BST  from #TEMP1 A  Union all  "
         "Select A.ID,3 AS TYP2,A.TYPEM,A.KARD_NUM,A.INV_NUM,A.NAME,A.BEG_DATE,A.END_DATE,    "
         "ISNULL(dbo.OSTAT(A.ID,CONVERT(DATETIME,'01.01.2006',104)-1,3),0)   +ISNULL((Select SUM(B.DELTA) "
         "From "
         "#TEMP2 B WHERE A.ID=B.ID AND B.TYP='3' AND B.DD<=A.BEG_DATE),0) AS BST  from #TEMP1 A ) MAIN where "
         "(isnull(MAIN.BST,0) <= 0)   and ((MAIN.END_DATE is null)or(MAIN.END_DATE > MAIN.BEG_DATE)) "},
        {"CheckHasNegativeOSTST",
         c::negativeOstst(*d, jan2005, jan2006, checks::thresholdText(0), checks::thresholdText(0)),
         "Select MAIN.ID,MAIN.DD,MAIN.TYP AS "
         "TYP2,MAIN.OST,MAIN.BST,MAIN.NAKOPL,AI.TYPEM,AI.KARD_NUM,AI.INV_NUM,"
         "AI.NAME,AI.BEG_DATE,AI.END_DATE From (Select F.ID,F.DD,F.TYP,F.BST,F.NAKOPL,(F.BST - F.NAKOPL) as "
         "OST "
         "from (       Select A.ID,A.DD,A.TYP,        "
         "ISNULL(dbo.OSTAT(A.ID,CONVERT(DATETIME,'01.01.2005',104)-1,"
         "1),0)        +ISNULL((Select SUM(B.DELTA) From #TEMP2 B WHERE A.ID=B.ID AND B.TYP='1' AND "
         "B.DD<=A.DD),0) AS BST,        ISNULL(A.SALDO,0) AS NAKOPL       from #TEMP2 A Where TYP='2' ) F "
         "where "
         "(F.BST - F.NAKOPL) < 0      Union all       Select G.ID,G.DD,G.TYP,G.BST,G.NAKOPL,(G.BST - "
         "G.NAKOPL) "
         "as OST from (       Select A.ID,A.DD,A.TYP,        "
         "ISNULL(dbo.OSTAT(A.ID,CONVERT(DATETIME,'01.01.2006',104)-1,3),0)        +ISNULL((Select "
         "SUM(B.DELTA) "
         "From #TEMP2 B WHERE A.ID=B.ID AND B.TYP='3' AND B.DD<=A.DD),0) AS BST,        ISNULL(A.SALDO,0) AS "
         "NAKOPL       from #TEMP2 A Where TYP='4' ) G where (G.BST - G.NAKOPL) < 0     ) MAIN left join "
         "#TEMP1 "
         "AI on AI.ID = MAIN.ID where (MAIN.DD >= AI.BEG_DATE)   and ((AI.END_DATE is null) or (MAIN.DD <> "
         "AI.END_DATE)) "},
        {"CHECK_TYPE", c::checkType(*d, QStringLiteral("01")),
         "select CHECK_TYPE from dbo.FILIALS where KOD = '01'"},
        {"check mode 1", c::latestRowOnly(*d),
         "  and (MAIN.DD = (select max(D.DD) from #TEMP2 D where D.ID = MAIN.ID and D.TYP = MAIN.TYP group "
         "by "
         "D.ID, D.TYP))"},
    });
}

TEST(HistoryTextsTest, ThresholdsUseAPointWhateverTheDecimalSeparator) {
    EXPECT_EQ(checks::thresholdText(0), QStringLiteral("0"));
    EXPECT_EQ(checks::thresholdText(-0.5), QStringLiteral("-0.5"));
    EXPECT_EQ(checks::thresholdText(1234.25), QStringLiteral("1234.25"));
}

TEST(HistoryTextsTest, DirectReceptionOnSqlServer) {
    const auto d = db::makeDialect(db::Backend::SqlServer);
    namespace r = reception::statements;
    const QString dbo = d->ownerPrefix(QStringLiteral("dbo"));
    test::expectTexts({
        {"items exist", r::stagingExists(*d, dbo, reception::StagingItems),
         "if exists (select * from sysobjects where id = object_id(N'dbo.TEMP_MU_MSFO_SBROS_A') and "
         "OBJECTPROPERTY(id, N'IsUserTable') = 1) select 1 AS RESULT else select 0 AS RESULT"},
        {"movements exist", r::stagingExists(*d, QString(), reception::StagingMovements),
         "if exists (select * from sysobjects where id = object_id(N'TEMP_MU_MSFO_SBROS_B') and "
         "OBJECTPROPERTY(id, N'IsUserTable') = 1) select 1 AS RESULT else select 0 AS RESULT"},
        {"item codes", r::stagingItemCodes(dbo), "select distinct KOD_F from dbo.TEMP_MU_MSFO_SBROS_A "},
        {"unique items", r::stagingDuplicateIds(dbo),
         "select ID,count(*) from dbo.TEMP_MU_MSFO_SBROS_A where KOD_F <>'**' group by ID having count(*) > "
         "1"},
        {"movement codes", r::stagingMovementCodes(dbo),
         "select distinct KOD_F from dbo.TEMP_MU_MSFO_SBROS_B where KOD_F <> '**'"},
        {"header 1", r::stagingHeaderDate(dbo, QStringLiteral("1")),
         "select DD from dbo.TEMP_MU_MSFO_SBROS_B where KOD_F = '**' and TYP = '1'"},
        {"AssignDates", r::stagingPlaneDates(dbo, QStringLiteral("4")),
         "select MAX(DD) AS MAXDD,MIN(DD) AS MINDD from dbo.TEMP_MU_MSFO_SBROS_B where KOD_F <> '**' and TYP "
         "= "
         "'4'"},
        {"fill #TEMP1", r::fillTemp1FromStaging(*d, dbo),
         "insert into #TEMP1 "
         "(ID,KOD_F,TYPEM,KARD_NUM,INV_NUM,VNESH_NUM,BEG_DATE,END_DATE,NAME,PRICEVAL,LOSS,NDS,"
         "S_NALOG,AMKOD,NORM_KOD,REMARK,N_A,KOD_OKOF,GROUP1,GROUP2,GROUP3,GROUP4,GROUP5,SROK_DATE,POLUCH,"
         "VIBIV,"
         "BSN,FACT_DATE,SROK_DATE2) select ID,KOD_F,TYPEM,KARD_NUM,INV_NUM,VNESH_NUM,BEG_DATE,END_DATE,NAME,"
         "PRICEVAL,LOSS,NDS,S_NALOG,AMKOD,NORM_KOD,REMARK,N_A,KOD_OKOF,GROUP1,GROUP2,GROUP3,GROUP4,GROUP5,"
         "SROK_DATE,POLUCH,VIBIV,BSN,FACT_DATE,SROK_DATE2 from dbo.TEMP_MU_MSFO_SBROS_A "},
        {"fill #TEMP2", r::fillTemp2FromStaging(*d, dbo),
         "insert into #TEMP2 (ID,KOD_F,DD,TYP,SALDO,DELTA) select ID,KOD_F,DD,TYP,SALDO,DELTA from "
         "dbo.TEMP_MU_MSFO_SBROS_B where KOD_F <> '**'"},
        {"drop A", r::dropStaging(dbo, reception::StagingItems), "drop table dbo.TEMP_MU_MSFO_SBROS_A"},
    });
}

TEST(HistoryTextsTest, InflationReceptionOnSqlServer) {
    const auto d = db::makeDialect(db::Backend::SqlServer);
    namespace r = reception::statements;
    test::expectTexts({
        {"exists", r::stagingExists(*d, QString(), reception::StagingInflation),
         "if exists (select * from sysobjects where id = object_id(N'TEMP_MU_MSFO_SBROS_INFL') and "
         "OBJECTPROPERTY(id, N'IsUserTable') = 1) select 1 AS RESULT else select 0 AS RESULT"},
        {"codes", r::stagingInflCodes(QString()), "select distinct KOD_F from TEMP_MU_MSFO_SBROS_INFL "},
        {"planes", r::stagingInflPlanes(QString()), "select distinct TYP from TEMP_MU_MSFO_SBROS_INFL "},
        {"create #TEMP3", r::createTemp3(*d), "select top 0 * into #TEMP3 from INV_INFL"},
        {"fill #TEMP3", r::fillTemp3FromStaging(*d, QString()),
         "insert into #TEMP3 (ID,KOD_F,DD,TYP,SALDO,DELTA) select ID,KOD_F,DD,TYP,SALDO,DELTA from "
         "TEMP_MU_MSFO_SBROS_INFL where KOD_F <> '**'"},
        {"delete", r::deleteInflation(*d, QStringLiteral("01")), "delete from INV_INFL where KOD_F = '01'  "},
        {"insert", r::insertInflation(*d, QStringLiteral("01")),
         "insert into INV_INFL select * from #TEMP3 where KOD_F = '01'  "},
        {"drop #TEMP3", r::dropTemp3(*d), "drop table #TEMP3 "},
    });
}

TEST(HistoryTextsTest, PacketValuesAreQuoted) {
    const auto d = db::makeDialect(db::Backend::SqlServer);
    EXPECT_TRUE(
        checks::statements::checkType(*d, QStringLiteral("0'")).endsWith(QStringLiteral("KOD = '0'''")));
    EXPECT_EQ(reception::statements::deleteInflation(*d, QStringLiteral("0'; drop table INV --")),
              QStringLiteral("delete from INV_INFL where KOD_F = '0''; drop table INV --'  "));
    EXPECT_TRUE(checks::statements::deletedInInvalidPeriod(*d, QStringLiteral("0'"), {})
                    .contains(QStringLiteral("(A.KOD_F = '0''')")));
}

} // namespace
