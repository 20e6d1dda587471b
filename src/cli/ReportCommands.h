#pragma once

#include <QStringList>

namespace svod::cli {

struct CliContext;

// report list | run | import | export-all | show
int reportCommand(CliContext& context, const QStringList& args);

} // namespace svod::cli
