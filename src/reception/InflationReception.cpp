#include "reception/InflationReception.h"

#include <QFileInfo>
#include <QSqlQuery>

#include "db/Branches.h"
#include "db/Connection.h"
#include "db/Dialect.h"
#include "db/Schema.h"
#include "reception/DbCopy.h"
#include "reception/DirectReception.h"
#include "reception/Interaction.h"
#include "reception/PacketFiles.h"
#include "reception/ReceptionService.h"

namespace svod::reception {

namespace {

const QString PlanesMessage =
    QStringLiteral("Файл с дооценками инфлирования должен иметь движения только в 5 и 6 плоскости!");

bool isInflationPlane(const QString& plane) {
    return plane == u"5" || plane == u"6";
}

QString temp3(const db::Dialect& d) {
    return d.tempTable(QStringLiteral("TEMP3"));
}

// Restores the normal cursor and closes the file, whatever happened.
class BusyFile {
public:
    BusyFile(Interaction& interaction, dbf::DbfTable& table) : interaction_(interaction), table_(table) {
        interaction_.setBusy(true);
    }
    ~BusyFile() {
        interaction_.setBusy(false);
        if (table_.active())
            table_.close();
    }
    BusyFile(const BusyFile&) = delete;
    BusyFile& operator=(const BusyFile&) = delete;

private:
    Interaction& interaction_;
    dbf::DbfTable& table_;
};

} // namespace

namespace statements {

QString stagingInflCodes(const QString& prefix) {
    return QStringLiteral("select distinct KOD_F from ") + prefix + StagingInflation + u' ';
}

QString stagingInflPlanes(const QString& prefix) {
    return QStringLiteral("select distinct TYP from ") + prefix + StagingInflation + u' ';
}

QString createTemp3(const db::Dialect& d) {
    return d.selectTop0IntoTemp(QStringLiteral("TEMP3"), QStringLiteral("INV_INFL"));
}

QString fillTemp3FromStaging(const db::Dialect& d, const QString& prefix) {
    return QStringLiteral("insert into ") + temp3(d) +
           QStringLiteral(" (ID,KOD_F,DD,TYP,SALDO,DELTA) select ID,KOD_F,DD,TYP,SALDO,DELTA from ") +
           prefix + StagingInflation + QStringLiteral(" where KOD_F <> '**'");
}

QString deleteInflation(const db::Dialect& d, const QString& code) {
    return QStringLiteral("delete from INV_INFL where KOD_F = ") + d.quote(code) + QStringLiteral("  ");
}

QString insertInflation(const db::Dialect& d, const QString& code) {
    return QStringLiteral("insert into INV_INFL select * from ") + temp3(d) +
           QStringLiteral(" where KOD_F = ") + d.quote(code) + QStringLiteral("  ");
}

QString dropTemp3(const db::Dialect& d) {
    return QStringLiteral("drop table ") + temp3(d) + u' ';
}

} // namespace statements

InflationReception::InflationReception(db::Connection& connection, Interaction& interaction)
    : connection_(connection), interaction_(interaction) {}

void InflationReception::CheckAbort() {
    interaction_.processEvents();
    if (interaction_.cancelRequested())
        throw AbortedError(QStringLiteral("Прервано пользователем"));
}

QString InflationReception::confirmationText() const {
    return QStringLiteral("Подтвердите прием инфляционных дооценок по филиалу:\r\n ") + state_.FilialCode +
           QStringLiteral(" ") + state_.FilialName;
}

InflationOutcome InflationReception::receive() {
    // An inflation reception has no test variant.
    state_.AcceptCode.clear();
    const PriemMode mode = interaction_.askPriemMode(state_.AcceptCode, true);
    if (mode == PriemMode::Cancelled)
        return InflationOutcome::Cancelled;
    state_.DirectMode = mode == PriemMode::Direct;
    if (state_.DirectMode)
        return LoadInflFileDirect();
    const QString picked = interaction_.chooseFile(QStringLiteral("DBF файл (*.dbf)|*.dbf"), inputDir_);
    if (picked.isEmpty())
        return InflationOutcome::Cancelled;
    inputDir_ = QFileInfo(picked).absolutePath();
    return LoadInflFile(picked);
}

InflationOutcome InflationReception::LoadInflFile(const QString& path) {
    {
        BusyFile busy(interaction_, dbfA_);
        dbfA_.close();
        dbfA_.setReadOnly(true);
        const QFileInfo info(path);
        dbfA_.setFilePath(info.absolutePath());
        dbfA_.setTableName(info.fileName());
        dbfA_.open();
        if (const QString truncated = truncatedFileMessage(dbfA_, path); !truncated.isEmpty()) {
            interaction_.message(MessageKind::Plain, truncated);
            return InflationOutcome::Stopped;
        }
        if (dbfA_.isEmpty()) {
            interaction_.message(MessageKind::Plain,
                                 QStringLiteral("Пустой файл ") + path + QStringLiteral(" !"));
            return InflationOutcome::Stopped;
        }
        for (const char* column : {"ID", "DD", "KOD_F", "TYP", "DELTA", "SALDO"}) {
            if (!dbfA_.findField(QString::fromLatin1(column))) {
                interaction_.message(MessageKind::Plain,
                                     QStringLiteral("Неверный формат файла ") + path + QStringLiteral(" !"));
                return InflationOutcome::Stopped;
            }
        }
        dbfA_.first();
        if (!isInflationPlane(dbfA_.fieldByName(QStringLiteral("TYP")).asText())) {
            interaction_.message(MessageKind::Plain,
                                 QStringLiteral("Файл ") + path +
                                     QStringLiteral(" не является файлом с инфляционными дооценками !"));
            return InflationOutcome::Stopped;
        }
        state_.FilialCode = dbfA_.fieldByName(QStringLiteral("KOD_F")).asText();
        state_.FilialName = db::GetFilName(connection_, state_.FilialCode);
        if (!confirmedAndReceived())
            return InflationOutcome::Declined;
    }
    const QString notArchived = MoveFilesToRECIVED(interaction_, inputDir_, path, QString());
    interaction_.message(MessageKind::Info, QStringLiteral("Прием данных по инфляции успешно завершен."));
    if (notArchived.isEmpty())
        return InflationOutcome::Accepted;
    interaction_.message(MessageKind::Warning, notArchived);
    return InflationOutcome::AcceptedNotArchived;
}

InflationOutcome InflationReception::LoadInflFileDirect() {
    const QString& prefix = tablesOwnerPrefix_;
    const QVariant exists =
        connection_.scalar(statements::stagingExists(connection_.dialect(), prefix, StagingInflation));
    if (!exists.isValid() || exists.toInt() == 0)
        throw PacketError(QStringLiteral("Данные для приема отсутствуют (") + StagingInflation +
                          QStringLiteral(")."));
    QStringList codes;
    {
        QSqlQuery query = connection_.query(statements::stagingInflCodes(prefix));
        while (query.next())
            codes << query.value(0).toString();
    }
    if (codes.isEmpty())
        throw PacketError(QStringLiteral("Таблица номенклатуры пуста."));
    if (codes.size() > 1)
        throw PacketError(QStringLiteral("Неуникальный код филиала в таблице номенклатуры."));
    state_.FilialCode = codes.front();
    if (trimControl(state_.FilialCode).isEmpty())
        throw PacketError(QStringLiteral("Пустой код филиала в таблице номенклатуры."));
    state_.FilialName = db::GetFilName(connection_, state_.FilialCode);
    {
        QSqlQuery planes = connection_.query(statements::stagingInflPlanes(prefix));
        while (planes.next())
            if (!isInflationPlane(planes.value(0).toString()))
                throw PacketError(PlanesMessage);
    }
    if (!confirmedAndReceived())
        return InflationOutcome::Declined;
    try {
        connection_.execute(QStringLiteral("DROP table ") + prefix + StagingInflation);
    } catch (const Error&) {
        // The revaluations are committed; a table left behind is replaced by its next filling.
    }
    interaction_.message(MessageKind::Info, QStringLiteral("Прием данных по инфляции успешно завершен."));
    return InflationOutcome::Accepted;
}

bool InflationReception::confirmedAndReceived() {
    state_.ReceptionOk = false;
    if (interaction_.question(MessageKind::Question, confirmationText(), Buttons::OkCancel) != Answer::Ok)
        return false;
    interaction_.execute([this] { PriemInflPL(); });
    return state_.ReceptionOk;
}

void InflationReception::fillTemp3FromFile() {
    const dbf::DbfField& plane = dbfA_.fieldByName(QStringLiteral("TYP"));
    dbfA_.first();
    showStage(interaction_, QStringLiteral("Проверка номера плоскости остатков."));
    interaction_.setProgress(Interaction::Maximum, int(dbfA_.recordCount()));
    for (; !dbfA_.eof(); dbfA_.next()) {
        if (!isInflationPlane(plane.asText()))
            throw PacketError(PlanesMessage);
        interaction_.setProgress(Interaction::Position, int(dbfA_.recNo()));
    }
    dbfA_.first();
    showStage(interaction_, QStringLiteral("Перенос на сервер"));
    interaction_.setProgress(Interaction::Position, 0);
}

void InflationReception::PriemInflPL() {
    state_.ReceptionOk = false;
    const db::Dialect& d = connection_.dialect();
    if (!state_.DirectMode) {
        if (!dbfA_.active())
            return;
        // Every row is judged before anything is written.
        fillTemp3FromFile();
    }
    bool created = false;
    try {
        if (state_.DirectMode) {
            showStage(interaction_, QStringLiteral("Создание таблиц приема"));
            connection_.execute(statements::createTemp3(d));
            created = true;
            showStage(interaction_, QStringLiteral("Перенос дооценок в таблицу приема"));
            connection_.execute(statements::fillTemp3FromStaging(d, tablesOwnerPrefix_));
        } else {
            connection_.execute(statements::createTemp3(d));
            created = true;
            DBCopy(dbfA_, connection_, temp3(d), db::balanceColumnNames(), QString(), interaction_,
                   [this] { CheckAbort(); });
            dbfA_.close();
        }
        db::Transaction transaction(connection_);
        showStage(interaction_, QStringLiteral("Удаление старых данных по инфлированию."));
        connection_.execute(statements::deleteInflation(d, state_.FilialCode));
        showStage(interaction_, QStringLiteral("Запись новых данных по инфлированию."));
        connection_.execute(statements::insertInflation(d, state_.FilialCode));
        transaction.commit();
        state_.ReceptionOk = true;
    } catch (...) {
        if (created) {
            try {
                connection_.execute(statements::dropTemp3(d));
            } catch (const Error&) {
                // The error that ended the run is the one to report.
            }
        }
        throw;
    }
    try {
        connection_.execute(statements::dropTemp3(d));
    } catch (const Error&) {
        // A temporary table left behind goes with the connection.
    }
}

} // namespace svod::reception
