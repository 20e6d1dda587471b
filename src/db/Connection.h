#pragma once

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <initializer_list>
#include <memory>

#include "db/ConnectionString.h"
#include "db/Dialect.h"

namespace svod::db {

// Time-outs of the one connection, in seconds.
struct Timeouts {
    static constexpr int Connect = 60;
    static constexpr int CommandAtCreation = 900;
    static constexpr int CommandAfterStart = 3600;
};

// The one database connection every part borrows. Not copyable; closes itself when destroyed.
// Every failure surfaces as DbError carrying the server's own message.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the connection; user and password, when given, replace those of the string.
    void open(const ConnectionSpec& target, const QString& user = {}, const QString& password = {});
    void open(const QString& connectionString, const QString& user = {}, const QString& password = {});
    void close();
    bool isOpen() const;

    Backend backend() const { return spec_.backend; }
    const Dialect& dialect() const { return *dialect_; }
    const ConnectionSpec& target() const { return spec_; }
    // Provider name, two blanks and the version the server or library reports.
    QString providerDescription() const;

    // Statement time-out in seconds where the backend has one (PostgreSQL); SQLite waits for
    // locks that long.
    void setCommandTimeout(int seconds);
    int commandTimeout() const { return commandTimeout_; }

    // Statements that return no rows.
    void execute(const QString& sql);
    void execute(const QStringList& statements);
    // A forward-only query, positioned before its first row.
    QSqlQuery query(const QString& sql);
    // The first column of the first row, or an invalid QVariant when there is no row.
    QVariant scalar(const QString& sql);
    // A prepared statement for repeated execution with bound values.
    QSqlQuery prepare(const QString& sql);
    // Binds the values in order (converted as the backend keeps them) and executes.
    void execPrepared(QSqlQuery& query, const QVariantList& values);

    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return inTransaction_; }

    QSqlDatabase& database() { return db_; }
    // The driver's client-library handle when it is of one of the named types, else null (the Qt
    // drivers name the pointer by the struct's tag: "pg_conn*" for PGconn*).
    template <typename Handle> Handle* nativeHandle(std::initializer_list<const char*> typeNames) const {
        const QVariant handle = db_.driver() ? db_.driver()->handle() : QVariant();
        if (!handle.isValid())
            return nullptr;
        for (const char* typeName : typeNames)
            if (qstrcmp(handle.typeName(), typeName) == 0)
                return *static_cast<Handle* const*>(handle.constData());
        return nullptr;
    }

private:
    void applyBackendSettings();
    [[noreturn]] void fail(const QSqlError& error, const QString& sql) const;

    QString name_;
    QSqlDatabase db_;
    ConnectionSpec spec_;
    std::unique_ptr<Dialect> dialect_;
    int commandTimeout_ = Timeouts::CommandAtCreation;
    bool inTransaction_ = false;
};

// Rolls back on scope exit unless committed.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Connection& connection_;
    bool done_ = false;
};

} // namespace svod::db
