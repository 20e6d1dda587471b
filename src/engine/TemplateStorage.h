#pragma once

#include <QByteArray>
#include <QString>

#include "engine/Model.h"

namespace svod::engine {

// The template stream: XML with a format version.
QByteArray templateToXml(const ReportTemplate& report);
// Throws svod::Error naming what is wrong.
ReportTemplate templateFromXml(const QByteArray& xml);

// zlib stream at the default level.
QByteArray deflateBytes(const QByteArray& data);
// Empty optional-like result: returns false when the data is no zlib stream.
bool inflateBytes(const QByteArray& data, QByteArray& out);

// A REPORT blob: compressed or plain template stream.
QByteArray templateToBlob(const ReportTemplate& report, bool compress = true);
ReportTemplate templateFromBlob(const QByteArray& blob);

} // namespace svod::engine
