#pragma once

#include <QString>

namespace svod::dbf {

// The table file name a reader opens: the directory (relative ones count from the program's own
// directory), the name part of the table name (its directory part replaces the directory), and
// the extension replaced by ".dbf".
QString tableFileName(const QString& dir, const QString& tableName);
// The same path with another extension (".dbt", ".fpt").
QString withExtension(const QString& path, const QString& extension);
// An existing file whose name differs only in case, or the path unchanged when none exists.
QString resolveCaseInsensitive(const QString& path);

} // namespace svod::dbf
