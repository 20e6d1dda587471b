#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

namespace svod::db {
class Connection;
}

namespace svod::engine {

class Report;

// A row of table REPORT without its template.
struct StoredReportEntry {
    QString id;
    QString name;
};

// Every stored report in the order the server returns them.
QList<StoredReportEntry> listStoredReports(db::Connection& connection);

// Loads the template of report `idText` into `report` (cleared first, variables emptied); false
// when there is no such report. A text that is not a whole number finds no report: it is never
// pasted into the statement.
bool loadStoredReport(db::Connection& connection, const QString& idText, Report& report);

// "Отчет не найден: " + ID.
QString reportNotFoundMessage(const QString& idText);

// What the automatic load/update of one template asks and tells.
struct ImportDialog {
    std::function<bool(const QString& question)> confirm; // OK/Cancel
    std::function<void(const QString& message)> inform;
};

enum class ImportOutcome { Added, Updated, Declined, NoFile };

struct ImportResult {
    ImportOutcome outcome = ImportOutcome::NoFile;
    QString name;
    QString id;           // of the added or updated row
    bool matched = false; // a row of that name existed (whatever the answer)
};

// The report name of a template file: the file name without its folder, with the first ".frf" in
// any letter case removed.
QString reportNameFromFile(const QString& path);

// Loads the file into `report` and adds it to REPORT under its file's name, or replaces the template
// of the row with exactly that name, after the dialog's confirmation.
ImportResult importTemplateFile(db::Connection& connection, const QString& path, Report& report,
                                const ImportDialog& dialog);

// Why `name` cannot be the name of a file inside a chosen folder (a path separator, "." or "..",
// characters no file system accepts, too long), or an empty text when it can.
QString unsafeFileNameReason(const QString& name);

struct ExportAllResult {
    QStringList written; // paths, in row order
    QStringList skipped; // one message per report refused for its name
};

// Saves every stored template as DIR/NAZV.frf (later rows of the same name overwrite earlier ones).
// A report whose name would write outside DIR is refused with a message and the rest are written.
// Throws at the first file that cannot be written or template that cannot be read.
ExportAllResult exportAllTemplates(db::Connection& connection, const QString& dir);

// A row of REPORT as it was read: the values that find it again (ID alone need not be unique).
struct ReportRowKey {
    QVariant id;
    QVariant name;
};

// LoadFromBlobField: the row's template into `report`, cleared first. A blob that neither inflates
// nor parses leaves `report` cleared and throws, naming the report's ID and name.
void loadTemplateFromRow(db::Connection& connection, const ReportRowKey& row, Report& report);
// The catalogue grid's posts: a new row without a template, a row's number and name changed, a row
// deleted. The row is found by the values it was read with.
void insertReportRow(db::Connection& connection, const QVariant& id, const QVariant& name);
void updateReportRow(db::Connection& connection, const ReportRowKey& row, const QVariant& id,
                     const QVariant& name);
void deleteReportRow(db::Connection& connection, const ReportRowKey& row);
// SaveToBlobField and post: `report`'s template, compressed, into the row's REPORT.
void saveTemplateToRow(db::Connection& connection, const ReportRowKey& row, const Report& report);

// Stores a template blob as a new row (ID one more than the largest) or over the row of that name.
QString storeTemplate(db::Connection& connection, const QString& name, const QByteArray& blob);

} // namespace svod::engine
