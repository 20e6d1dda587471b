#pragma once

#include <QByteArray>
#include <vector>

#include "db/BulkInsert.h"
#include "db/PostgresValues.h"

typedef struct pg_conn PGconn;

namespace svod::db {

// Rows sent with COPY ... FROM STDIN: the server reads them instead of one literal per value of an
// EXECUTE statement. In the binary format when the columns' types take the values as they come
// (numbers, dates and texts of a packet): the server then parses no text at all. One COPY stays open from the
// first flush to finish(), so that the server stores one batch while the next is being read instead of
// waiting for a statement per batch.
class PostgresCopy final : public BulkInsert {
public:
    PostgresCopy(PGconn* handle, const QString& table, const QStringList& columns);

    Method method() const override { return Method::PostgresCopy; }
    void add(const QVariant& value) override;
    void endRow() override;
    void flush() override;
    void finish() override;
    // Whether the rows went in the binary format (decided at the first flush).
    bool binaryFormat() const { return format_ == Format::Binary; }
    ~PostgresCopy() override;

private:
    void addText(const QVariant& value);
    void addBinary(const QVariant& value);
    void chooseFormat();
    void switchToText();
    // Ends the running COPY, if any; its first error, if any, as DbError.
    void endCopy();
    void appendText(const QString& text);
    void appendEscaped(const char* data, qsizetype size);
    [[noreturn]] void fail();
    // Collects the results of an ended COPY; the first error, if any.
    QString drainResults();

    PGconn* connection_;
    QByteArray command_;
    int columns_;
    std::vector<pgvalues::ColumnType> types_; // empty: unknown, the text format
    enum class Format { Undecided, Text, Binary } format_ = Format::Undecided;
    std::vector<QVariant> pending_; // the first batch's values until the format is chosen
    std::vector<QVariant> row_;     // the binary row being added, and where it starts in buffer_
    qsizetype rowStart_ = 0;
    int next_ = 0;
    qint64 rows_ = 0;
    QByteArray buffer_;
    bool copying_ = false;
};

} // namespace svod::db
