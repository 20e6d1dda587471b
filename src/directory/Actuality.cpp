#include "directory/Actuality.h"

#include <utility>

#include "db/Connection.h"
#include "reception/Interaction.h"

namespace svod::directory {

namespace {
// The earliest or latest DD of a branch over two planes, each plane looked up on its own so
// that the (KOD_F, TYP, DD) index answers it at once instead of being read through; NULL when
// neither plane has rows.
QString planeSpan(db::Backend backend, const QString& table, const QString& aggregate, char first,
                  char second) {
    auto one = [&](char plane) -> QString {
        return QStringLiteral("(select ") + aggregate + u'(' + table + QStringLiteral(".DD) from ") + table +
               QStringLiteral(" where ") + table + QStringLiteral(".TYP='") + QChar::fromLatin1(plane) +
               QStringLiteral("' and ") + table + QStringLiteral(".KOD_F=FF.KOD)");
    };
    if (backend == db::Backend::PostgreSQL) // least and greatest pass over NULLs
        return (aggregate == QLatin1String("min") ? QStringLiteral("least(") : QStringLiteral("greatest(")) +
               one(first) + QStringLiteral(", ") + one(second) + u')';
    // SQLite's two-argument min and max are NULL when either is.
    return QStringLiteral("coalesce(") + aggregate + u'(' + one(first) + QStringLiteral(", ") + one(second) +
           QStringLiteral("), ") + one(first) + QStringLiteral(", ") + one(second) + u')';
}
} // namespace

QString actualityQuery(const db::Dialect& dialect) {
    if (dialect.backend() == db::Backend::SqlServer)
        return QStringLiteral(
            "select FF.KOD, FF.NAZVANIE,  (select min(INV_OST.DD) from INV_OST where INV_OST.TYP in('1','2') "
            "and "
            "INV_OST.KOD_F=FF.KOD)as DAM ,  (select max(INV_OST.DD) from INV_OST where INV_OST.TYP "
            "in('1','2') and "
            "INV_OST.KOD_F=FF.KOD)as DA ,  (select min(INV_OST3.DD) from INV_OST3 where INV_OST3.TYP "
            "in('3','4') "
            "and INV_OST3.KOD_F=FF.KOD)as DAMR ,  (select max(INV_OST3.DD) from INV_OST3 where "
            "INV_OST3.TYP in('3','4') and INV_OST3.KOD_F=FF.KOD)as DAR ,  (select 1 where exists(select "
            "INV_INFL.ID from INV_INFL where INV_INFL.KOD_F =FF.KOD ))as DINFL  from FILIALS FF ORDER BY "
            "FF.KOD ");
    const db::Backend b = dialect.backend();
    const QString ost = QStringLiteral("INV_OST");
    const QString ost3 = QStringLiteral("INV_OST3");
    const QString min = QStringLiteral("min");
    const QString max = QStringLiteral("max");
    return QStringLiteral("select FF.KOD, FF.NAZVANIE, ") + planeSpan(b, ost, min, '1', '2') +
           QStringLiteral(" as DAM, ") + planeSpan(b, ost, max, '1', '2') + QStringLiteral(" as DA, ") +
           planeSpan(b, ost3, min, '3', '4') + QStringLiteral(" as DAMR, ") +
           planeSpan(b, ost3, max, '3', '4') +
           QStringLiteral(
               " as DAR, (select 1 where exists(select INV_INFL.ID from INV_INFL where INV_INFL.KOD_F "
               "=FF.KOD)) as DINFL from FILIALS FF ORDER BY FF.KOD");
}

ViewColumns actualityColumns() {
    return {{QStringLiteral("KOD"), QStringLiteral("Код"), 4},
            {QStringLiteral("NAZVANIE"), QStringLiteral("Наименование"), 30},
            {QStringLiteral("DAM"), QStringLiteral("Данные в долларах|с"), 12},
            {QStringLiteral("DA"), QStringLiteral("Данные в долларах|по"), 12},
            {QStringLiteral("DAMR"), QStringLiteral("Данные в рублях|с"), 12},
            {QStringLiteral("DAR"), QStringLiteral("Данные в рублях|по"), 12},
            {QStringLiteral("DINFL"), QStringLiteral("Данные по инфляции")}};
}

namespace {
const char* const BranchTables[] = {"INV", "INV_OST", "INV_OST3", "INV_INFL"};
}

QStringList deleteBranchStatements(const db::Dialect& dialect, const QString& code) {
    QStringList statements;
    for (const char* table : BranchTables)
        statements << QStringLiteral("DELETE FROM ") + QLatin1String(table) +
                          QStringLiteral(" WHERE KOD_F = ") + dialect.quote(code);
    return statements;
}

void deleteBranchData(db::Connection& connection, const QString& code) {
    db::Transaction transaction(connection);
    connection.execute(deleteBranchStatements(connection.dialect(), code));
    transaction.commit();
}

QList<qint64> branchDataCounts(db::Connection& connection, const QString& code) {
    QList<qint64> counts;
    for (const char* table : BranchTables)
        counts << connection
                      .scalar(QStringLiteral("select count(*) from ") + QLatin1String(table) +
                              QStringLiteral(" where KOD_F = ") + connection.dialect().quote(code))
                      .toLongLong();
    return counts;
}

QString deleteBranchQuestion(const QString& name) {
    return QStringLiteral("Вы уверены, что хотите удалить ВСЕ данные по филиалу\n\r\"") + name +
           QStringLiteral("\" ?");
}

bool deleteBranchCommand(db::Connection& connection, reception::Interaction& interaction, const QString& code,
                         const QString& name) {
    using reception::Answer;
    using reception::Buttons;
    using reception::MessageKind;
    if (code.size() != 2)
        return false;
    if (interaction.question(MessageKind::Warning, deleteBranchQuestion(name), Buttons::OkCancel) !=
        Answer::Ok)
        return false;
    interaction.setStatus(DeletingStatus);
    interaction.processEvents();
    interaction.setBusy(true);
    struct Cursor {
        reception::Interaction& interaction;
        bool busy = true;
        void restore() {
            if (std::exchange(busy, false))
                interaction.setBusy(false);
        }
        ~Cursor() { restore(); }
    } cursor{interaction};
    deleteBranchData(connection, code);
    interaction.setStatus(QString());
    interaction.processEvents();
    // The normal cursor over the notice: an hourglass there would say the work goes on.
    cursor.restore();
    interaction.message(MessageKind::Plain, DataDeletedMessage);
    return true;
}

} // namespace svod::directory
