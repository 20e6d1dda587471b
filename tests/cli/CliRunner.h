#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcessEnvironment>
#include <QStringList>

namespace svod::test {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
    // --json output, one object per line.
    QList<QJsonObject> jsonLines() const;
};

// Runs the built svod-cli with the arguments and waits for it.
CliRun runCli(const QStringList& args,
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

} // namespace svod::test
