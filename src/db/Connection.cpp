#include "db/Connection.h"

#include <QSqlError>
#include <QUuid>
#include <atomic>
#include <sqlite3.h>

#include "db/Error.h"
#include "db/ErrorExplanations.h"
#include "db/Profile.h"

namespace svod::db {

namespace {
QString uniqueConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("svod-%1").arg(++counter);
}

QString errorText(const QSqlError& error) {
    // The server's own message first; the driver's words only when the server said nothing.
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    return explainDatabaseError(text, error.nativeErrorCode());
}
} // namespace

Connection::Connection() : name_(uniqueConnectionName()), dialect_(makeDialect(Backend::SQLite)) {}

Connection::~Connection() {
    close();
}

void Connection::open(const QString& connectionString, const QString& user, const QString& password) {
    open(parseConnectionString(connectionString), user, password);
}

void Connection::open(const ConnectionSpec& target, const QString& user, const QString& password) {
    close();
    spec_ = target;
    dialect_ = makeDialect(target.backend);
    if (!QSqlDatabase::isDriverAvailable(target.driver))
        throw DbError(QStringLiteral("Драйвер базы данных %1 не установлен").arg(target.driver));
    db_ = QSqlDatabase::addDatabase(target.driver, name_);
    db_.setDatabaseName(target.databaseName);
    if (!target.host.isEmpty())
        db_.setHostName(target.host);
    if (target.port > 0)
        db_.setPort(target.port);
    const QString effectiveUser = user.isEmpty() ? target.user : user;
    const QString effectivePassword = password.isEmpty() ? target.password : password;
    if (!effectiveUser.isEmpty())
        db_.setUserName(effectiveUser);
    if (!effectivePassword.isEmpty())
        db_.setPassword(effectivePassword);

    QStringList options = target.options;
    switch (target.backend) {
    case Backend::SQLite:
        options << QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(Timeouts::Connect * 1000);
        break;
    case Backend::PostgreSQL:
        if (!options.join(u';').contains(QLatin1String("connect_timeout")))
            options << QStringLiteral("connect_timeout=%1").arg(Timeouts::Connect);
        break;
    case Backend::SqlServer:
        options << QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(Timeouts::Connect)
                << QStringLiteral("SQL_ATTR_CONNECTION_TIMEOUT=%1").arg(Timeouts::Connect);
        break;
    }
    db_.setConnectOptions(options.join(u';'));
    if (!db_.open()) {
        const QSqlError error = db_.lastError();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
        throw DbError(errorText(error));
    }
    applyBackendSettings();
}

void Connection::applyBackendSettings() {
    switch (spec_.backend) {
    case Backend::SQLite:
        // A rollback journal: the pages a reception adds are written once, straight into the
        // database (a write-ahead log wrote them twice, into the log and at its checkpoint), and
        // the journal keeps only the old pages it changes. FULL syncs at every commit, so that a
        // reception reported accepted survives a power loss too. A database left in WAL mode by
        // an earlier build is switched back when no other connection holds it.
        // Pages of 16 KiB (taken by a new database only) split less often while a packet's rows
        // go into the balance indexes. A 16 MiB page cache: a larger cache made neither a first
        // nor a repeated reception faster. A second sorter thread builds temporary indexes sooner.
        execute(QStringList{
            QStringLiteral("pragma page_size=16384"), QStringLiteral("pragma journal_mode=DELETE"),
            QStringLiteral("pragma synchronous=FULL"), QStringLiteral("pragma cache_size=-16384"),
            QStringLiteral("pragma temp_store=FILE"), QStringLiteral("pragma threads=2")});
        break;
    case Backend::PostgreSQL:
        execute(QStringLiteral("set datestyle to ISO, DMY"));
        // A packet's temporary tables stay in session memory instead of spilling page by page
        // (allowed only before the session's first temporary table; taken only as used).
        execute(QStringLiteral("set temp_buffers = '256MB'"));
        // A reception's statements run once each over the whole packet: compiling them to machine
        // code took seconds and gained less.
        execute(QStringLiteral("set jit = off"));
        break;
    case Backend::SqlServer:
        execute(QStringLiteral("set dateformat dmy"));
        break;
    }
    setCommandTimeout(commandTimeout_);
}

