#pragma once

#include <QStringList>
#include <QVariant>

namespace svod::cli {

struct CliContext;

int initDbCommand(CliContext& context, const QStringList& args);
int sqlCommand(CliContext& context, const QStringList& args);
// A database value as the sql command prints it.
QString cellText(const QVariant& value);

} // namespace svod::cli
