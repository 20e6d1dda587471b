#include "cli/CliContext.h"
#include "cli/DatabaseCommands.h"
#include "cli/DbfCommand.h"
#include "cli/ReceiveCommand.h"
#include "cli/ReportCommands.h"

namespace svod::cli {

const QList<CommandEntry>& commands() {
    static const QList<CommandEntry> list = {
        {"init-db", &initDbCommand, "init-db [--demo DIR]"},
        {"sql", &sqlCommand, "sql TEXT"},
        {"dbf", &dbfCommand, "dbf FILE"},
        {"receive", &receiveCommand,
         "receive FILE [--test] [--yes] [--closed-period refuse|accept] [--deleted-items refuse|accept] "
         "[--protocol OUT.csv|OUT.txt] | receive --direct [--yes] [--deleted-items refuse|accept] "
         "[--protocol OUT]"},
        {"receive-inflation", &receiveInflationCommand,
         "receive-inflation FILE [--yes] | receive-inflation --direct [--yes]"},
        {"report", &reportCommand,
         "report list | report run ID --out FILE [--set NAME=VALUE]... | report import FILE.frf [--yes] | "
         "report export-all DIR | report show FILE.frp --out FILE"},
    };
    return list;
}

} // namespace svod::cli
