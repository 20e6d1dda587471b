#include "app/FirstStart.h"

#include <QDir>
#include <QFileInfo>

#include "db/Connection.h"
#include "db/Error.h"
#include "db/IniFile.h"
#include "db/Schema.h"

namespace svod::app {

void prepareFirstStart(const QString& iniPath, const QString& dataDir) {
    if (QFileInfo::exists(iniPath))
        return;
    if (!QDir().mkpath(dataDir) || !QDir().mkpath(QFileInfo(iniPath).absolutePath()))
        throw Error(QStringLiteral("Не удалось создать папку настроек или данных: ") + dataDir);
    const QString database = QDir(dataDir).filePath(QStringLiteral("svod.db"));
    {
        db::Connection connection;
        connection.open(QStringLiteral("sqlite:") + database);
        db::createSchema(connection);
    }
    IniFile ini(iniPath);
    ini.setValue(QStringLiteral("connect"), QStringLiteral("string"), QStringLiteral("sqlite:") + database);
    ini.setValue(QStringLiteral("setup"), QStringLiteral("dontlogindialog"), QStringLiteral("1"));
    ini.save();
}

} // namespace svod::app
