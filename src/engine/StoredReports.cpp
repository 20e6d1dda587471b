#include "engine/StoredReports.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>

#include "db/Connection.h"
#include "engine/Report.h"
#include "engine/TemplateStorage.h"

namespace svod::engine {

namespace {

bool parseReportId(const QString& text, qlonglong& id) {
    bool ok = false;
    id = text.trimmed().toLongLong(&ok);
    return ok;
}

struct ReportRow {
    qlonglong id = 0;
    QString idText;
    QString name;
};

QList<ReportRow> reportRows(db::Connection& connection) {
    QList<ReportRow> rows;
    QSqlQuery query = connection.query(QStringLiteral("SELECT ID,NAZV FROM REPORT"));
    while (query.next())
        rows.append({query.value(0).toLongLong(), query.value(0).toString(), query.value(1).toString()});
    return rows;
}

qlonglong largestId(const QList<ReportRow>& rows) {
    qlonglong largest = -1;
    for (const auto& row : rows)
        largest = std::max(largest, row.id);
    return largest;
}

const ReportRow* rowNamed(const QList<ReportRow>& rows, const QString& name) {
    for (const auto& row : rows)
        if (row.name == name)
            return &row;
    return nullptr;
}

void insertTemplateRow(db::Connection& connection, qlonglong id, const QString& name,
                       const QByteArray& blob) {
    QSqlQuery insert =
        connection.prepare(QStringLiteral("INSERT INTO REPORT (ID,NAZV,REPORT) VALUES (?,?,?)"));
    connection.execPrepared(insert, {id, name, blob});
}

// The row is told by its ID and name together, so another row of the same ID keeps its template.
void updateTemplateRow(db::Connection& connection, const ReportRow& row, const QByteArray& blob) {
    QSqlQuery update =
        connection.prepare(QStringLiteral("UPDATE REPORT SET REPORT = ? WHERE ID = ? AND NAZV = ?"));
    connection.execPrepared(update, {blob, row.id, row.name});
}

} // namespace

QList<StoredReportEntry> listStoredReports(db::Connection& connection) {
    QList<StoredReportEntry> list;
    for (const auto& row : reportRows(connection))
        list.append({row.idText, row.name});
    return list;
}

QString reportNotFoundMessage(const QString& idText) {
    return QStringLiteral("Отчет не найден: ") + idText;
}

bool loadStoredReport(db::Connection& connection, const QString& idText, Report& report) {
    report.clear();
    qlonglong id = 0;
    if (!parseReportId(idText, id))
        return false;
    QSqlQuery query =
        connection.query(QStringLiteral("SELECT * FROM REPORT WHERE ID = ") + QString::number(id));
    if (!query.next())
        return false;
    const QByteArray blob = query.value(query.record().indexOf(QStringLiteral("REPORT"))).toByteArray();
    report.clearVariables();
    report.noteStrings().clear();
    report.loadFromBlob(blob);
    return true;
}

QString reportNameFromFile(const QString& path) {
    QString name = QFileInfo(path).fileName();
    const qsizetype at = name.indexOf(QStringLiteral(".frf"), 0, Qt::CaseInsensitive);
    if (at >= 0)
        name.remove(at, 4);
    return name;
}

ImportResult importTemplateFile(db::Connection& connection, const QString& path, Report& report,
                                const ImportDialog& dialog) {
    ImportResult result;
    if (!report.loadFromFile(path))
        return result;
    result.name = reportNameFromFile(path);
    const QList<ReportRow> rows = reportRows(connection);
    const ReportRow* match = rowNamed(rows, result.name);
    const QByteArray blob = report.saveToBlob(true);
    if (!match) {
        if (!dialog.confirm(QStringLiteral("Добавить новый отчет \"") + result.name +
                            QStringLiteral("\" в базу программы ?"))) {
            result.outcome = ImportOutcome::Declined;
            return result;
        }
        const qlonglong id = largestId(rows) + 1;
        insertTemplateRow(connection, id, result.name, blob);
        result.outcome = ImportOutcome::Added;
        result.id = QString::number(id);
        dialog.inform(QStringLiteral("Отчет \"") + result.name + QStringLiteral("\" добавлен."));
        return result;
    }
    if (!dialog.confirm(QStringLiteral("Обновить отчет \"") + result.name +
                        QStringLiteral("\" из файла ?"))) {
        result.outcome = ImportOutcome::Declined;
        return result;
    }
    updateTemplateRow(connection, *match, blob);
    result.outcome = ImportOutcome::Updated;
    result.id = match->idText;
    dialog.inform(QStringLiteral("Отчет \"") + result.name + QStringLiteral("\" обновлен."));
    return result;
}

QStringList exportAllTemplates(db::Connection& connection, const QString& dir) {
    QString folder = QDir::fromNativeSeparators(dir);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    QStringList written;
    QSqlQuery query = connection.query(QStringLiteral("SELECT NAZV,REPORT FROM REPORT"));
    Report report;
    while (query.next()) {
        report.clear();
        report.loadFromBlob(query.value(1).toByteArray());
        const QString path = folder + query.value(0).toString() + QStringLiteral(".frf");
        report.saveToFile(path);
        written << path;
    }
    return written;
}

QString storeTemplate(db::Connection& connection, const QString& name, const QByteArray& blob) {
    const QList<ReportRow> rows = reportRows(connection);
    if (const ReportRow* match = rowNamed(rows, name)) {
        updateTemplateRow(connection, *match, blob);
        return match->idText;
    }
    const qlonglong id = largestId(rows) + 1;
    insertTemplateRow(connection, id, name, blob);
    return QString::number(id);
}

} // namespace svod::engine
