// Every statement of the reception and the packet checks, as the SQL Server dialect sends it.
#include <gtest/gtest.h>

#include "checks/PacketChecks.h"
#include "db/Dialect.h"
#include "reception/PacketScan.h"
#include "reception/Replacement.h"
#include "support/ExpectedTexts.h"

using namespace svod;

namespace {

TEST(StatementTextsTest, SqlServerTextsAreExact) {
    const auto d = db::makeDialect(db::Backend::SqlServer);
    const DateValue jan2006 = DateValue::fromYmd(2006, 1, 1);
    const QString code = QStringLiteral("01");
    namespace c = checks::statements;
    namespace r = reception::statements;
    const std::vector<test::ExpectedText> table = {
        {"CheckDouble_ID_In_A", c::doubleIdInA(*d),
         "select A.ID, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE  from  #TEMP1 A   "
         "where "
         "(select count(*) from #TEMP1 B where B.ID = A.ID) > 1 "},
        {"CheckNoRequredFields", c::noRequiredFields(*d),
         "select A.ID, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE  from  #TEMP1 A   "
         "where "
         "(A.BEG_DATE is null) or (A.TYPEM is null) or (A.KARD_NUM is null) or (A.INV_NUM is null) or "
         "(A.NAME is null)"},
        {"CheckBExistsInA", c::bExistsInA(*d),
         "select B.ID,B.TYP,B.DD,B.SALDO,B.DELTA  from  #TEMP2 B   where B.KOD_F <> '**' and not exists "
         "(select * from "
         "#TEMP1 A where A.ID = B.ID) "},
        {"CheckNoGroup", c::noGroup(*d),
         "select A.ID, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE  from  #TEMP1 A   "
         "where "
         "isnull(A.GROUP1,' ') = ' ' "},
        {"CheckNoShifr", c::noShifr(*d),
         "select A.ID, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE  from  #TEMP1 A   "
         "where "
         "(A.GROUP1 <> '9') and (rtrim(isnull(A.AMKOD,''))) = '' "},
        {"CheckHasAMORT_In9Group", c::hasAmortIn9Group(*d),
         "select A.ID, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE  from  #TEMP1 A  "
         "where "
         "(A.GROUP1 = '9')  and exists(select B.ID from #TEMP2 B where B.ID = A.ID and (B.DD > A.BEG_DATE) "
         "and (B.TYP "
         "= 2 or B.TYP = 4) and (B.SALDO <> 0) and (B.DELTA > 0) )"},
        {"CheckCorrectDateAndPL currency", c::controlDatesCurrency(*d, jan2006),
         "select B.ID, B.TYP, B.DD, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE  from  "
         "#TEMP2 B "
         "  left join #TEMP1 A on A.ID = B.ID  where ((B.TYP = '5')or(B.TYP = '6'))    and (B.DD <> "
         "(CONVERT(DATETIME,'01.01.2006',104)-1) ) "},
        {"CheckCorrectDateAndPL roubles", c::controlDatesRoubles(*d, jan2006),
         "select B.ID, B.TYP, B.DD, A.NAME , A.TYPEM , A.KARD_NUM , A.INV_NUM ,A.BEG_DATE, A.END_DATE  from  "
         "#TEMP2 B "
         "  left join #TEMP1 A on A.ID = B.ID  where ((B.TYP = '7')or(B.TYP = '8'))    and (B.DD <> "
         "(CONVERT(DATETIME,'01.01.2006',104))-1 ) "},
        {"create #TEMP1", r::createTemp1(*d), "select top 0 * into #TEMP1 from INV"},
        {"create #TEMP2", r::createTemp2(*d), "select top 0 * into #TEMP2 from INV_OST"},
        {"delete INV_OST", r::deleteCurrencyBalances(*d, code, jan2006),
         "DELETE FROM INV_OST WHERE (KOD_F = '01') AND ((TYP = '1')OR(TYP = '2')) AND (DD >= "
         "CONVERT(DATETIME,'01.01.2006',104)) "},
        {"delete INV_OST3", r::deleteRoubleBalances(*d, code, jan2006),
         "DELETE FROM INV_OST3 WHERE (KOD_F = '01') AND ((TYP = '3')OR(TYP = '4')) AND (DD >= "
         "CONVERT(DATETIME,'01.01.2006',104)) "},
        {"delete INV", r::deleteItems(*d, code),
         "DELETE FROM INV WHERE (KOD_F = '01') AND ((END_DATE IS NULL) OR EXISTS(SELECT B.ID FROM #TEMP1 B "
         "WHERE B.ID "
         "= INV.ID  )) "},
        {"ReceptionSql", r::insertItems(*d), "INSERT INTO INV SELECT * FROM #TEMP1"},
        {"insert INV_OST", r::insertCurrencyBalances(*d, code),
         "INSERT INTO INV_OST SELECT * FROM #TEMP2 WHERE (KOD_F = '01') AND ((TYP = '1')OR(TYP = '2')) "},
        {"insert INV_OST3", r::insertRoubleBalances(*d, code),
         "INSERT INTO INV_OST3 SELECT * FROM #TEMP2 WHERE (KOD_F = '01') AND ((TYP = '3')OR(TYP = '4')) "},
        {"drop #TEMP1", r::dropTemp(*d, QStringLiteral("TEMP1")), "DROP table #TEMP1"},
        {"drop #TEMP2", r::dropTemp(*d, QStringLiteral("TEMP2")), "DROP table #TEMP2"},
        {"PreviosNotFromKvaro", reception::previosNotFromKvaroQuery(*d, code),
         "select top 1 ID,substring(ID,3,1) AS KVRFL from INV where KOD_F = '01'"},
    };
    test::expectTexts(table);
}

TEST(StatementTextsTest, BranchCodesAreQuoted) {
    const auto d = db::makeDialect(db::Backend::SqlServer);
    const QString code = QStringLiteral("0'");
    EXPECT_EQ(reception::statements::deleteItems(*d, code),
              QStringLiteral(
                  "DELETE FROM INV WHERE (KOD_F = '0''') AND ((END_DATE IS NULL) OR EXISTS(SELECT B.ID FROM "
                  "#TEMP1 B WHERE B.ID = INV.ID  )) "));
    EXPECT_TRUE(reception::previosNotFromKvaroQuery(*d, code).endsWith(QStringLiteral("KOD_F = '0'''")));
}

} // namespace
