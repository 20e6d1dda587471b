#pragma once

#include <QString>

namespace svod {

// The settings of pr_vt.ini that start-up reads.
struct AppConfig {
    QString connectionString; // [connect] string
    QString inDir;            // [PATH] in_dir
    QString tablesOwner;      // [DIRECTLOAD] TablesOwner
    QString dontLoginDialog;  // [setup] dontlogindialog

    // Exactly "1" switches the login prompt off; anything else leaves it on.
    bool loginPrompt() const { return dontLoginDialog != QLatin1String("1"); }
    // The owner followed by ".", or empty: put in front of every staging-table name.
    QString tablesOwnerPrefix() const { return tablesOwner.isEmpty() ? QString() : tablesOwner + u'.'; }
};

// pr_vt.ini beside the executable when it can be written there; otherwise (an installed program,
// a read-only folder) svod/pr_vt.ini in the user's configuration folder.
QString defaultIniPath();
QString iniPathFor(const QString& executableDir, const QString& userConfigDir);
// A folder of the program's data ("help", "demo"): beside the executable, or in ../share/svod of
// an installed program. Empty when there is none.
QString dataDirectory(const QString& name);
// A missing file reads as a file whose keys are all empty.
AppConfig readAppConfig(const QString& iniPath);
// Writes [PATH] in_dir, leaving every other line of the file as it was.
void writeInDir(const QString& iniPath, const QString& inDir);

} // namespace svod
