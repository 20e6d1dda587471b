#include "db/AppConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "db/IniFile.h"

namespace svod {

QString defaultIniPath() {
    return iniPathFor(QCoreApplication::applicationDirPath(),
                      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

QString iniPathFor(const QString& executableDir, const QString& userConfigDir) {
    const QString beside = QDir(executableDir).filePath(QStringLiteral("pr_vt.ini"));
    const QFileInfo file(beside);
    if (userConfigDir.isEmpty() || (file.exists() && file.isWritable()))
        return beside;
    // An installed program (data in ../share/svod) never writes into the system's folders, even
    // when run by an administrator.
    const bool installed = QFileInfo(QDir(executableDir).filePath(QStringLiteral("../share/svod"))).isDir();
    if (!installed && !file.exists() && QFileInfo(executableDir).isWritable())
        return beside;
    return QDir(userConfigDir).filePath(QStringLiteral("svod/pr_vt.ini"));
}

QString dataDirectory(const QString& name) {
    const QDir exe(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {exe.filePath(name), exe.filePath(QStringLiteral("../share/svod/") + name)})
        if (QFileInfo(candidate).isDir())
            return QDir::cleanPath(candidate);
    return {};
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
    // The user's configuration folder may not exist yet.
    QDir().mkpath(QFileInfo(iniPath).absolutePath());
    IniFile ini(iniPath);
    ini.setValue(QStringLiteral("PATH"), QStringLiteral("in_dir"), inDir);
    ini.save();
}

} // namespace svod
