#include "db/AppConfig.h"

#include <QCoreApplication>
#include <QDir>

#include "db/IniFile.h"

namespace svod {

QString defaultIniPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("pr_vt.ini"));
}

AppConfig readAppConfig(const QString& iniPath) {
    const IniFile ini(iniPath);
    AppConfig config;
    config.connectionString = ini.value(QStringLiteral("connect"), QStringLiteral("string"));
    config.inDir = ini.value(QStringLiteral("PATH"), QStringLiteral("in_dir"));
    config.tablesOwner = ini.value(QStringLiteral("DIRECTLOAD"), QStringLiteral("TablesOwner"));
    config.dontLoginDialog = ini.value(QStringLiteral("setup"), QStringLiteral("dontlogindialog"));
    return config;
}

void writeInDir(const QString& iniPath, const QString& inDir) {
    if (inDir.isEmpty())
        return;
    IniFile ini(iniPath);
    ini.setValue(QStringLiteral("PATH"), QStringLiteral("in_dir"), inDir);
    ini.save();
}

} // namespace svod
