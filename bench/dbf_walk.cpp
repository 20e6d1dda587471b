// dbf_walk FILE [text|value]: decodes every field of every live row of a DBF table and reports
// rows, fields and fields per second. "value" (the default) decodes as the reception copies
// rows (asValue), "text" as svod-cli dbf prints them (asText).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

#include "db/Error.h"
#include "dbf/DbfTable.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: dbf_walk FILE [text|value]\n");
        return 64;
    }
    const bool asText = args.size() > 1 && args[1] == QLatin1String("text");
    try {
        QElapsedTimer timer;
        timer.start();
        svod::dbf::DbfTable table;
        table.setOpenMode(svod::dbf::DbfTable::OpenMode::Normal);
        table.setReadOnly(true);
        table.setTableName(QFileInfo(args[0]).absoluteFilePath());
        table.open();
        qint64 rows = 0;
        qint64 fields = 0;
        qint64 checksum = 0; // keeps the decoding from being optimised away
        const int count = table.fieldCount();
        for (; !table.eof(); table.next()) {
            for (int i = 0; i < count; ++i) {
                if (asText)
                    checksum += table.field(i).asText().size();
                else
                    checksum += table.field(i).asValue().isValid() ? 1 : 0;
            }
            fields += count;
            ++rows;
        }
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("rows %lld fields %lld seconds %.3f fields_per_second %.0f checksum %lld\n",
                    static_cast<long long>(rows), static_cast<long long>(fields), seconds,
                    double(fields) / seconds, static_cast<long long>(checksum));
    } catch (const svod::Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 4;
    }
    return 0;
}
