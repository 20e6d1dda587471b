#pragma once

#include <QString>

#include "dbf/DbfTable.h"
#include "reception/ReceptionState.h"

namespace svod::db {
class Connection;
class Dialect;
} // namespace svod::db

namespace svod::reception {

class Interaction;

// The staging table of inflation revaluations, without the owner prefix.
inline const QString StagingInflation = QStringLiteral("TEMP_MU_MSFO_SBROS_INFL");

namespace statements {
QString stagingInflCodes(const QString& prefix);
QString stagingInflPlanes(const QString& prefix);
QString createTemp3(const db::Dialect& d);
QString fillTemp3FromStaging(const db::Dialect& d, const QString& prefix);
QString deleteInflation(const db::Dialect& d, const QString& code);
QString insertInflation(const db::Dialect& d, const QString& code);
QString dropTemp3(const db::Dialect& d);
} // namespace statements

// How an inflation reception ended without an error.
enum class InflationOutcome {
    Cancelled,           // the mode dialog or the file choice was cancelled
    Stopped,             // the file was refused with a message
    Declined,            // the confirmation was not answered with OK
    Accepted,            // the revaluations were committed
    AcceptedNotArchived, // committed, but the file could not be moved into the archive
};

// The command "Прием данных по инфляции": the branch's inflation revaluations in INV_INFL replaced
// as a whole from one DBF file or from the staging table, inside one transaction.
class InflationReception {
public:
    InflationReception(db::Connection& connection, Interaction& interaction);

    ReceptionState& state() { return state_; }
    // The last input directory.
    const QString& inputDir() const { return inputDir_; }
    void setInputDir(const QString& dir) { inputDir_ = dir; }
    // The owner of the staging table followed by ".", or empty.
    const QString& tablesOwnerPrefix() const { return tablesOwnerPrefix_; }
    void setTablesOwnerPrefix(const QString& prefix) { tablesOwnerPrefix_ = prefix; }

    InflationOutcome receive();
    InflationOutcome LoadInflFile(const QString& path);
    // Test failures of the staging table end it with a PacketError.
    InflationOutcome LoadInflFileDirect();
    // The loading operation the progress dialog runs; the source follows DirectMode.
    void PriemInflPL();

private:
    void CheckAbort();
    QString confirmationText() const;
    // Asks the confirmation and runs the loading; true when the revaluations were accepted.
    bool confirmedAndReceived();
    void fillTemp3FromFile();

    db::Connection& connection_;
    Interaction& interaction_;
    ReceptionState state_;
    dbf::DbfTable dbfA_;
    QString inputDir_;
    QString tablesOwnerPrefix_;
};

} // namespace svod::reception
