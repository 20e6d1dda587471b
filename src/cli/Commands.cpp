#include "cli/CliContext.h"
#include "cli/DatabaseCommands.h"
#include "cli/DbfCommand.h"
#include "cli/DirectoryCommands.h"
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
         "report list | report params ID | report run ID --out FILE [--set NAME=VALUE]... | "
         "report import FILE.frf [--yes] | "
         "report export-all DIR | report show FILE.frp --out FILE"},
        {"delete-branch", &deleteBranchCommand, "delete-branch CODE [--yes]"},
        {"branches", &branchesCommand, "branches"},
        {"actuality", &actualityCommand, "actuality"},
        {"vars", &varsCommand, "vars set LABEL (--date D | --text T | --number N)"},
        {"log", &logCommand, "log [--from D] [--to D] [--branch CODE] | log show ID"},
        {"admin", &adminCommand, "admin create-table INV_INFL|INV_OST3"},
    };
    return list;
}

} // namespace svod::cli
