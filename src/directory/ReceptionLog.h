#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

#include "directory/ViewColumn.h"

namespace svod::db {
class Connection;
class Dialect;
} // namespace svod::db

namespace svod::directory {

// The text of a reception status code, compared as text: "0" a successful reception, … any
// code not listed "Неопознанная ошибка", NULL or empty an empty text.
QString StatusGetText(const QVariant& status);

// The filter of the log view. An empty branch code is "Все".
struct LogFilter {
    QDate from;
    QDate to;
    QString branchCode;
};

inline const QString PeriodOrderMessage = QStringLiteral("Дата начала должна быть меньше даты окончания");
inline const QString LogChooseParametersText =
    QStringLiteral("Выберите параметры отображения и нажмите \"Применить\".");
// Throws the period-order error when the end day is before the start day (equal days pass).
void checkLogPeriod(const LogFilter& filter);
// The rows of the period, newest first; the period runs to the midnight after the end day, that
// instant included.
QString logQuery(const db::Dialect& dialect, const LogFilter& filter);
ViewColumns logColumns();

// One branch of the filter's drop-down list.
struct BranchChoice {
    QString code;
    QString name;
};
// "Все" with an empty code, then the branches in the server's order.
QString branchChoicesQuery();
QList<BranchChoice> readBranchChoices(db::Connection& connection);

// The detail of one row; `id` must be a whole number (it is put into the statement's text).
QString logDetailQuery(const db::Dialect& dialect, const QString& id);
QString missingBranchText(const QString& code);

struct LogDetail {
    QVariant id;
    QVariant dd;
    QVariant status;
    QString branch;
    QString message;
};
// The row, or nothing when there is none. Throws for an ID that is not a whole number.
std::optional<LogDetail> readLogDetail(db::Connection& connection, const QString& id);

} // namespace svod::directory
