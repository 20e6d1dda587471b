#pragma once

#include <QString>

#include "engine/PreparedPages.h"

namespace svod::engine {

// Writes the pages straight to a PDF file, a page at a time, with subsets of the TrueType fonts
// embedded. Returns false and leaves no file when the pages hold something only the painter draws
// (rich text, translucent colours, fonts without TrueType outlines, no page at all); throws
// svod::Error when the file cannot be written.
bool writeDirectPdf(const PreparedPages& pages, const QString& path);

} // namespace svod::engine
