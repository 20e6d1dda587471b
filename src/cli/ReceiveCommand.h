#pragma once

#include <QStringList>

namespace svod::cli {

struct CliContext;

// receive FILE [--test] [--yes] [--closed-period refuse|accept] [--deleted-items refuse|accept]
//              [--protocol OUT]
int receiveCommand(CliContext& context, const QStringList& args);

} // namespace svod::cli
