#include "cli/DbfCommand.h"

#include <QFileInfo>

#include "cli/CliContext.h"
#include "dbf/DbfTable.h"

namespace svod::cli {

int dbfCommand(CliContext& context, const QStringList& args) {
    ArgReader reader(args);
    const QStringList rest = reader.positional();
    if (rest.size() != 1)
        throw UsageError(QStringLiteral("Укажите один файл DBF"));
    dbf::DbfTable table;
    table.setOpenMode(dbf::DbfTable::OpenMode::Normal);
    table.setShowDeleted(false);
    table.setReadOnly(true);
    table.setTableName(QFileInfo(rest.first()).absoluteFilePath());
    table.open();

    QStringList columns;
    for (int i = 0; i < table.fieldCount(); ++i)
        columns << table.field(i).name();
    // A date that is no calendar date prints as an empty cell, with a warning on standard error
    // naming the row and the field; the row's other fields and the rows after it still print.
    CliOutput warnings(context.out.json(), stderr);
    for (const QString& warning : table.warnings())
        warnings.message(QStringLiteral("warning"), warning);
    auto rowValues = [&] {
        QStringList values;
        values.reserve(table.fieldCount());
        for (int i = 0; i < table.fieldCount(); ++i) {
            try {
                values << table.field(i).asText();
            } catch (const dbf::InvalidDateError& e) {
                values << QString();
                warnings.message(QStringLiteral("warning"), QStringLiteral("строка %1, поле %2: %3")
                                                                .arg(table.recNo())
                                                                .arg(table.field(i).name(), e.message()));
            }
        }
        return values;
    };
    if (context.out.json()) {
        QList<QStringList> rows;
        for (; !table.eof(); table.next())
            rows << rowValues();
        context.out.table(columns, rows);
        context.out.result(QStringLiteral("done"), ExitDone);
        return ExitDone;
    }
    // Rows are printed as they are read, a thousand lines per write: a B file may hold
    // millions of them.
    context.out.line(csvLine(columns));
    QStringList lines;
    for (; !table.eof(); table.next()) {
        lines << csvLine(rowValues());
        if (lines.size() == 1000) {
            context.out.line(lines.join(u'\n'));
            lines.clear();
        }
    }
    if (!lines.isEmpty())
        context.out.line(lines.join(u'\n'));
    return ExitDone;
}

} // namespace svod::cli
