#pragma once

#include <QStringList>

namespace svod::cli {

struct CliContext;

int deleteBranchCommand(CliContext& context, const QStringList& args);
int branchesCommand(CliContext& context, const QStringList& args);
int actualityCommand(CliContext& context, const QStringList& args);
int varsCommand(CliContext& context, const QStringList& args);
int logCommand(CliContext& context, const QStringList& args);
int adminCommand(CliContext& context, const QStringList& args);

} // namespace svod::cli
