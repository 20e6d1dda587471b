#pragma once

#include <QStringList>

namespace svod::cli {

struct CliContext;

// receive FILE [--test] [--yes] [--closed-period refuse|accept] [--deleted-items refuse|accept]
//              [--protocol OUT]
// receive --direct [--yes] [--deleted-items refuse|accept] [--protocol OUT]
int receiveCommand(CliContext& context, const QStringList& args);
// receive-inflation FILE [--yes] | receive-inflation --direct [--yes]
int receiveInflationCommand(CliContext& context, const QStringList& args);

} // namespace svod::cli
