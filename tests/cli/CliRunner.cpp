#include "CliRunner.h"

#include <QJsonDocument>
#include <QProcess>

namespace svod::test {

QList<QJsonObject> CliRun::jsonLines() const {
    QList<QJsonObject> result;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts))
        result << QJsonDocument::fromJson(line.toUtf8()).object();
    return result;
}

CliRun runCli(const QStringList& args, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(SVOD_CLI_PATH), args);
    CliRun run;
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("svod-cli did not finish");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace svod::test
