#pragma once

#include "reports/designer/DesignerWindow.h"

class QWidget;

namespace svod::db {
class Connection;
}
namespace svod::engine {
class Report;
}

namespace svod::reports::designer {

// The designer's services on the program's connection: queries, preparation with the engine's
// variables, and the preview `show` gives.
DesignerServices connectionServices(db::Connection* connection,
                                    std::function<void(const engine::PreparedPages&)> show);

// Opens the designer on the report's template with its file name as the document name, and returns
// when the designer closes; the report then holds the designed template and the document name the
// designer ended with.
void designReport(engine::Report& report, const DesignerServices& services, QWidget* parent = nullptr,
                  DesignerPrompts* prompts = nullptr);

} // namespace svod::reports::designer
