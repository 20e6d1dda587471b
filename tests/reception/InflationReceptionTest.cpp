// Reception of inflation revaluations from a file and from the staging table.
#include <QFileInfo>

#include "StagingFixture.h"

using namespace svod;
using namespace svod::test;
using reception::Answer;
using reception::InflationOutcome;

namespace {

BalanceRow infl(const QString& id, const QString& typ, const QDate& dd, double saldo,
                const QString& kod = QStringLiteral("01")) {
    return {id, kod, dd, typ, saldo, saldo};
}

class InflationReceptionTest : public StagingFixture {
protected:
    void SetUp() override {
        StagingFixture::SetUp();
        if (IsSkipped())
            return;
        inflation_ = std::make_unique<reception::InflationReception>(c(), ui_);
        // Accepted revaluations: the branch's own (one dated outside the new file's dates) and another
        // branch's.
        insertBalance(QStringLiteral("INV_INFL"), QStringLiteral("01A"), QStringLiteral("01"),
                      QDate(2003, 12, 31), QStringLiteral("5"), 1);
        insertBalance(QStringLiteral("INV_INFL"), QStringLiteral("02A"), QStringLiteral("02"),
                      QDate(2003, 12, 31), QStringLiteral("5"), 2);
    }
    QString fileWith(const QList<BalanceRow>& rows) {
        const QString file = path(QStringLiteral("INFL01.DBF"));
        writeBalances(file, rows);
        return file;
    }
    // Runs the command; the error message, or empty.
    QString run(InflationOutcome* outcome = nullptr) {
        try {
            const InflationOutcome result = inflation_->receive();
            if (outcome)
                *outcome = result;
        } catch (const Error& e) {
            return e.message();
        }
        return {};
    }
    int inflRows(const QString& where) {
        return count(QStringLiteral("select count(*) from INV_INFL where ") + where);
    }

    std::unique_ptr<reception::InflationReception> inflation_;
};

TEST_P(InflationReceptionTest, FileReplacesTheBranchRowsAsAWholeAndIsArchived) {
    ui_.fileToChoose = fileWith(
        {infl(QStringLiteral("01B"), QStringLiteral("5"), QDate(2005, 12, 31), 10),
         infl(QStringLiteral("01B"), QStringLiteral("6"), QDate(2005, 12, 31), 3),
         infl(QStringLiteral("02X"), QStringLiteral("5"), QDate(2005, 12, 31), 4, QStringLiteral("02"))});
    InflationOutcome outcome{};
    EXPECT_EQ(run(&outcome), QString());
    EXPECT_EQ(outcome, InflationOutcome::Accepted);
    EXPECT_EQ(ui_.lastFilter, QStringLiteral("DBF файл (*.dbf)|*.dbf"));
    EXPECT_EQ(ui_.texts(QStringLiteral("question")),
              QStringList{
                  QStringLiteral("Подтвердите прием инфляционных дооценок по филиалу:\r\n 01 Филиал один")});
    EXPECT_EQ(ui_.texts(QStringLiteral("info")),
              QStringList{QStringLiteral("Прием данных по инфляции успешно завершен.")});
    EXPECT_EQ(inflRows(QStringLiteral("KOD_F = '01'")), 2);
    EXPECT_EQ(inflRows(QStringLiteral("ID = '01A'")), 0) << "old rows outside the new dates go too";
    EXPECT_EQ(inflRows(QStringLiteral("KOD_F = '02'")), 1) << "other codes of the file are not inserted";
    EXPECT_EQ(inflRows(QStringLiteral("ID = '02X'")), 0);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("INFL01.DBF"))));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("RECEIVED/INFL01.DBF"))));
    EXPECT_EQ(inflation_->inputDir(), dir_.path());
    EXPECT_TRUE(ui_.infoLabels.contains(QStringLiteral("Проверка номера плоскости остатков.")));
    EXPECT_TRUE(ui_.infoLabels.contains(QStringLiteral("Запись новых данных по инфлированию.")));
}

TEST_P(InflationReceptionTest, FilesThatAreRefused) {
    // First row plane 1: not an inflation file, nothing else happens.
    ui_.fileToChoose = fileWith({infl(QStringLiteral("01B"), QStringLiteral("1"), QDate(2005, 12, 31), 10)});
    InflationOutcome outcome{};
    EXPECT_EQ(run(&outcome), QString());
    EXPECT_EQ(outcome, InflationOutcome::Stopped);
    EXPECT_EQ(ui_.texts(QStringLiteral("message")),
              QStringList{QStringLiteral("Файл ") + ui_.fileToChoose +
                          QStringLiteral(" не является файлом с инфляционными дооценками !")});
    EXPECT_TRUE(ui_.texts(QStringLiteral("question")).isEmpty());

    // Plane 5 first, a plane 3 row later: refused by the loading before anything is written.
    ui_.log.clear();
    ui_.fileToChoose = fileWith({infl(QStringLiteral("01B"), QStringLiteral("5"), QDate(2005, 12, 31), 10),
                                 infl(QStringLiteral("01B"), QStringLiteral("3"), QDate(2005, 12, 31), 10)});
    EXPECT_EQ(run(), QStringLiteral(
                         "Файл с дооценками инфлирования должен иметь движения только в 5 и 6 плоскости!"));
    EXPECT_EQ(inflRows(QStringLiteral("ID = '01A'")), 1);
    EXPECT_TRUE(QFileInfo::exists(ui_.fileToChoose));
    // "#TEMP3" was never made: it can be made now.
    c().execute(reception::statements::createTemp3(c().dialect()));
    c().execute(reception::statements::dropTemp3(c().dialect()));

    // Empty file and a file without the plane column.
    writeBalances(ui_.fileToChoose, {});
    ui_.log.clear();
    EXPECT_EQ(run(), QString());
    EXPECT_EQ(ui_.texts(QStringLiteral("message")),
              QStringList{QStringLiteral("Пустой файл ") + ui_.fileToChoose + QStringLiteral(" !")});
    ItemRow item;
    item.id = QStringLiteral("01B");
    writeItems(ui_.fileToChoose, {item});
    ui_.log.clear();
    EXPECT_EQ(run(), QString());
    EXPECT_EQ(ui_.texts(QStringLiteral("message")), QStringList{QStringLiteral("Неверный формат файла ") +
                                                                ui_.fileToChoose + QStringLiteral(" !")});
}

