#include "engine/Exports.h"

#include "db/CodePages.h"

#include "engine/exports/ExportRows.h"

namespace svod::engine {

using namespace exports;

namespace {

QString csvField(const QString& value, QChar delimiter) {
    if (value.contains(delimiter) || value.contains(u'"') || value.contains(u'\n') || value.contains(u'\r'))
        return u'"' + QString(value).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
    return value;
}

} // namespace

void exportCsv(const PreparedPages& pages, const QString& path, const CsvOptions& options) {
    QString out;
    forEachDocumentRow(pages, [&](const QList<const PreparedObject*>& row) {
        QStringList cells;
        for (const auto* o : row)
            cells << csvField(cellText(*o), options.delimiter);
        out += cells.join(options.delimiter) + QStringLiteral("\r\n");
    });
    if (options.encoding == CsvEncoding::Windows1251)
        writeTextFile(path, encodeCodePage(out, CodePage::Cp1251));
    else // the byte-order mark tells Excel the file is UTF-8
        writeTextFile(path, "\xEF\xBB\xBF" + out.toUtf8());
}

} // namespace svod::engine
