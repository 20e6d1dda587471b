#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "engine/Model.h"

namespace svod::engine::editing {

// The clipboard's format: a template stream whose one band holds the copied objects, so that
// objects paste between designers and read as text in an editor.
inline const QString ClipboardMimeType = QStringLiteral("application/x-svod-report-objects");

QByteArray objectsToXml(const QList<TemplateObject>& objects);
// Objects of every band of a template stream; throws svod::Error when the text is no template.
QList<TemplateObject> objectsFromXml(const QByteArray& xml);

} // namespace svod::engine::editing
