#include "reception/Replacement.h"

#include "db/Connection.h"
#include "db/Dialect.h"
#include "reception/Interaction.h"

namespace svod::reception {

namespace statements {

QString deleteCurrencyBalances(const db::Dialect& d, const QString& code, const DateValue& from) {
    return QStringLiteral("DELETE FROM INV_OST WHERE (KOD_F = ") + d.quote(code) +
           QStringLiteral(") AND ((TYP = '1')OR(TYP = '2')) AND (DD >= ") + d.dateLiteral(from) +
           QStringLiteral(") ");
}

QString deleteRoubleBalances(const db::Dialect& d, const QString& code, const DateValue& from) {
    return QStringLiteral("DELETE FROM INV_OST3 WHERE (KOD_F = ") + d.quote(code) +
           QStringLiteral(") AND ((TYP = '3')OR(TYP = '4')) AND (DD >= ") + d.dateLiteral(from) +
           QStringLiteral(") ");
}

QString deleteItems(const db::Dialect& d, const QString& code) {
    return QStringLiteral("DELETE FROM INV WHERE (KOD_F = ") + d.quote(code) +
           QStringLiteral(") AND ((END_DATE IS NULL) OR EXISTS(SELECT B.ID FROM ") +
           d.tempTable(QStringLiteral("TEMP1")) + QStringLiteral(" B WHERE B.ID = INV.ID  )) ");
}

QString insertItems(const db::Dialect& d) {
    return QStringLiteral("INSERT INTO INV SELECT * FROM ") + d.tempTable(QStringLiteral("TEMP1"));
}

QString insertCurrencyBalances(const db::Dialect& d, const QString& code) {
    return QStringLiteral("INSERT INTO INV_OST SELECT * FROM ") + d.tempTable(QStringLiteral("TEMP2")) +
           QStringLiteral(" WHERE (KOD_F = ") + d.quote(code) +
           QStringLiteral(") AND ((TYP = '1')OR(TYP = '2')) ");
}

QString insertRoubleBalances(const db::Dialect& d, const QString& code) {
    return QStringLiteral("INSERT INTO INV_OST3 SELECT * FROM ") + d.tempTable(QStringLiteral("TEMP2")) +
           QStringLiteral(" WHERE (KOD_F = ") + d.quote(code) +
           QStringLiteral(") AND ((TYP = '3')OR(TYP = '4')) ");
}

QString createTemp1(const db::Dialect& d) {
    return d.selectTop0IntoTemp(QStringLiteral("TEMP1"), QStringLiteral("INV"));
}

QString createTemp2(const db::Dialect& d) {
    return d.createLookupTemp(QStringLiteral("TEMP2"), QStringLiteral("INV_OST"), temp2Key());
}

const QStringList& temp2Key() {
    static const QStringList key{QStringLiteral("ID"), QStringLiteral("TYP"), QStringLiteral("DD")};
    return key;
}

QString dropTemp(const db::Dialect& d, const QString& name) {
    return QStringLiteral("DROP table ") + d.tempTable(name);
}

} // namespace statements

void replaceBranchData(db::Connection& connection, const ReplacementPlan& plan, Interaction& interaction) {
    const db::Dialect& d = connection.dialect();
    db::Transaction transaction(connection);
    showStage(interaction, QStringLiteral("Удаление старых движений"));
    if (plan.CurrencyFrom.isPresent())
        connection.execute(statements::deleteCurrencyBalances(d, plan.FilialCode, plan.CurrencyFrom));
    if (plan.RoublesFrom.isPresent())
        connection.execute(statements::deleteRoubleBalances(d, plan.FilialCode, plan.RoublesFrom));
    showStage(interaction, QStringLiteral("Проверка номенклатуры"));
    connection.execute(statements::deleteItems(d, plan.FilialCode));
    if (plan.afterOldRowsDeleted)
        plan.afterOldRowsDeleted();
    showStage(interaction, QStringLiteral("Перенос новой номенклатуры"));
    connection.execute(statements::insertItems(d));
    if (plan.CurrencyFrom.isPresent()) {
        showStage(interaction, QStringLiteral("Перенос новых движений (доллары)"));
        connection.execute(statements::insertCurrencyBalances(d, plan.FilialCode));
    }
    if (plan.RoublesFrom.isPresent()) {
        showStage(interaction, QStringLiteral("Перенос новых движений (рубли)"));
        connection.execute(statements::insertRoubleBalances(d, plan.FilialCode));
    }
    transaction.commit();
}

} // namespace svod::reception
