#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace svod::cli {

// Exit statuses of svod-cli.
enum ExitStatus : int {
    ExitDone = 0,
    ExitRefused = 1,
    ExitStopped = 2,
    ExitDeclined = 3,
    ExitFailed = 4,
    ExitNotArchived = 5, // accepted and committed, but packet files were not moved into the archive
    ExitUsage = 64,
};

// Everything svod-cli prints: plain lines with a kind marker, or one JSON object per line.
class CliOutput {
public:
    explicit CliOutput(bool json, std::FILE* out = stdout) : json_(json), out_(out) {}

    bool json() const { return json_; }
    // kind: message, info, warning, error.
    void message(const QString& kind, const QString& text);
    // answer: ok, cancel, yes, no.
    void question(const QString& text, const QString& answer);
    void protocol(const QString& title, const QStringList& columns, const QList<QStringList>& rows);
    // status: accepted, refused, stopped, declined, failed, done.
    void result(const QString& status, int exitCode);
    // A table of rows: CSV with ";" in plain mode, one "rows" object in JSON mode.
    void table(const QStringList& columns, const QList<QStringList>& rows);
    // A line printed as it is (plain mode only).
    void line(const QString& text);
    void jsonObject(const QJsonObject& object);

private:
    void write(const QByteArray& bytes);

    bool json_;
    std::FILE* out_;
};

// A CSV field with ";" as delimiter, quoted where needed.
QString csvField(const QString& value, QChar delimiter = u';');
QString csvLine(const QStringList& values, QChar delimiter = u';');

} // namespace svod::cli
