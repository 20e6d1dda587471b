#pragma once

#include <QString>

class QJSEngine;

namespace svod::engine {

// Installs the extra function library into `engine` under its upper-case names, plus the
// aggregates' and formats' helpers. Dates are JS Date objects; the date texts are "dd.MM.yyyy".
void installFunctionLibrary(QJSEngine& engine);

// The names the library registers (for tests and the designer's lists).
const QStringList& functionLibraryNames();

} // namespace svod::engine
