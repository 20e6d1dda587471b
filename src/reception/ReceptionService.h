#pragma once

#include <QString>
#include <functional>

#include "checks/ProtocolStore.h"
#include "db/Error.h"
#include "dbf/DbfTable.h"
#include "reception/ReceptionErrors.h"
#include "reception/ReceptionState.h"

namespace svod::db {
class Connection;
}

namespace svod::checks {
class ResidualCandidates;
}

namespace svod::reception {

class Interaction;

// The refusal of a file shorter than its header promises (a packet still being copied), empty
// when the file is whole.
QString truncatedFileMessage(const dbf::DbfTable& table, const QString& path);

// How a reception command ended without an error.
enum class ReceptionOutcome {
    Cancelled,           // the mode dialog or the file choice was cancelled
    FilesNotFound,       // the picked file gave no packet pair
    Declined,            // the confirmation was not answered with OK
    PeriodsRefused,      // the closed-period question stopped it
    Direct,              // handed over to the direct reception
    Accepted,            // the data were committed
    AcceptedNotArchived, // committed, but a packet file could not be moved into the archive
};

// One file-mode reception: packet choice and validation, confirmation, loading with the checks,
// the replacement and the archive. It owns the reception state and the protocol store; every
// text the user sees goes through the Interaction.
class ReceptionService {
public:
    ReceptionService(db::Connection& connection, Interaction& interaction);

    ReceptionState& state() { return state_; }
    const ReceptionState& state() const { return state_; }
    checks::ProtocolStore& protocolStore() { return store_; }
    // The last input directory.
    const QString& inputDir() const { return inputDir_; }
    void setInputDir(const QString& dir) { inputDir_ = dir; }
    // The owner of the staging tables followed by ".", or empty.
    const QString& tablesOwnerPrefix() const { return tablesOwnerPrefix_; }
    void setTablesOwnerPrefix(const QString& prefix) { tablesOwnerPrefix_ = prefix; }
    // Handed to the replacement (ReplacementPlan::afterOldRowsDeleted).
    void setAfterOldRowsDeleted(std::function<void()> hook) { afterOldRowsDeleted_ = std::move(hook); }

    // The command "Прием данных". Errors that end it (validation, refusal, cancel, database)
    // propagate after the temporary tables were dropped; the caller shows their message.
    ReceptionOutcome receive();

    // Steps of the command, public for tests and for the inflation reception.
    // The A and B files of the picked one: false, with the message shown, when either is missing.
    bool choosePacketFile(const QString& pickedPath);
    // Opens both files and validates the packet: neither file cut short nor empty, one branch code
    // in A and only it or "**" in B, the scan of the movements, none dated before the packet's
    // start dates, the new format, and a branch moving to the new program only once its old data is
    // deleted; PriemError on failure.
    void openAndValidate();
    QString confirmationText() const;
    void priemNEW();
    void CheckAbort();
    [[noreturn]] void PriemError(const QString& message);
    void closeReaders();
    void dropTempTables();
    // The closed-period question before loading (file mode): loads the branch's limits and asks when the
    // packet reaches before them; false ends the command.
    bool confirmInvalidPeriods();

    // The warning after the success about rows of another branch left out of the store.
    QString leftOutText() const;

    const QString& pathA() const { return pathA_; }
    const QString& pathB() const { return pathB_; }

private:
    // With `residualCandidates` the residual-value check judges only the rows found while copying.
    // `indexBalanceRows`, when given, builds TEMP2's lookup index for the first check that needs it.
    void runChecks(bool residualCandidates, const std::function<void()>& indexBalanceRows);
    // File mode: the packet files copied into the temporary tables; `candidates` sees the balance rows.
    void copyPacketFiles(checks::ResidualCandidates* candidates);

    db::Connection& connection_;
    Interaction& interaction_;
    ReceptionState state_;
    checks::ProtocolStore store_;
    dbf::DbfTable dbfA_;
    dbf::DbfTable dbfB_;
    QString pathA_;
    QString pathB_;
    QString inputDir_;
    QString tablesOwnerPrefix_;
    std::function<void()> afterOldRowsDeleted_;
};

} // namespace svod::reception
