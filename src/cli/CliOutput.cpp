#include "cli/CliOutput.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace svod::cli {

void CliOutput::write(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out_);
    std::fflush(out_);
}

void CliOutput::jsonObject(const QJsonObject& object) {
    write(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

void CliOutput::line(const QString& text) {
    write(text.toUtf8() + '\n');
}

void CliOutput::message(const QString& kind, const QString& text) {
    if (json_) {
        jsonObject({{QStringLiteral("kind"), kind}, {QStringLiteral("text"), text}});
        return;
    }
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    line(u'[' + kind + u']');
    line(plain);
}

void CliOutput::question(const QString& text, const QString& answer) {
    if (json_) {
        jsonObject({{QStringLiteral("kind"), QStringLiteral("question")},
                    {QStringLiteral("text"), text},
                    {QStringLiteral("answer"), answer}});
        return;
    }
    message(QStringLiteral("question"), text);
    line(QStringLiteral("[answer] ") + answer);
}

void CliOutput::protocol(const QString& title, const QStringList& columns, const QList<QStringList>& rows) {
    if (json_) {
        QJsonArray jsonRows;
        for (const QStringList& row : rows)
            jsonRows.append(QJsonArray::fromStringList(row));
        jsonObject({{QStringLiteral("kind"), QStringLiteral("protocol")},
                    {QStringLiteral("title"), title},
                    {QStringLiteral("columns"), QJsonArray::fromStringList(columns)},
                    {QStringLiteral("rows"), jsonRows}});
        return;
    }
    line(QStringLiteral("[protocol]"));
    QString plainTitle = title;
    plainTitle.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    line(plainTitle);
    line(csvLine(columns));
    for (const QStringList& row : rows)
        line(csvLine(row));
}

void CliOutput::result(const QString& status, int exitCode) {
    if (json_) {
        jsonObject({{QStringLiteral("kind"), QStringLiteral("result")},
                    {QStringLiteral("status"), status},
                    {QStringLiteral("exit"), exitCode}});
        return;
    }
    line(QStringLiteral("[result] ") + status);
}

void CliOutput::table(const QStringList& columns, const QList<QStringList>& rows) {
    if (json_) {
        QJsonArray jsonRows;
        for (const QStringList& row : rows)
            jsonRows.append(QJsonArray::fromStringList(row));
        jsonObject({{QStringLiteral("kind"), QStringLiteral("rows")},
                    {QStringLiteral("columns"), QJsonArray::fromStringList(columns)},
                    {QStringLiteral("rows"), jsonRows}});
        return;
    }
    line(csvLine(columns));
    for (const QStringList& row : rows)
        line(csvLine(row));
}

QString csvField(const QString& value, QChar delimiter) {
    if (!value.contains(delimiter) && !value.contains(u'"') && !value.contains(u'\n') &&
        !value.contains(u'\r') && !value.startsWith(u' ') && !value.endsWith(u' '))
        return value;
    QString escaped = value;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

QString csvLine(const QStringList& values, QChar delimiter) {
    QStringList fields;
    fields.reserve(values.size());
    for (const QString& v : values)
        fields << csvField(v, delimiter);
    return fields.join(delimiter);
}

} // namespace svod::cli
