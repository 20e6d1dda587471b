#pragma once

namespace svod::db {
class Connection;
}

namespace svod::demo {

// Demo branches and the three program variables, added only where missing.
void insertDemoData(db::Connection& connection);

} // namespace svod::demo
