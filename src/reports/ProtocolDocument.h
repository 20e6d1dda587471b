#pragma once

#include <QList>
#include <memory>

#include "engine/TableData.h"
#include "reports/PreviewDocument.h"

namespace svod::reports {

// The protocols of a reception, one after the other, as pages for the preview.
std::unique_ptr<PreviewDocument> makeProtocolDocument(const QList<engine::TableData>& protocols);

} // namespace svod::reports
