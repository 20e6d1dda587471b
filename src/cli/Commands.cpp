#include "cli/CliContext.h"
#include "cli/DatabaseCommands.h"
#include "cli/DbfCommand.h"

namespace svod::cli {

const QList<CommandEntry>& commands() {
    static const QList<CommandEntry> list = {
        {"init-db", &initDbCommand, "init-db [--demo DIR]"},
        {"sql", &sqlCommand, "sql TEXT"},
        {"dbf", &dbfCommand, "dbf FILE"},
    };
    return list;
}

} // namespace svod::cli
