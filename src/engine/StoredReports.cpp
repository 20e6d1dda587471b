#include "engine/StoredReports.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>

#include "db/Connection.h"
#include "db/Error.h"
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

// A row told by the values it was read with; a NULL is matched as NULL.
QString rowCondition(const ReportRowKey& row) {
    return QString(row.id.isNull() ? QStringLiteral("ID IS NULL") : QStringLiteral("ID = ?")) +
           (row.name.isNull() ? QStringLiteral(" AND NAZV IS NULL") : QStringLiteral(" AND NAZV = ?"));
}

QVariantList rowKeyValues(const ReportRowKey& row) {
    QVariantList values;
    if (!row.id.isNull())
        values << row.id.toLongLong();
    if (!row.name.isNull())
        values << row.name.toString();
    return values;
}

// A damaged blob leaves the object cleared and names the report.
void loadBlobNamingRow(Report& report, const QByteArray& blob, const QString& id, const QString& name) {
    try {
        report.loadFromBlob(blob);
    } catch (const Error& e) {
        report.clear();
        throw Error(QStringLiteral("Шаблон отчета %1 \"%2\" не читается: %3").arg(id, name, e.message()));
    }
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
    report.setName(query.value(query.record().indexOf(QStringLiteral("NAZV"))).toString().trimmed());
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
    result.matched = true;
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

QString unsafeFileNameReason(const QString& name) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("пустое имя");
    if (name == u'.' || name == QLatin1String(".."))
        return QStringLiteral("имя \"") + name + QStringLiteral("\" указывает на каталог");
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\')
            return QStringLiteral("имя содержит разделитель каталогов");
        if (c.unicode() < 0x20 || QStringView(u"<>:\"|?*").contains(c))
            return QStringLiteral("имя содержит недопустимый символ");
    }
    // ".frf" is added; most file systems take at most 255 bytes per name.
    if (name.toUtf8().size() + 4 > 255)
        return QStringLiteral("слишком длинное имя");
    return {};
}

ExportAllResult exportAllTemplates(db::Connection& connection, const QString& dir) {
    QString folder = QDir::fromNativeSeparators(dir);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    ExportAllResult result;
    QSqlQuery query = connection.query(QStringLiteral("SELECT ID,NAZV,REPORT FROM REPORT"));
    Report report;
    while (query.next()) {
        const QString id = query.value(0).toString();
        const QString name = query.value(1).toString();
        const QString reason = unsafeFileNameReason(name);
        if (!reason.isEmpty()) {
            result.skipped << QStringLiteral("Отчет %1 \"%2\" не сохранен в файл: %3").arg(id, name, reason);
            continue;
        }
        report.clear();
        loadBlobNamingRow(report, query.value(2).toByteArray(), id, name);
        const QString path = folder + name + QStringLiteral(".frf");
        report.saveToFile(path);
        result.written << path;
    }
    return result;
}

void loadTemplateFromRow(db::Connection& connection, const ReportRowKey& row, Report& report) {
    report.clear();
    QSqlQuery query =
        connection.prepare(QStringLiteral("SELECT REPORT FROM REPORT WHERE ") + rowCondition(row));
    connection.execPrepared(query, rowKeyValues(row));
    if (!query.next())
        throw Error(QStringLiteral("Отчет %1 \"%2\" не найден в таблице REPORT")
                        .arg(row.id.toString(), row.name.toString()));
    loadBlobNamingRow(report, query.value(0).toByteArray(), row.id.toString(), row.name.toString());
}

namespace {
// ID is an integer column: an empty cell is NULL, anything else must be a whole number.
QVariant idValue(const QVariant& id) {
    if (id.isNull() || id.toString().trimmed().isEmpty())
        return QVariant(QMetaType::fromType<qlonglong>());
    bool ok = false;
    const qlonglong value = id.toString().trimmed().toLongLong(&ok);
    if (!ok)
        throw Error(QStringLiteral("Номер отчета должен быть целым числом: ") + id.toString());
    return value;
}
} // namespace

void insertReportRow(db::Connection& connection, const QVariant& id, const QVariant& name) {
    QSqlQuery insert = connection.prepare(QStringLiteral("INSERT INTO REPORT (ID,NAZV) VALUES (?,?)"));
    connection.execPrepared(insert, {idValue(id), name});
}

void updateReportRow(db::Connection& connection, const ReportRowKey& row, const QVariant& id,
                     const QVariant& name) {
    QSqlQuery update =
        connection.prepare(QStringLiteral("UPDATE REPORT SET ID = ?, NAZV = ? WHERE ") + rowCondition(row));
    QVariantList values{idValue(id), name};
    values << rowKeyValues(row);
    connection.execPrepared(update, values);
}

void deleteReportRow(db::Connection& connection, const ReportRowKey& row) {
    QSqlQuery remove = connection.prepare(QStringLiteral("DELETE FROM REPORT WHERE ") + rowCondition(row));
    connection.execPrepared(remove, rowKeyValues(row));
}

void saveTemplateToRow(db::Connection& connection, const ReportRowKey& row, const Report& report) {
    QSqlQuery update =
        connection.prepare(QStringLiteral("UPDATE REPORT SET REPORT = ? WHERE ") + rowCondition(row));
    QVariantList values{report.saveToBlob(true)};
    values << rowKeyValues(row);
    connection.execPrepared(update, values);
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
