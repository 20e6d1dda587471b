#include "DirectoryFixture.h"

#include "db/DateValue.h"

namespace svod::test {

std::string backendName(const ::testing::TestParamInfo<db::Backend>& info) {
    return backendLabel(info.param);
}

void DirectoryTest::SetUp() {
    SVOD_REQUIRE_BACKEND(GetParam());
    db_ = std::make_unique<TestDatabase>(GetParam());
    db_->createSchema();
    connection().execute(QStringList{
        QStringLiteral(
            "insert into FILIALS (KOD, NAZVANIE, D_BEG) values ('01', 'Москва', '2000-01-01 00:00:00')"),
        QStringLiteral(
            "insert into FILIALS (KOD, NAZVANIE, D_BEG) values ('02', 'Пермь', '2000-01-01 00:00:00')"),
        QStringLiteral(
            "insert into CLT (LABEL, NAME, DD, DVARVALUE) values ('MIN_DATE_CAN_LOAD_DOL', 'доллары', "
            "'2004-01-01 00:00:00', '2004-01-01 00:00:00')"),
        QStringLiteral(
            "insert into CLT (LABEL, NAME, DD, DVARVALUE) values ('MIN_DATE_CAN_LOAD_RUB', 'рубли', "
            "'2004-01-01 00:00:00', '2004-01-01 00:00:00')")});
}

QString DirectoryTest::dateOf(const QString& sql) {
    const QVariant v = connection().dialect().fromDbValue(scalar(sql));
    if (v.isNull())
        return {};
    return DateValue::fromVariant(v).date().toString(QStringLiteral("yyyy-MM-dd"));
}

void DirectoryTest::balance(const QString& table, const QString& id, const QString& branch,
                            const QString& date, const QString& typ) {
    QSqlQuery q =
        connection().prepare(QStringLiteral("insert into ") + table +
                             QStringLiteral(" (ID, KOD_F, DD, TYP, SALDO, DELTA) values (?, ?, ?, ?, 1, 0)"));
    connection().execPrepared(
        q, {id, branch, QDateTime(QDate::fromString(date, Qt::ISODate), QTime(0, 0)), typ});
}

void DirectoryTest::logRow(const QString& dateTime, const QVariant& status, const QString& branch,
                           const QString& message) {
    QSqlQuery q = connection().prepare(
        QStringLiteral("insert into LOG_ACCEPT (DD, STATUS, KODFIL, MES) values (?, ?, ?, ?)"));
    connection().execPrepared(
        q, {QDateTime::fromString(dateTime, QStringLiteral("yyyy-MM-dd HH:mm:ss")), status, branch, message});
}

void DirectoryTest::failOn(const QString& table, const QString& event) {
    const QString message = QStringLiteral("injected failure");
    if (GetParam() == db::Backend::SQLite) {
        connection().execute(QStringLiteral("create trigger FAIL_") + table + QStringLiteral(" before ") +
                             event + QStringLiteral(" on ") + table +
                             QStringLiteral(" begin select raise(abort, '") + message +
                             QStringLiteral("'); end"));
        return;
    }
    connection().execute(
        QStringLiteral("create or replace function fail_now() returns trigger language plpgsql as $$ "
                       "begin raise exception '") +
        message + QStringLiteral("'; end $$"));
    connection().execute(QStringLiteral("create trigger FAIL_") + table + QStringLiteral(" before ") + event +
                         QStringLiteral(" on ") + table +
                         QStringLiteral(" for each row execute function fail_now()"));
}

} // namespace svod::test
