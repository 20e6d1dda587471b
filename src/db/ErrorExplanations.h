#pragma once

#include <QString>

namespace svod::db {

// What kind of everyday trouble a server's error is.
enum class ErrorKind { Other, DuplicateKey, Locked, DiskFull };

// Classifies an error by the server's text and its native code (SQLite result code, PostgreSQL
// SQLSTATE, SQL Server error number).
ErrorKind classifyDatabaseError(const QString& serverText, const QString& nativeCode);

// The message a user sees: for the errors an accountant meets in normal work, one Russian
// sentence saying what happened and what to do, then the server's own text on a new line;
// any other error is the server's text alone.
QString explainDatabaseError(const QString& serverText, const QString& nativeCode);

} // namespace svod::db
