// libFuzzer target: a table file and a memo file from one input, opened, walked and decoded.
// The input is split at the first "MEMO" marker: before it the table, after it the memo file.
#include <QBuffer>
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "db/Error.h"
#include "dbf/DbfFile.h"
#include "dbf/DbfTable.h"

using namespace svod::dbf;

namespace {
std::unique_ptr<PagedFile> memoryFile(const QByteArray& bytes) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return std::make_unique<PagedFile>(std::move(buffer), QStringLiteral("fuzz"));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype split = input.indexOf("MEMO");
    const QByteArray table = split < 0 ? input : input.left(split);
    const QByteArray memoBytes = split < 0 ? QByteArray() : input.mid(split + 4);
    try {
        DbfFile file(memoryFile(table));
        MemoFile memo(memoryFile(memoBytes), file.layout().memoFormat);
        RecordView view;
        view.memo = &memo;
        view.currentYear = 2026;
        view.nullFlagsOffset = file.nullFlagsOffset();
        std::vector<DbfField> fields;
        for (const auto& def : file.fields()) {
            fields.emplace_back(&def, &view);
        }
        // Bounded: a hostile header may claim many records in a long input.
        const qint64 count = std::min<qint64>(file.recordCount(), 2000);
        for (qint64 n = 1; n <= count; ++n) {
            view.data = file.record(n);
            for (const auto& field : fields) {
                try {
                    (void)field.isNull();
                    (void)field.asText();
                    (void)field.asValue();
                    (void)field.asDate();
                    (void)field.asDouble();
                } catch (const svod::Error&) {
                }
            }
        }
    } catch (const svod::Error&) {
    }
    return 0;
}
