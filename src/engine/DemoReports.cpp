#include "engine/DemoReports.h"

#include <QDir>
#include <QFile>

#include "db/Error.h"
#include "engine/StoredReports.h"
#include "engine/TemplateStorage.h"

namespace svod::engine {

namespace {

const QString ResourceFolder = QStringLiteral(":/demo-reports");

} // namespace

QStringList demoReportNames() {
    QStringList names;
    for (const QString& file :
         QDir(ResourceFolder).entryList({QStringLiteral("*.frf")}, QDir::Files, QDir::Name))
        names << reportNameFromFile(file);
    return names;
}

QStringList insertDemoReports(db::Connection& connection) {
    QStringList stored;
    for (const QString& name : demoReportNames()) {
        QFile file(ResourceFolder + u'/' + name + QStringLiteral(".frf"));
        if (!file.open(QIODevice::ReadOnly))
            throw Error(QStringLiteral("Не найден демонстрационный отчет ") + name);
        // Parsed before storing, so a broken bundled template fails here and not at its first run.
        storeTemplate(connection, name, templateToBlob(templateFromXml(file.readAll())));
        stored << name;
    }
    return stored;
}

} // namespace svod::engine
