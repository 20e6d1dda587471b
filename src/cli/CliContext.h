#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "cli/CliOutput.h"
#include "db/Connection.h"
#include "db/Error.h"

namespace svod::cli {

// Wrong arguments: exit status 64.
class UsageError : public Error {
public:
    using Error::Error;
};

// What every command gets: the global options and the output.
struct CliContext {
    QString iniPath;
    QString connectionString; // --db
    QString owner;            // --owner
    bool ownerGiven = false;
    CliOutput& out;

    // Opens the connection from --db, else from the INI file; user and password from the
    // string or SVOD_USER / SVOD_PASSWORD. Throws with the message the user sees. A SQLite file
    // that does not exist is created only when `createMissing` (init-db): a mistyped path must
    // not give an empty database.
    std::unique_ptr<db::Connection> connect(bool createMissing = false) const;
    // The staging-table prefix: --owner, else [DIRECTLOAD] TablesOwner.
    QString tablesOwnerPrefix(const db::Dialect& dialect) const;
};

using CommandFunction = int (*)(CliContext& context, const QStringList& args);

struct CommandEntry {
    const char* name;
    CommandFunction run;
    const char* usage;
};

// Every command of svod-cli.
const QList<CommandEntry>& commands();

// Small argument helpers shared by the commands.
class ArgReader {
public:
    explicit ArgReader(QStringList args) : args_(std::move(args)) {}
    // Removes a flag; true when it was there.
    bool flag(const QString& name);
    // Removes "--name VALUE" (or --name=VALUE); empty when absent. Throws UsageError without a value.
    QString option(const QString& name);
    QStringList options(const QString& name);
    // What is left, after the known options were taken; throws on leftover options.
    QStringList positional() const;

private:
    QStringList args_;
};

int runCli(int argc, char** argv);

} // namespace svod::cli
