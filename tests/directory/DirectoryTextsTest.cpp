// The statements of the branch directory, the reception log and the administration as the SQL
// Server dialect writes them, byte for byte.
#include <gtest/gtest.h>

#include "db/dialects/SqlServerDialect.h"
#include "directory/Actuality.h"
#include "directory/Administration.h"
#include "directory/BranchList.h"
#include "directory/ReceptionLog.h"
#include "support/ExpectedTexts.h"

using namespace svod;
using namespace svod::directory;
using svod::test::ExpectedText;

namespace {
std::vector<ExpectedText> expectedTexts() {
    static const db::SqlServerDialect impl;
    const db::Dialect& d = impl;
    const QDate mar1(2005, 3, 1);
    const QDate mar31(2005, 3, 31);
    const QStringList deletions = deleteBranchStatements(d, QStringLiteral("07"));
    return {
        {"minimum dollar date",
         setFilialsMinDateStatement(d, QStringLiteral("D_MIN_VAL"), DateValue::fromDate(mar1)),
         "update FILIALS set D_MIN_VAL = CONVERT(DATETIME,'01.03.2005',104)"},
        {"minimum rouble date, empty",
         setFilialsMinDateStatement(d, QStringLiteral("D_MIN_RUB"), DateValue(0.0)),
         "update FILIALS set D_MIN_RUB = CONVERT(DATETIME,'30.12.1899',104)"},
        {"data actuality", actualityQuery(d),
         "select FF.KOD, FF.NAZVANIE,  (select min(INV_OST.DD) from INV_OST where INV_OST.TYP in('1','2') "
         "and "
         "INV_OST.KOD_F=FF.KOD)as DAM ,  (select max(INV_OST.DD) from INV_OST where INV_OST.TYP in('1','2') "
         "and "
         "INV_OST.KOD_F=FF.KOD)as DA ,  (select min(INV_OST3.DD) from INV_OST3 where INV_OST3.TYP "
         "in('3','4') and "
         "INV_OST3.KOD_F=FF.KOD)as DAMR ,  (select max(INV_OST3.DD) from INV_OST3 where INV_OST3.TYP "
         "in('3','4') "
         "and INV_OST3.KOD_F=FF.KOD)as DAR ,  (select 1 where exists(select INV_INFL.ID from INV_INFL where "
         "INV_INFL.KOD_F =FF.KOD ))as DINFL  from FILIALS FF ORDER BY FF.KOD "},
        {"delete INV", deletions.value(0), "DELETE FROM INV WHERE KOD_F = '07'"},
        {"delete INV_OST", deletions.value(1), "DELETE FROM INV_OST WHERE KOD_F = '07'"},
        {"delete INV_OST3", deletions.value(2), "DELETE FROM INV_OST3 WHERE KOD_F = '07'"},
        {"delete INV_INFL", deletions.value(3), "DELETE FROM INV_INFL WHERE KOD_F = '07'"},
        {"log, every branch", logQuery(d, {mar1, mar31, {}}),
         "select A.ID,A.DD,A.STATUS,B.NAZVANIE  from LOG_ACCEPT A left join FILIALS B on B.KOD = A.KODFIL  "
         "where "
         "(DD >= CONVERT(DATETIME,'01.03.2005',104)) and (DD <= CONVERT(DATETIME,'31.03.2005',104)+1)  order "
         "by DD "
         "desc"},
        {"log, one branch", logQuery(d, {mar1, mar1, QStringLiteral("07")}),
         "select A.ID,A.DD,A.STATUS,B.NAZVANIE  from LOG_ACCEPT A left join FILIALS B on B.KOD = A.KODFIL  "
         "where "
         "(DD >= CONVERT(DATETIME,'01.03.2005',104)) and (DD <= CONVERT(DATETIME,'01.03.2005',104)+1) and "
         "A.KODFIL "
         "= '07' order by DD desc"},
        {"log branches", branchChoicesQuery(), "select KOD,NAZVANIE from FILIALS"},
        {"log detail", logDetailQuery(d, QStringLiteral("42")),
         "select A.ID,A.DD,A.STATUS ,isnull(B.NAZVANIE,'Не найден филиал с номером \"'+A.KODFIL+'\"!') AS "
         "NAZVANIE,A.MES  from LOG_ACCEPT A left join FILIALS B on B.KOD = A.KODFIL  where (ID= 42)"},
        {"create INV_INFL", createTableBatch(d, QStringLiteral("INV_INFL")).join(QString()),
         "if not exists (select * from dbo.sysobjects where id = object_id(N'INV_INFL') and "
         "OBJECTPROPERTY(id, N'IsUserTable') = 1) \r\n"
         "begin \r\n"
         "  select top 0 * into INV_INFL from INV_OST \r\n"
         "  create unique index IX_INV_INFL on INV_INFL (ID,KOD_F,DD,TYP) \r\n"
         "end \r\n"},
        {"create INV_OST3", createTableBatch(d, QStringLiteral("INV_OST3")).join(QString()),
         "if not exists (select * from dbo.sysobjects where id = object_id(N'INV_OST3') and "
         "OBJECTPROPERTY(id, N'IsUserTable') = 1) \r\n"
         "begin \r\n"
         "  select top 0 * into INV_OST3 from INV_OST \r\n"
         "  create unique index IX_INV_OST3 on INV_OST3 (ID,KOD_F,DD,TYP) \r\n"
         "end \r\n"},
    };
}
} // namespace

TEST(DirectoryTexts, EveryStatementByteForByte) {
    test::expectTexts(expectedTexts());
}

TEST(DirectoryTexts, ValuesAreQuoted) {
    const db::SqlServerDialect d;
    EXPECT_EQ(deleteBranchStatements(d, QStringLiteral("0'")).value(0),
              QStringLiteral("DELETE FROM INV WHERE KOD_F = '0'''"));
    EXPECT_TRUE(logQuery(d, {QDate(2005, 3, 1), QDate(2005, 3, 1), QStringLiteral("0'")})
                    .contains(QStringLiteral("and A.KODFIL = '0''' order")));
    EXPECT_EQ(deleteBranchQuestion(QStringLiteral("ООО \"Рога\"")),
              QStringLiteral("Вы уверены, что хотите удалить ВСЕ данные по филиалу\n\r\"ООО \"Рога\"\" ?"));
}
