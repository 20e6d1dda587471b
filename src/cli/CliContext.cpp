#include "cli/CliContext.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

#include "db/AppConfig.h"
#include "db/QtMessages.h"

namespace svod::cli {

std::unique_ptr<db::Connection> CliContext::connect(bool createMissing) const {
    QString text = connectionString;
    if (text.isEmpty())
        text = readAppConfig(iniPath).connectionString;
    if (text.isEmpty())
        throw Error(QStringLiteral("Не задана строка соединения: укажите --db или [connect] string в ") +
                    iniPath);
    db::ConnectionSpec target = db::parseConnectionString(text);
    for (const QString& warning : target.warnings)
        out.message(QStringLiteral("warning"), warning);
    if (target.backend == db::Backend::SQLite && !createMissing &&
        target.databaseName != QLatin1String(":memory:") && !QFileInfo::exists(target.databaseName))
        throw Error(QStringLiteral("database file not found: ") + target.databaseName);
    auto connection = std::make_unique<db::Connection>();
    connection->open(target, qEnvironmentVariable("SVOD_USER"), qEnvironmentVariable("SVOD_PASSWORD"));
    connection->setCommandTimeout(db::Timeouts::CommandAfterStart);
    return connection;
}

QString CliContext::tablesOwnerPrefix(const db::Dialect& dialect) const {
    const QString o = ownerGiven ? owner : readAppConfig(iniPath).tablesOwner;
    return dialect.ownerPrefix(o);
}

bool ArgReader::flag(const QString& name) {
    const qsizetype i = args_.indexOf(name);
    if (i < 0)
        return false;
    args_.removeAt(i);
    return true;
}

QString ArgReader::option(const QString& name) {
    for (qsizetype i = 0; i < args_.size(); ++i) {
        if (args_[i] == name) {
            if (i + 1 >= args_.size())
                throw UsageError(QStringLiteral("Не указано значение параметра ") + name);
            const QString value = args_[i + 1];
            args_.remove(i, 2);
            return value;
        }
        if (args_[i].startsWith(name + u'=')) {
            const QString value = args_[i].mid(name.size() + 1);
            args_.removeAt(i);
            return value;
        }
    }
    return {};
}

QStringList ArgReader::options(const QString& name) {
    QStringList values;
    for (;;) {
        const qsizetype before = args_.size();
        const QString value = option(name);
        if (args_.size() == before)
            return values;
        values << value;
    }
}

QStringList ArgReader::positional() const {
    for (const QString& a : args_)
        if (a.startsWith(QLatin1String("--")))
            throw UsageError(QStringLiteral("Неизвестный параметр ") + a);
    return args_;
}

namespace {
void printUsage(CliOutput& out) {
    out.line(QStringLiteral(
        "usage: svod-cli [--ini FILE] [--db CONNECTION] [--owner OWNER] [--json] COMMAND ..."));
    for (const CommandEntry& c : commands())
        out.line(QStringLiteral("  ") + QString::fromUtf8(c.usage));
    out.line(QStringLiteral(
        "exit status: 0 done or accepted, 1 refused by the checks, 2 stopped by a validation message, "
        "3 declined by an answer, 4 database or file error, 5 accepted but packet files not moved "
        "into the archive (RECEIVED), 64 wrong arguments"));
}
} // namespace

namespace {
// The options before the command.
struct GlobalOptions {
    bool json = false;
    QString iniPath = defaultIniPath();
    QString db;
    QString owner;
    bool ownerGiven = false;
    QString usageError;
};

// Takes the global options off the front of `args`; stops at the first error or at "help".
GlobalOptions takeGlobalOptions(QStringList& args) {
    GlobalOptions options;
    while (!args.isEmpty() && args.front().startsWith(QLatin1String("--"))) {
        const QString a = args.takeFirst();
        auto takeValue = [&](const QString& name) -> QString {
            if (a.startsWith(name + u'='))
                return a.mid(name.size() + 1);
            if (args.isEmpty()) {
                options.usageError = QStringLiteral("Не указано значение параметра ") + name;
                return {};
            }
            return args.takeFirst();
        };
        if (a == QLatin1String("--json"))
            options.json = true;
        else if (a == QLatin1String("--ini") || a.startsWith(QLatin1String("--ini=")))
            options.iniPath = takeValue(QStringLiteral("--ini"));
        else if (a == QLatin1String("--db") || a.startsWith(QLatin1String("--db=")))
            options.db = takeValue(QStringLiteral("--db"));
        else if (a == QLatin1String("--owner") || a.startsWith(QLatin1String("--owner="))) {
            options.owner = takeValue(QStringLiteral("--owner"));
            options.ownerGiven = true;
        } else if (a == QLatin1String("--help"))
            args.prepend(QStringLiteral("help"));
        else
            options.usageError = QStringLiteral("Неизвестный параметр ") + a;
        if (!options.usageError.isEmpty() || (!args.isEmpty() && args.front() == QLatin1String("help")))
            break;
    }
    return options;
}

// Runs one command; its errors become messages and exit codes.
int runCommand(const CommandEntry& command, CliContext& context, const QStringList& args) {
    CliOutput& out = context.out;
    try {
        return command.run(context, args);
    } catch (const UsageError& e) {
        out.message(QStringLiteral("error"), e.message());
        out.line(QStringLiteral("usage: svod-cli ") + QString::fromUtf8(command.usage));
        return ExitUsage;
    } catch (const Error& e) {
        out.message(QStringLiteral("error"), e.message());
        out.result(QStringLiteral("failed"), ExitFailed);
        return ExitFailed;
    } catch (const std::exception& e) {
        out.message(QStringLiteral("error"), QString::fromLocal8Bit(e.what()));
        out.result(QStringLiteral("failed"), ExitFailed);
        return ExitFailed;
    }
}
} // namespace

int runCli(int argc, char** argv) {
    // Text measuring and painting (protocols and reports as pages) need a GUI application; the
    // offscreen platform needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    quietQtMessages();
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const GlobalOptions options = takeGlobalOptions(args);

    CliOutput out(options.json);
    if (args.isEmpty() || args.front() == QLatin1String("help") || !options.usageError.isEmpty()) {
        if (!options.usageError.isEmpty())
            out.message(QStringLiteral("error"), options.usageError);
        printUsage(out);
        return options.usageError.isEmpty() && !args.isEmpty() ? ExitDone : ExitUsage;
    }

    const QString name = args.takeFirst();
    CliContext context{options.iniPath, options.db, options.owner, options.ownerGiven, out};
    for (const CommandEntry& c : commands())
        if (name == QLatin1String(c.name))
            return runCommand(c, context, args);
    out.message(QStringLiteral("error"), QStringLiteral("Неизвестная команда ") + name);
    printUsage(out);
    return ExitUsage;
}

} // namespace svod::cli
