#pragma once

#include <QByteArray>

#include "db/BulkInsert.h"

typedef struct pg_conn PGconn;

namespace svod::db {

// Rows sent with COPY ... FROM STDIN in the text format: the server parses plain text instead of one
// literal per value of an EXECUTE statement. One COPY stays open from the first flush to finish(),
// so that the server stores one batch while the next is being read instead of waiting for a
// statement per batch.
class PostgresCopy final : public BulkInsert {
public:
    PostgresCopy(PGconn* handle, const QString& table, const QStringList& columns);

    Method method() const override { return Method::PostgresCopy; }
    void add(const QVariant& value) override;
    void endRow() override;
    void flush() override;
    void finish() override;
    ~PostgresCopy() override;

private:
    void appendText(const QString& text);
    void appendEscaped(const char* data, qsizetype size);
    [[noreturn]] void fail();
    // Collects the results of an ended COPY; the first error, if any.
    QString drainResults();

    PGconn* connection_;
    QByteArray command_;
    int columns_;
    int next_ = 0;
    qint64 rows_ = 0;
    QByteArray buffer_;
    bool copying_ = false;
};

} // namespace svod::db
