#pragma once

#include <QStringList>

namespace svod::db {
class Connection;
}

namespace svod::engine {

// The names of the bundled demo reports.
QStringList demoReportNames();

// Stores every demo template in REPORT under its name, replacing a template of the same name;
// returns the names stored.
QStringList insertDemoReports(db::Connection& connection);

} // namespace svod::engine
