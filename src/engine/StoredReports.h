#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
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
    QString id; // of the added or updated row
};

// The report name of a template file: the file name without its folder, with the first ".frf" in
// any letter case removed.
QString reportNameFromFile(const QString& path);

// Loads the file into `report` and adds it to REPORT under its file's name, or replaces the template
// of the row with exactly that name, after the dialog's confirmation.
ImportResult importTemplateFile(db::Connection& connection, const QString& path, Report& report,
                                const ImportDialog& dialog);

// Saves every stored template as DIR/NAZV.frf (later rows of the same name overwrite earlier ones);
// returns the files written. Throws at the first file that cannot be written.
QStringList exportAllTemplates(db::Connection& connection, const QString& dir);

// Stores a template blob as a new row (ID one more than the largest) or over the row of that name.
QString storeTemplate(db::Connection& connection, const QString& name, const QByteArray& blob);

} // namespace svod::engine
