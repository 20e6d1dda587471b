#include "db/ErrorExplanations.h"

#include <QStringList>

namespace svod::db {

namespace {
bool containsAny(const QString& text, const QStringList& parts) {
    for (const QString& part : parts)
        if (text.contains(part, Qt::CaseInsensitive))
            return true;
    return false;
}
} // namespace

ErrorKind classifyDatabaseError(const QString& serverText, const QString& nativeCode) {
    const QString code = nativeCode.trimmed();
    // SQLite: 19 constraint (2067 unique, 1555 primary key), 5 busy, 6 locked, 13 full.
    // PostgreSQL: 23505 unique, 55P03 lock not available, 40P01 deadlock, 53100 disk full.
    // SQL Server: 2601/2627 duplicate key, 1205 deadlock, 1222 lock time-out, 1105/9002 no space.
    static const QStringList duplicateCodes = {QStringLiteral("2067"), QStringLiteral("1555"),
                                               QStringLiteral("23505"), QStringLiteral("2601"),
                                               QStringLiteral("2627")};
    static const QStringList lockedCodes = {QStringLiteral("5"),     QStringLiteral("6"),
                                            QStringLiteral("55P03"), QStringLiteral("40P01"),
                                            QStringLiteral("1205"),  QStringLiteral("1222")};
    static const QStringList fullCodes = {QStringLiteral("13"), QStringLiteral("53100"),
                                          QStringLiteral("1105"), QStringLiteral("9002")};
    if (duplicateCodes.contains(code) ||
        containsAny(serverText,
                    {QStringLiteral("UNIQUE constraint failed"), QStringLiteral("duplicate key"),
                     QStringLiteral("Violation of PRIMARY KEY"), QStringLiteral("Violation of UNIQUE KEY")}))
        return ErrorKind::DuplicateKey;
    if (fullCodes.contains(code) ||
        containsAny(serverText,
                    {QStringLiteral("database or disk is full"), QStringLiteral("No space left on device"),
                     QStringLiteral("Could not allocate space"), QStringLiteral("log for database"),
                     QStringLiteral("disk is full")}))
        return ErrorKind::DiskFull;
    if (lockedCodes.contains(code) ||
        containsAny(serverText,
                    {QStringLiteral("database is locked"), QStringLiteral("database table is locked"),
                     QStringLiteral("lock timeout"), QStringLiteral("could not obtain lock"),
                     QStringLiteral("deadlock"), QStringLiteral("Lock request time out")}))
        return ErrorKind::Locked;
    return ErrorKind::Other;
}

QString explainDatabaseError(const QString& serverText, const QString& nativeCode) {
    QString sentence;
    switch (classifyDatabaseError(serverText, nativeCode)) {
    case ErrorKind::DuplicateKey:
        sentence = QStringLiteral("Такая запись уже есть в базе данных: значение ключа повторяется. "
                                  "Измените код или обновите окно, чтобы увидеть уже записанные данные.");
        break;
    case ErrorKind::Locked:
        sentence = QStringLiteral("База данных занята другой программой или другим пользователем. "
                                  "Подождите немного и повторите действие.");
        break;
    case ErrorKind::DiskFull:
        sentence = QStringLiteral("На диске базы данных нет свободного места. Освободите место на диске "
                                  "(или попросите администратора) и повторите действие; данные не изменены.");
        break;
    case ErrorKind::Other:
        return serverText;
    }
    return serverText.isEmpty() ? sentence : sentence + u'\n' + serverText;
}

} // namespace svod::db
