#pragma once

#include <QString>
#include <QStringList>

namespace svod::db {

enum class Backend { SQLite, PostgreSQL, SqlServer };

QString backendName(Backend backend);

// What a connection string says, in the terms of a Qt SQL driver.
struct ConnectionSpec {
    Backend backend = Backend::SQLite;
    QString driver;       // QSQLITE, QPSQL or QODBC
    QString databaseName; // file path, database name, or the whole ODBC string
    QString host;
    int port = -1;
    QString user;
    QString password;
    QStringList options;  // driver connect options, "KEY=VALUE"
    QStringList warnings; // parts of the string that were ignored
};

// Accepts a SQLite file ("sqlite:PATH" or a path ending in .db/.sqlite/.sqlite3/.db3),
// PostgreSQL (URI or keyword string), an ODBC string, or an ADO / OLE DB string for SQL Server
// (translated to ODBC for the FreeTDS driver). Throws svod::Error on an empty or unknown string.
ConnectionSpec parseConnectionString(const QString& text);

// The ODBC string for SQL Server that an ADO string stands for; warnings collects ignored keys.
QString adoToOdbc(const QString& ado, QStringList* warnings);

// Splits "key=value;key=value" with {braced} or "quoted" values; keys keep their case.
QList<QPair<QString, QString>> splitKeyValues(const QString& text);

} // namespace svod::db
