#include "reception/ReceptionService.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

#include "checks/HistoryChecks.h"
#include "checks/PacketChecks.h"
#include "checks/ResidualCandidates.h"
#include "db/Branches.h"
#include "db/Connection.h"
#include "db/Formats.h"
#include "db/Schema.h"
#include "reception/DbCopy.h"
#include "reception/DirectReception.h"
#include "reception/Interaction.h"
#include "reception/PacketFiles.h"
#include "reception/PacketScan.h"
#include "reception/Replacement.h"

namespace svod::reception {

namespace {
// The first rows of a file whose branch code is compared; the rest is checked on the server.
constexpr int CodeCheckRows = 19;

void openReader(dbf::DbfTable& table, const QString& path) {
    table.close();
    table.setOpenMode(dbf::DbfTable::OpenMode::Normal);
    table.setReadOnly(true);
    const QFileInfo info(path);
    table.setFilePath(info.absolutePath());
    table.setTableName(info.fileName());
    table.open();
}
} // namespace

QString truncatedFileMessage(const dbf::DbfTable& table, const QString& path) {
    if (table.fileSize() >= table.promisedSize())
        return {};
    return QStringLiteral("Файл ") + QDir::toNativeSeparators(path) +
           QStringLiteral(" короче, чем указано в его заголовке: %1 байт вместо %2. Возможно, он еще "
                          "копируется; прием невозможен.")
               .arg(table.fileSize())
               .arg(table.promisedSize());
}

ReceptionService::ReceptionService(db::Connection& connection, Interaction& interaction)
    : connection_(connection), interaction_(interaction) {}

void ReceptionService::closeReaders() {
    if (dbfA_.active())
        dbfA_.close();
    if (dbfB_.active())
        dbfB_.close();
}

void ReceptionService::PriemError(const QString& message) {
    closeReaders();
    throw PacketError(message);
}

void ReceptionService::CheckAbort() {
    interaction_.processEvents();
    if (interaction_.cancelRequested())
        throw AbortedError(QStringLiteral("Прервано пользователем"));
}

bool ReceptionService::choosePacketFile(const QString& pickedPath) {
    inputDir_ = QFileInfo(pickedPath).absolutePath();
    const PacketPair pair = derivePacketPair(pickedPath);
    if (pair.notExchangeFile)
        interaction_.message(MessageKind::Plain, QStringLiteral("Выбранный файл не является файлом обмена"));
    if (pair.a.isEmpty() || pair.b.isEmpty() || !QFileInfo::exists(pair.a) || !QFileInfo::exists(pair.b)) {
        interaction_.message(MessageKind::Plain, QStringLiteral("Необходимые для приема файлы не найдены!"));
        return false;
    }
    pathA_ = pair.a;
    pathB_ = pair.b;
    return true;
}

void ReceptionService::openAndValidate() {
    ReceptionState& s = state_;
    openReader(dbfA_, pathA_);
    openReader(dbfB_, pathB_);
    for (const dbf::DbfTable* table : {&dbfA_, &dbfB_})
        for (const QString& warning : table->warnings())
            interaction_.message(MessageKind::Warning, warning);
    // A packet still being copied must never be accepted in part.
    for (const auto& [table, path] : {std::pair{&dbfA_, pathA_}, std::pair{&dbfB_, pathB_}})
        if (const QString truncated = truncatedFileMessage(*table, path); !truncated.isEmpty())
            PriemError(truncated);
    s.PacketInfo = QStringLiteral("Принимаемые файлы: ") + QFileInfo(pathA_).fileName() +
                   QStringLiteral(", ") + QFileInfo(pathB_).fileName() + QStringLiteral("\r\n");

    if (dbfA_.isEmpty())
        PriemError(QStringLiteral("Пустой файл ") + pathA_ + QStringLiteral(" !"));
    if (dbfB_.isEmpty())
        PriemError(QStringLiteral("Пустой файл ") + pathB_ + QStringLiteral(" !"));
    const dbf::DbfField* kodA = dbfA_.findField(QStringLiteral("KOD_F"));
    if (!kodA)
        PriemError(QStringLiteral("Неверный формат файла ") + pathA_ + QStringLiteral(" !"));
    dbfA_.first();
    s.FilialCode = kodA->asText();
    if (s.AcceptCode.isEmpty())
        s.AcceptCode = s.FilialCode;
    for (int row = 0; row < CodeCheckRows && !dbfA_.eof(); ++row, dbfA_.next())
        if (kodA->asText() != s.FilialCode)
            PriemError(QStringLiteral("Неуникальный код филиала в ") + pathA_ + QStringLiteral(" !"));
    if (s.FilialCode.trimmed().isEmpty())
        PriemError(QStringLiteral("Пустой код филиала в ") + pathA_ + QStringLiteral(" !"));

    const dbf::DbfField* kodB = dbfB_.findField(QStringLiteral("KOD_F"));
    if (!kodB)
        PriemError(QStringLiteral("Неверный формат файла ") + pathB_ + QStringLiteral(" !"));
    dbfB_.first();
    for (int row = 0; row < CodeCheckRows && !dbfB_.eof(); ++row, dbfB_.next()) {
        const QString code = kodB->asText();
        if (code != u"**" && code != s.FilialCode)
            PriemError(QStringLiteral("Неверный код филиала в ") + pathB_ + QStringLiteral(" !"));
    }
    if (!dbfB_.findField(QStringLiteral("DD")))
        PriemError(QStringLiteral("Неверный формат файла ") + pathB_ + QStringLiteral(" !"));

    interaction_.execute([this] { RunPerDvij(dbfB_, state_, interaction_); });

    if (s.CurrencyFrom.isPresent())
        s.PacketInfo +=
            QStringLiteral("Данные по валюте с ") + formatDate(s.CurrencyFrom) + QStringLiteral("\r\n");
    if (s.RoublesFrom.isPresent())
        s.PacketInfo +=
            QStringLiteral("Данные по рублям с ") + formatDate(s.RoublesFrom) + QStringLiteral("\r\n");
    const auto movementsBefore = [this](int plane) {
        PriemError(
            QStringLiteral("Неверный пакет данных. Найдены движения (тип%1) с датой ранее даты отбора!")
                .arg(plane));
    };
    if (s.CurrencyFrom.isPresent()) {
        if (s.MinDD[0] < s.CurrencyFrom)
            movementsBefore(1);
        if (s.MinDD[1] < s.CurrencyFrom)
            movementsBefore(2);
    }
    if (s.RoublesFrom.isPresent()) {
        if (s.MinDD[2] < s.RoublesFrom)
            movementsBefore(3);
        if (s.MinDD[3] < s.RoublesFrom)
            movementsBefore(4);
    }
    if (s.FilialCode.trimmed().isEmpty())
        PriemError(QStringLiteral("Неверный код филиала !"));
    if (!s.NewFormat)
        PriemError(QStringLiteral("Старый формат файлов! Прием невозможен."));
    s.FilialName = db::GetFilName(connection_, s.FilialCode);
    s.ReceptionOk = false;
    if (s.FromKvaro && PreviosNotFromKvaro(connection_, s.FilialCode))
        PriemError(QStringLiteral("Филиал \"") + s.FilialName +
                   QStringLiteral("\" прислал данные из новой программы \"ЛирантКваро\",\r\n") +
                   QStringLiteral("Перед приемом новых нужно удалить старые данные,\r\n") +
                   QStringLiteral("предварительно проверив соответствие новых остатков старым."));
}

QString ReceptionService::confirmationText() const {
    return QStringLiteral("Подтвердите прием данных по филиалу:\r\n ") + state_.FilialCode +
           QStringLiteral(" ") + state_.FilialName + QStringLiteral("\r\n") + GetPeriodsTexts(state_) +
           (state_.AcceptCode == u"99" ? QStringLiteral("\r\nКАК ТЕСТОВЫЙ 99 ФИЛИАЛ") : QString());
}

void ReceptionService::runChecks(bool residualCandidates, const std::function<void()>& indexBalanceRows) {
    checks::CheckContext context;
    context.FilialCode = state_.FilialCode;
    context.CurrencyFrom = state_.CurrencyFrom;
    context.RoublesFrom = state_.RoublesFrom;
    context.HasControlPlanes = state_.HasControlPlanes;
    context.header = {state_.FilialName, state_.PacketInfo};
    context.balanceRowsUnindexed = bool(indexBalanceRows);
    const auto info = [this](const QString& text) { showStage(interaction_, text); };
    checks::PacketChecks packet(connection_, store_, context, info);
    checks::HistoryContext historyContext;
    historyContext.FilialCode = state_.FilialCode;
    historyContext.CurrencyFrom = state_.CurrencyFrom;
    historyContext.RoublesFrom = state_.RoublesFrom;
    historyContext.limits = {state_.CurrencyLimit, state_.RoublesLimit};
    historyContext.header = context.header;
    historyContext.residualCandidates = residualCandidates;
    historyContext.indexBalanceRows = indexBalanceRows;
    checks::HistoryChecks history(connection_, store_, historyContext, info, [this](const QString& text) {
        return interaction_.question(MessageKind::Error, text, Buttons::YesNo) == Answer::Yes;
    });
    packet.CheckDouble_ID_In_A();
    CheckAbort();
    packet.CheckNoRequredFields();
    CheckAbort();
    packet.CheckBExistsInA();
    CheckAbort();
    if (state_.HasControlPlanes) {
        packet.CheckCorrectDateAndPL();
        CheckAbort();
    }
    history.CheckDeletedInInvalidPeriod();
    CheckAbort();
    packet.CheckNoGroup();
    CheckAbort();
    packet.CheckNoShifr();
    CheckAbort();
    packet.CheckHasAMORT_In9Group();
    CheckAbort();
    history.CheckBSTnotZero();
    CheckAbort();
    history.CheckHasNegativeOSTST();
    CheckAbort();
}

void ReceptionService::priemNEW() {
    store_.clear();
    state_.ReceptionOk = false;
    const db::Dialect& d = connection_.dialect();
    // SQLite and PostgreSQL sum the turnovers for the residual-value check while the rows are copied.
    std::optional<checks::ResidualCandidates> candidates;
    if (state_.DirectMode) {
        fillTempTablesFromStaging(connection_, tablesOwnerPrefix_, interaction_);
    } else {
        if (!dbfA_.active() || !dbfB_.active())
            return;
        if (connection_.backend() != db::Backend::SqlServer)
            candidates.emplace(connection_.backend());
        copyPacketFiles(candidates ? &*candidates : nullptr);
    }
    // Indexes where the backend needs them to keep the checks near n log n; the history checks look
    // balances up by item, plane and date and sum their turnovers (DELTA, carried by the index).
    // SALDO stays out: the sums never read it, the few look-ups that do (items of group 9) take it
    // from the row, and the narrower index costs a tenth less to build.
    connection_.execute(d.indexTempTable(QStringLiteral("TEMP1"), {QStringLiteral("ID")}));
    const bool residualCandidates =
        candidates &&
        candidates->store(connection_, state_.CurrencyFrom, state_.RoublesFrom, checks::ResidualThreshold);
    // With no candidates SQLite builds the index only for a check that needs it: a packet whose
    // residual values are all well above zero is judged without it. Each candidate sums through it.
    const bool deferIndex =
        residualCandidates && candidates->stored() == 0 && connection_.backend() == db::Backend::SQLite;
    candidates.reset();
    const auto indexBalanceRows = [this, &d] {
        connection_.execute(
            d.indexLookupTemp(QStringLiteral("TEMP2"), statements::temp2Key(), {QStringLiteral("DELTA")}));
    };
    if (!deferIndex)
        indexBalanceRows();

    if (state_.AcceptCode == u"99")
        state_.FilialCode = QStringLiteral("99");
    runChecks(residualCandidates,
              deferIndex ? std::function<void()>(indexBalanceRows) : std::function<void()>());
    if (store_.count() > 0) {
        interaction_.showProtocols(store_.protocols());
        store_.clear();
        throw RefusedError(QStringLiteral("Ошибки при проверке данных. Данные не приняты."));
    }
    replaceBranchData(connection_,
                      {state_.FilialCode, state_.CurrencyFrom, state_.RoublesFrom, afterOldRowsDeleted_},
                      interaction_);
    state_.ReceptionOk = true;
    if (state_.DirectMode)
        dropStagingTables(connection_, tablesOwnerPrefix_);
}

void ReceptionService::copyPacketFiles(checks::ResidualCandidates* candidates) {
    const db::Dialect& d = connection_.dialect();
    dbfA_.first();
    showStage(interaction_, QStringLiteral("Перенос номенклатуры на сервер"));
    dbfB_.first();
    const auto abort = [this] { CheckAbort(); };
    connection_.execute(statements::createTemp1(d));
    DBCopy(dbfA_, connection_, d.tempTable(QStringLiteral("TEMP1")), db::invColumnNames(), state_.AcceptCode,
           interaction_, abort);
    dbfA_.close();
    connection_.execute(statements::createTemp2(d));
    showStage(interaction_, QStringLiteral("Перенос оборотов на сервер"));
    // Rows of another branch are copied but never stored (the replacement takes the branch's
    // own); they are counted here to be named after the success.
    OtherBranchRows other{state_.FilialCode, {}};
    const bool testReception = state_.AcceptCode == u"99";
    RowTap tap;
    if (candidates) {
        tap.columns = [candidates](const QStringList& columns, qint64 rows) {
            candidates->setColumns(columns, rows);
        };
        tap.row = [candidates](const QVariant* values) { candidates->addRow(values); };
    }
    DBCopy(dbfB_, connection_, d.tempTable(QStringLiteral("TEMP2")), db::balanceColumnNames(),
           state_.AcceptCode, interaction_, abort, testReception ? nullptr : &other,
           candidates ? &tap : nullptr);
    dbfB_.close();
    state_.LeftOutRows = other.total();
    state_.LeftOutCodes = other.counts.keys();
}

QString ReceptionService::leftOutText() const {
    return QStringLiteral("Строки другого филиала в файле ") + QDir::toNativeSeparators(pathB_) +
           QStringLiteral(" не приняты: %1 (код филиала: %2)")
               .arg(state_.LeftOutRows)
               .arg(state_.LeftOutCodes.join(QStringLiteral(", ")));
}

namespace {

// SQLite frees a dropped table's pages one by one (a third of a second for a large packet's TEMP2
// and its index). When the connection's temporary database holds nothing but the reception's
// tables, closing it (what a change of temp_store does) frees them at once.
bool discardSqliteTempDatabase(db::Connection& connection) {
    if (connection.backend() != db::Backend::SQLite)
        return false;
    try {
        if (connection
                .scalar(QStringLiteral("select count(*) from temp.sqlite_master where upper(tbl_name) not in "
                                       "('TEMP1', 'TEMP2', '") +
                        checks::ResidualCandidatesTable + QStringLiteral("')"))
                .toInt() != 0)
            return false;
        const int store = connection.scalar(QStringLiteral("pragma temp_store")).toInt();
        connection.execute(QStringList{QStringLiteral("pragma temp_store=%1").arg(store == 0 ? 1 : 0),
                                       QStringLiteral("pragma temp_store=%1").arg(store)});
        return connection.scalar(QStringLiteral("select count(*) from temp.sqlite_master")).toInt() == 0;
    } catch (const Error&) {
        return false; // inside a transaction: dropped one by one
    }
}

} // namespace

void ReceptionService::dropTempTables() {
    if (discardSqliteTempDatabase(connection_))
        return;
    QStringList names{QStringLiteral("TEMP1"), QStringLiteral("TEMP2")};
    if (connection_.backend() != db::Backend::SqlServer)
        names << checks::ResidualCandidatesTable;
    for (const QString& name : names) {
        try {
            connection_.execute(statements::dropTemp(connection_.dialect(), name));
        } catch (const Error&) {
            // The table may never have been created.
        }
    }
}

bool ReceptionService::confirmInvalidPeriods() {
    const checks::BranchLimits limits = checks::loadBranchLimits(connection_, state_.FilialCode);
    state_.CurrencyLimit = limits.CurrencyLimit;
    state_.RoublesLimit = limits.RoublesLimit;
    const QString text = checks::invalidPeriodsText(limits, state_.CurrencyFrom, state_.RoublesFrom);
    if (text.isEmpty())
        return true;
    const QString found = checks::invalidPeriodsHeadline() + text;
    if (interaction_.question(MessageKind::Error,
                              found + QStringLiteral("Прервать прием и выдать протокол об ошибке?"),
                              Buttons::YesNo) == Answer::No)
        return true;
    interaction_.showProtocol(
        checks::immediateProtocol(store_, {state_.FilialName, state_.PacketInfo}, found));
    return false;
}

ReceptionOutcome ReceptionService::receive() {
    state_.clearForCommand();
    pathA_.clear();
    pathB_.clear();
    const PriemMode mode = interaction_.askPriemMode(state_.AcceptCode, false);
    if (mode == PriemMode::Cancelled)
        return ReceptionOutcome::Cancelled;
    state_.DirectMode = mode == PriemMode::Direct;
    if (state_.DirectMode) {
        LoadPacketDirect(*this, connection_, interaction_);
        return ReceptionOutcome::Direct;
    }

    const auto finish = [this](ReceptionOutcome outcome) {
        closeReaders();
        if (state_.ReceptionOk) {
            // The data are committed: whatever the archive meets is a warning after the success.
            const QString notArchived = MoveFilesToRECIVED(interaction_, inputDir_, pathA_, pathB_);
            interaction_.message(MessageKind::Info, QStringLiteral("Прием данных успешно завершен."));
            if (state_.LeftOutRows > 0)
                interaction_.message(MessageKind::Warning, leftOutText());
            if (!notArchived.isEmpty()) {
                interaction_.message(MessageKind::Warning, notArchived);
                outcome = ReceptionOutcome::AcceptedNotArchived;
            }
        }
        interaction_.setStatus(QStringLiteral(" "));
        return outcome;
    };

    try {
        const QString picked = interaction_.chooseFile(QStringLiteral("DBF файл (*.dbf)|*.dbf"), inputDir_);
        if (picked.isEmpty())
            return finish(ReceptionOutcome::Cancelled);
        if (!choosePacketFile(picked))
            return finish(ReceptionOutcome::FilesNotFound);
        openAndValidate();
    } catch (...) {
        closeReaders();
        throw;
    }
    if (interaction_.question(MessageKind::Question, confirmationText(), Buttons::OkCancel) != Answer::Ok)
        return finish(ReceptionOutcome::Declined);
    if (!confirmInvalidPeriods()) {
        closeReaders();
        return ReceptionOutcome::PeriodsRefused;
    }
    state_.ReceptionOk = false;
    try {
        interaction_.execute([this] { priemNEW(); });
    } catch (...) {
        closeReaders();
        dropTempTables();
        throw;
    }
    closeReaders();
    dropTempTables();
    return finish(state_.ReceptionOk ? ReceptionOutcome::Accepted : ReceptionOutcome::Cancelled);
}

} // namespace svod::reception
