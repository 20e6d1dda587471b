#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "db/Error.h"
#include "dbf/DbfTable.h"
#include "demo/DbfWriter.h"

namespace svod::dbf::test {

using demo::DbfWriter;
using demo::FieldSpec;

// A temporary folder with helpers to write tables and open them.
class DbfTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }

    // Writes NAME with the given fields and rows (each row: values, deleted flag).
    void write(const QString& name, unsigned char version, std::vector<FieldSpec> fields,
               const QList<QVariantList>& rows, const QList<bool>& deleted = {}) {
        DbfWriter writer(path(name), version, std::move(fields));
        for (qsizetype i = 0; i < rows.size(); ++i)
            writer.addRow(rows[i], i < deleted.size() && deleted[i]);
        writer.finish();
    }

    // The same with every field given as its stored bytes.
    void writeRaw(const QString& name, unsigned char version, std::vector<FieldSpec> fields,
                  const QList<QList<QByteArray>>& records) {
        DbfWriter writer(path(name), version, std::move(fields));
        for (const auto& record : records)
            writer.addRecord(record);
        writer.finish();
    }

    std::unique_ptr<DbfTable> open(const QString& name,
                                   DbfTable::OpenMode mode = DbfTable::OpenMode::Normal) {
        auto table = std::make_unique<DbfTable>();
        table->setOpenMode(mode);
        table->setShowDeleted(false);
        table->setReadOnly(true);
        table->setFilePath(dir_.path());
        table->setTableName(name);
        table->open();
        return table;
    }

    // The message of the svod::Error that f throws, or "(no error)".
    template <typename F> static QString errorOf(F&& f) {
        try {
            f();
        } catch (const Error& e) {
            return e.message();
        }
        return QStringLiteral("(no error)");
    }

    QByteArray readFile(const QString& name) const {
        QFile f(path(name));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    void writeFile(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
    }

    QTemporaryDir dir_;
};

} // namespace svod::dbf::test
