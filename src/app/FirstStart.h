#pragma once

#include <QString>

namespace svod::app {

// The first start of an installed program, without a configuration file: writes one that points
// at a new SQLite database in `dataDir` (the user's data folder), with the central tables made,
// so that the program opens instead of ending with a connection failure. Does nothing when the
// file exists. Throws svod::Error when the file or the database cannot be made.
void prepareFirstStart(const QString& iniPath, const QString& dataDir);

} // namespace svod::app