void Connection::close() {
    if (db_.isValid()) {
        if (inTransaction_)
            db_.rollback();
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    inTransaction_ = false;
}

bool Connection::isOpen() const {
    return db_.isValid() && db_.isOpen();
}

QString Connection::providerDescription() const {
    QString version;
    try {
        auto* self = const_cast<Connection*>(this);
        switch (spec_.backend) {
        case Backend::SQLite:
            version = QStringLiteral("SQLite ") +
                      self->scalar(QStringLiteral("select sqlite_version()")).toString();
            break;
        case Backend::PostgreSQL:
            version = self->scalar(QStringLiteral("show server_version")).toString();
            version = QStringLiteral("PostgreSQL ") + version;
            break;
        case Backend::SqlServer:
            version = self->scalar(QStringLiteral("select @@version")).toString().section(u'\n', 0, 0);
            break;
        }
    } catch (const Error&) {
        version.clear();
    }
    return spec_.driver + QStringLiteral("  ") + version;
}

void Connection::setCommandTimeout(int seconds) {
    commandTimeout_ = seconds;
    if (!isOpen())
        return;
    switch (spec_.backend) {
    case Backend::SQLite:
        execute(QStringLiteral("pragma busy_timeout=%1").arg(seconds * 1000));
        break;
    case Backend::PostgreSQL:
        execute(QStringLiteral("set statement_timeout = %1").arg(qint64(seconds) * 1000));
        break;
    case Backend::SqlServer:
        // The ODBC driver has no per-connection command time-out; lock waits are bounded instead.
        execute(QStringLiteral("set lock_timeout %1").arg(qint64(seconds) * 1000));
        break;
    }
}

void Connection::fail(const QSqlError& error, const QString& sql) const {
    Q_UNUSED(sql);
    throw DbError(errorText(error));
}

void Connection::execute(const QString& sql) {
    query(sql);
}

void Connection::execute(const QStringList& statements) {
    for (const QString& sql : statements)
        execute(sql);
}

QSqlQuery Connection::query(const QString& sql) {
    if (!isOpen())
        throw DbError(QStringLiteral("Нет соединения с базой данных"));
    const ProfilePhase phase(sql);
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        fail(q.lastError(), sql);
    return q;
}

QVariant Connection::scalar(const QString& sql) {
    QSqlQuery q = query(sql);
    if (!q.next())
        return {};
    return q.value(0);
}

QSqlQuery Connection::prepare(const QString& sql) {
    if (!isOpen())
        throw DbError(QStringLiteral("Нет соединения с базой данных"));
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        fail(q.lastError(), sql);
    return q;
}

void Connection::execPrepared(QSqlQuery& query, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, dialect_->toDbValue(values[i]));
    if (!query.exec())
        fail(query.lastError(), query.lastQuery());
}

void Connection::begin() {
    if (!isOpen())
        throw DbError(QStringLiteral("Нет соединения с базой данных"));
    if (!db_.transaction())
        fail(db_.lastError(), QStringLiteral("begin"));
    inTransaction_ = true;
}

void Connection::commit() {
    const ProfilePhase phase(QStringLiteral("commit"));
    if (!db_.commit())
        fail(db_.lastError(), QStringLiteral("commit"));
    inTransaction_ = false;
}

void Connection::rollback() {
    inTransaction_ = false;
    if (!db_.rollback())
        fail(db_.lastError(), QStringLiteral("rollback"));
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
    connection_.begin();
}

Transaction::~Transaction() {
    if (!done_) {
        try {
            connection_.rollback();
        } catch (...) {
            // The connection reports the original error; a failing rollback adds nothing.
        }
    }
}

void Transaction::commit() {
    connection_.commit();
    done_ = true;
}

} // namespace svod::db
