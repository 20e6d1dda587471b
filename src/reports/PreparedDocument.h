#pragma once

#include <QList>
#include <memory>

#include "engine/PreparedPages.h"
#include "engine/TableData.h"
#include "reports/PreviewDocument.h"

namespace svod::reports {

// Prepared pages of the report engine as a preview document.
std::unique_ptr<PreviewDocument> makePreparedDocument(engine::PreparedPages pages);
// A prepared report file (".frp"); throws svod::Error.
std::unique_ptr<PreviewDocument> loadPreparedDocument(const QString& path);
// The protocols of a reception as table reports joined in order.
std::unique_ptr<PreviewDocument> makeComposedProtocols(const QList<engine::TableData>& protocols);

} // namespace svod::reports
