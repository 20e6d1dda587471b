#pragma once

#include <QByteArray>

#include "db/BulkInsert.h"

typedef struct pg_conn PGconn;

namespace svod::db {

// Rows sent with COPY ... FROM STDIN in the text format, one COPY per flush: the server parses
// plain text instead of one literal per value of an EXECUTE statement.
class PostgresCopy final : public BulkInsert {
public:
    PostgresCopy(PGconn* handle, const QString& table, const QStringList& columns);

    Method method() const override { return Method::PostgresCopy; }
    void add(const QVariant& value) override;
    void endRow() override;
    void flush() override;

private:
    void appendText(const QString& text);
    void appendEscaped(const char* data, qsizetype size);
    [[noreturn]] void fail();

    PGconn* conn_;
    QByteArray command_;
    int columns_;
    int next_ = 0;
    qint64 rows_ = 0;
    QByteArray buffer_;
};

} // namespace svod::db
