#include "dbf/DbfTable.h"

#include "db/Error.h"

namespace svod::dbf {

struct RecordView {
    const char* data = nullptr;
};
class DbfFile {};
class MemoFile {};

bool DbfField::isNull() const {
    return true;
}
QString DbfField::asText() const {
    return {};
}
QVariant DbfField::asValue() const {
    return {};
}
svod::DateValue DbfField::asDate() const {
    return {};
}
qint64 DbfField::asInt64() const {
    return 0;
}
double DbfField::asDouble() const {
    return 0;
}
QByteArray DbfField::memoBytes() const {
    return {};
}

DbfTable::DbfTable() = default;
DbfTable::~DbfTable() = default;
void DbfTable::setOpenMode(OpenMode mode) {
    openMode_ = mode;
}
void DbfTable::setShowDeleted(bool show) {
    showDeleted_ = show;
}
void DbfTable::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
}
void DbfTable::setFilePath(const QString& dir) {
    filePath_ = dir;
}
void DbfTable::setTableName(const QString& name) {
    tableName_ = name;
}
QString DbfTable::fileName() const {
    return {};
}
void DbfTable::open() {
    throw Error(QStringLiteral("DBF reader is not built yet"));
}
void DbfTable::close() {}
bool DbfTable::active() const {
    return active_;
}
bool DbfTable::isEmpty() const {
    return true;
}
void DbfTable::first() {}
void DbfTable::next() {}
bool DbfTable::eof() const {
    return true;
}
qint64 DbfTable::recordCount() const {
    return 0;
}
qint64 DbfTable::recNo() const {
    return 0;
}
bool DbfTable::isDeleted() const {
    return false;
}
int DbfTable::fieldCount() const {
    return 0;
}
const DbfField& DbfTable::field(int index) const {
    return fields_.at(index);
}
const DbfField* DbfTable::findField(const QString&) const {
    return nullptr;
}
const DbfField& DbfTable::fieldByName(const QString& name) const {
    throw Error(QStringLiteral("Field '%1' not found").arg(name));
}
int DbfTable::version() const {
    return 0;
}

} // namespace svod::dbf
