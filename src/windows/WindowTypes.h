#pragma once

#include <QString>
#include <functional>

namespace svod::db {
class Connection;
}
namespace svod::reception {
class Interaction;
}

namespace svod::windows {

// The default error display of the program (stop icon, the application title, the "." rule).
using ErrorDisplay = std::function<void(const QString& message)>;

enum class DirectoryView { Filials, Actuality, Variables, Log };

} // namespace svod::windows
