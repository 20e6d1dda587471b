#pragma once

#include <QStringList>

namespace svod::cli {

struct CliContext;

// svod-cli dbf FILE: a DBF table as CSV, without a database.
int dbfCommand(CliContext& context, const QStringList& args);

} // namespace svod::cli
