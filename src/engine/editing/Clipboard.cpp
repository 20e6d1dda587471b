#include "engine/editing/Clipboard.h"

#include "engine/TemplateStorage.h"

namespace svod::engine::editing {

QByteArray objectsToXml(const QList<TemplateObject>& objects) {
    ReportTemplate t;
    Band band;
    band.kind = BandKind::MasterData;
    for (const auto& o : objects)
        band.height = std::max(band.height, o.rect.bottom());
    band.objects = objects;
    t.bands << band;
    return templateToXml(t);
}

QList<TemplateObject> objectsFromXml(const QByteArray& xml) {
    const ReportTemplate t = templateFromXml(xml);
    QList<TemplateObject> objects;
    for (const auto& b : t.bands)
        objects << b.objects;
    return objects;
}

} // namespace svod::engine::editing