TEST_P(InflationReceptionTest, CancelDuringTheCopyCanBeRepeatedAtOnce) {
    QList<BalanceRow> rows;
    for (int i = 0; i < 2500; ++i)
        rows << infl(QStringLiteral("01I%1").arg(i), i % 2 ? QStringLiteral("6") : QStringLiteral("5"),
                     QDate(2005, 12, 31), 1);
    ui_.fileToChoose = fileWith(rows);
    ui_.onProgress = [](RecordingInteraction& ui) {
        if (ui.infoLabel() == QStringLiteral("Перенос на сервер") && ui.position() == 1)
            ui.requestCancel();
    };
    EXPECT_EQ(run(), QStringLiteral("Прервано пользователем"));
    EXPECT_EQ(inflRows(QStringLiteral("KOD_F = '01'")), 1);
    EXPECT_TRUE(QFileInfo::exists(ui_.fileToChoose));

    ui_.onProgress = nullptr;
    InflationOutcome outcome{};
    EXPECT_EQ(run(&outcome), QString());
    EXPECT_EQ(outcome, InflationOutcome::Accepted);
    EXPECT_EQ(inflRows(QStringLiteral("KOD_F = '01'")), 2500);
}

TEST_P(InflationReceptionTest, StagingTable) {
    ui_.mode = reception::PriemMode::Direct;
    EXPECT_EQ(run(), QStringLiteral("Данные для приема отсутствуют (TEMP_MU_MSFO_SBROS_INFL)."));

    // Planes 5, 6 and 7: refused.
    stageBalances(reception::StagingInflation,
                  {infl(QStringLiteral("01B"), QStringLiteral("5"), QDate(2005, 12, 31), 10),
                   infl(QStringLiteral("01B"), QStringLiteral("6"), QDate(2005, 12, 31), 10),
                   infl(QStringLiteral("01B"), QStringLiteral("7"), QDate(2005, 12, 31), 10)});
    EXPECT_EQ(run(), QStringLiteral(
                         "Файл с дооценками инфлирования должен иметь движения только в 5 и 6 плоскости!"));
    c().execute(QStringLiteral("drop table TEMP_MU_MSFO_SBROS_INFL"));
    // A "**" row besides the branch's rows.
    stageBalances(reception::StagingInflation,
                  {infl(QStringLiteral("01B"), QStringLiteral("5"), QDate(2005, 12, 31), 10),
                   infl(QString(), QStringLiteral("5"), QDate(2005, 12, 31), 0, QStringLiteral("**"))});
    EXPECT_EQ(run(), QStringLiteral("Неуникальный код филиала в таблице номенклатуры."));
    c().execute(QStringLiteral("drop table TEMP_MU_MSFO_SBROS_INFL"));
    EXPECT_TRUE(ui_.texts(QStringLiteral("question")).isEmpty());

    stageBalances(reception::StagingInflation,
                  {infl(QStringLiteral("01B"), QStringLiteral("5"), QDate(2005, 12, 31), 10),
                   infl(QStringLiteral("01C"), QStringLiteral("6"), QDate(2006, 12, 31), 10)});
    // Declined: nothing written, the staging table stays.
    ui_.answers = {Answer::Cancel};
    InflationOutcome outcome{};
    EXPECT_EQ(run(&outcome), QString());
    EXPECT_EQ(outcome, InflationOutcome::Declined);
    EXPECT_TRUE(stagingExists(reception::StagingInflation));
    EXPECT_EQ(inflRows(QStringLiteral("ID = '01A'")), 1);

    EXPECT_EQ(run(&outcome), QString());
    EXPECT_EQ(outcome, InflationOutcome::Accepted);
    EXPECT_EQ(inflRows(QStringLiteral("KOD_F = '01'")), 2);
    EXPECT_EQ(inflRows(QStringLiteral("KOD_F = '02'")), 1);
    EXPECT_FALSE(stagingExists(reception::StagingInflation));
    EXPECT_TRUE(ui_.infoLabels.contains(QStringLiteral("Перенос дооценок в таблицу приема")));
    EXPECT_EQ(run(), QStringLiteral("Данные для приема отсутствуют (TEMP_MU_MSFO_SBROS_INFL)."));
}

INSTANTIATE_TEST_SUITE_P(Backends, InflationReceptionTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace
