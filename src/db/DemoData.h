#pragma once

namespace svod::db {

class Connection;

// Demo branches and the three program variables, added only where missing.
void insertDemoData(Connection& connection);

} // namespace svod::db
