#include <QSqlQuery>
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "db/Error.h"
#include "engine/DialogSession.h"
#include "engine/Report.h"
#include "engine/TemplateStorage.h"
#include "support/TestDatabase.h"

using namespace svod;
using namespace svod::engine;
using namespace svod::engine::test;

namespace {

DialogControl control(ControlKind kind, const QString& name, QStringList items = {}, QStringList keys = {}) {
    DialogControl c;
    c.kind = kind;
    c.name = name;
    c.rect = QRectF(8, 8, 120, 20);
    c.items = std::move(items);
    c.keys = std::move(keys);
    return c;
}

DialogControl button(const QString& name, ModalResult result, const QString& onClick = {}) {
    DialogControl c = control(ControlKind::Button, name);
    c.caption = result == ModalResult::Ok ? QStringLiteral("ОК") : QStringLiteral("Отмена");
    c.modalResult = result;
    c.onClick = onClick;
    return c;
}

ReportTemplate withDialog(QList<DialogControl> controls, const QString& onShow = {}) {
    ReportTemplate t;
    DialogPage page;
    page.name = QStringLiteral("Dialog1");
    page.caption = QStringLiteral("Параметры");
    page.controls = std::move(controls);
    page.onShow = onShow;
    t.dialogs << page;
    return t;
}

// Answers each page by a function of the test; keeps every message.
class ScriptedRunner : public DialogRunner {
public:
    std::function<bool(DialogSession&, int)> onPage = [](DialogSession&, int) { return true; };
    QStringList messages;
    int shown = 0;
    bool showPage(DialogSession& session, int index) override {
        ++shown;
        return onPage(session, index);
    }
    void message(const QString& text) override { messages << text; }
};

// A session over `t` whose pages are shown by `runner`, without a database.
std::unique_ptr<DialogSession> sessionFor(const ReportTemplate& t, DialogRunner& runner) {
    auto session = std::make_unique<DialogSession>(
        t, QStringLiteral("Отчет 1"), runner,
        [](const QString& name, const ParameterLookup&) -> RowSet {
            throw Error(QStringLiteral("Набор данных не найден: ") + name);
        },
        QVariantMap());
    session->initialise();
    return session;
}

const QString InStrMessage =
    QStringLiteral("Метод GET_IN_STR можно применять при заполнении через LOADFROMDS или ADDWITHID");

} // namespace

TEST(DialogTemplate, RoundTripKeepsEveryNewKind) {
    ReportTemplate t;
    DialogPage page;
    page.name = QStringLiteral("Dialog1");
    page.caption = QStringLiteral("Отчет на дату");
    page.size = QSizeF(300, 240);
    page.onShow = QStringLiteral("Edit1.Text = 'x';");
    DialogControl label = control(ControlKind::Label, QStringLiteral("Label1"));
    label.caption = QStringLiteral("Дата:");
    DialogControl date = control(ControlKind::DateEdit, QStringLiteral("DateEdit1"));
    date.defaultValue = QStringLiteral("new Date(2006, 0, 31)");
    DialogControl list = control(ControlKind::CheckListBox, QStringLiteral("CheckListBox1"));
    list.dataset = QStringLiteral("FIL");
    list.keyField = QStringLiteral("KOD");
    list.captionField = QStringLiteral("NAZVANIE");
    list.showKeys = true;
    list.onChange = QStringLiteral("Label1.Caption = 'изменено';");
    DialogControl combo =
        control(ControlKind::ComboBox, QStringLiteral("ComboBox1"),
                {QStringLiteral("один"), QStringLiteral("два")}, {QStringLiteral("1"), QStringLiteral("2")});
    page.controls << label << date << list << combo << control(ControlKind::Edit, QStringLiteral("Edit1"))
                  << control(ControlKind::Memo, QStringLiteral("Memo1"))
                  << control(ControlKind::CheckBox, QStringLiteral("CheckBox1"))
                  << control(ControlKind::RadioGroup, QStringLiteral("RadioGroup1"),
                             {QStringLiteral("а"), QStringLiteral("б")})
                  << button(QStringLiteral("Button1"), ModalResult::Ok, QStringLiteral("ShowMessage('ok');"))
                  << button(QStringLiteral("Button2"), ModalResult::Cancel);
    t.dialogs << page;

    TemplateObject chart;
    chart.kind = ObjectKind::Chart;
    chart.name = QStringLiteral("Chart1");
    chart.rect = QRectF(0, 0, 400, 200);
    chart.chart.type = ChartType::StackedBar;
    chart.chart.dataset = QStringLiteral("DATA");
    chart.chart.categoryField = QStringLiteral("KOD");
    chart.chart.valueFields = {QStringLiteral("A"), QStringLiteral("B")};
    chart.chart.seriesTitles = {QStringLiteral("Первая"), QStringLiteral("Вторая")};
    chart.chart.title = QStringLiteral("Остаточная стоимость");
    chart.chart.xAxisTitle = QStringLiteral("Филиал");
    chart.chart.yAxisTitle = QStringLiteral("руб.");
    chart.chart.numberFormat = QStringLiteral("#,##0");
    chart.chart.legend = false;
    TemplateObject check = textObject(QRectF(0, 0, 10, 10), QStringLiteral("[A] > 0"));
    check.kind = ObjectKind::CheckBox;
    TemplateObject rich = textObject(QRectF(0, 20, 100, 30), QStringLiteral("<b>жирный</b> <i>[A]</i>"));
    rich.kind = ObjectKind::RichText;
    TemplateObject rounded = textObject(QRectF(0, 60, 100, 30), {});
    rounded.kind = ObjectKind::RoundRect;
    rounded.radius = 6;
    rounded.fill = QColor(200, 220, 255);
    t.bands << band(BandKind::ReportTitle, 300, {chart, check, rich, rounded});

    const ReportTemplate back = templateFromBlob(templateToBlob(t));
    EXPECT_EQ(back.dialogs, t.dialogs);
    EXPECT_EQ(back.bands, t.bands);
    EXPECT_EQ(back, t);
}

TEST(DialogTemplate, UnknownControlKindIsRefusedWithItsName) {
    const QByteArray xml =
        "<svod-report version=\"1\"><dialog name=\"D\"><control kind=\"Slider\" name=\"S\"/>"
        "</dialog></svod-report>";
    try {
        templateFromXml(xml);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Slider"))) << e.message().toStdString();
    }
}

TEST(CheckListBox, GetInStrQuotesKeysDoublingApostrophes) {
    ScriptedRunner runner;
    const ReportTemplate t =
        withDialog({control(ControlKind::CheckListBox, QStringLiteral("CheckListBox1"),
                            {QStringLiteral("Север"), QStringLiteral("О'Брайен"), QStringLiteral("Юг")},
                            {QStringLiteral("01"), QStringLiteral("O'B"), QStringLiteral("03")}),
                    control(ControlKind::Edit, QStringLiteral("Edit1"))},
                   QStringLiteral("CheckListBox1.CHECKED(1, true); CheckListBox1.STATE(2, 1);"
                                  "Edit1.Text = CheckListBox1.GET_IN_STR;"));
    auto session = sessionFor(t, runner);
    ASSERT_TRUE(session->run());
    EXPECT_EQ(session->control(QStringLiteral("edit1"))->text(), QStringLiteral("'O''B','03'"));
    EXPECT_TRUE(runner.messages.isEmpty());
}

TEST(CheckListBox, GetInStrOfNothingTickedIsAnEmptyLiteral) {
    ScriptedRunner runner;
    const ReportTemplate t = withDialog({control(ControlKind::CheckListBox, QStringLiteral("CheckListBox1"),
                                                 {QStringLiteral("Север")}, {QStringLiteral("01")})});
    auto session = sessionFor(t, runner);
    EXPECT_EQ(session->control(QStringLiteral("CheckListBox1"))->inString(), QStringLiteral("''"));
    EXPECT_TRUE(runner.messages.isEmpty());
}

TEST(CheckListBox, GetInStrOnAListWithoutKeysShowsTheMessage) {
    ScriptedRunner runner;
    const ReportTemplate t =
        withDialog({control(ControlKind::CheckListBox, QStringLiteral("CheckListBox1")),
                    control(ControlKind::Edit, QStringLiteral("Edit1"))},
                   QStringLiteral("CheckListBox1.ITEMS.ADD('Север'); CheckListBox1.SELECTALL();"
                                  "Edit1.Text = CheckListBox1.GET_IN_STR;"));
    auto session = sessionFor(t, runner);
    ASSERT_TRUE(session->run());
    EXPECT_EQ(runner.messages, QStringList{InStrMessage});
    EXPECT_EQ(session->control(QStringLiteral("Edit1"))->text(), QStringLiteral("''"));
}

TEST(CheckListBox, MethodsTickReadAndChangeItems) {
    ScriptedRunner runner;
    const ReportTemplate t = withDialog(
        {control(ControlKind::CheckListBox, QStringLiteral("L")),
         control(ControlKind::Memo, QStringLiteral("Out"))},
        QStringLiteral("L.ADDWITHID('Север', '01'); L.ADDWITHID('Юг', '02'); L.ADDWITHID('Восток', '03');"
                       "var r = [];"
                       "L.SELECTALL(); r.push(L.CHECKED(0) && L.CHECKED(2));"
                       "L.DESELECTALL(); r.push(L.STATE(1));"
                       "L.APPLYSTATE('01,03'); r.push(L.GET_IN_STR);"
                       "r.push(L.GETINDEXPROPERTY(1, 'Caption'), L.GETINDEXPROPERTY(2, 'Key'));"
                       "L.SETINDEXPROPERTY(1, 'Checked', true); r.push(L.GET_IN_STR);"
                       "r.push(L.Count, L.ITEMS.Count);"
                       "L.CLEAR(); r.push(L.Count);"
                       "Out.Text = r.join('|');"));
    auto session = sessionFor(t, runner);
    ASSERT_TRUE(session->run());
    EXPECT_EQ(session->control(QStringLiteral("Out"))->text(),
              QStringLiteral("true|0|'01','03'|Юг|03|'01','02','03'|3|3|0"));
}

TEST(CheckListBox, StatesSavedInOneRunComeBackInTheNext) {
    DialogSession::rememberedStates().clear();
    ScriptedRunner runner;
    runner.onPage = [](DialogSession& s, int) {
        s.control(QStringLiteral("L"))->applyState(QStringLiteral("02"));
        return true;
    };
    const ReportTemplate t = withDialog({control(ControlKind::CheckListBox, QStringLiteral("L"),
                                                 {QStringLiteral("Север"), QStringLiteral("Юг")},
                                                 {QStringLiteral("01"), QStringLiteral("02")})});
    ASSERT_TRUE(sessionFor(t, runner)->run());

    ScriptedRunner second;
    auto again = sessionFor(t, second);
    EXPECT_EQ(again->control(QStringLiteral("L"))->checkedKeys(), QStringList{QStringLiteral("02")});
    DialogSession::rememberedStates().clear();
}

TEST(DialogRun, CancelEndsTheRunWithoutPagesOrMessages) {
    ReportTemplate t = withDialog({button(QStringLiteral("Button2"), ModalResult::Cancel)});
    t.bands << band(BandKind::ReportTitle, 20,
                    {textObject(QRectF(0, 0, 100, 20), QStringLiteral("Заголовок"))});
    ScriptedRunner runner;
    runner.onPage = [](DialogSession& s, int) {
        return s.click(*s.control(QStringLiteral("Button2"))) != ModalResult::Cancel;
    };
    Report report;
    report.setTemplate(t);
    report.setDialogRunner(&runner);
    EXPECT_FALSE(report.prepareReport());
    EXPECT_TRUE(report.preparedPages().isEmpty());
    EXPECT_EQ(runner.shown, 1);
    EXPECT_TRUE(runner.messages.isEmpty());
}

TEST(DialogRun, ControlValuesReachExpressionsVariablesAndTheScript) {
    ReportTemplate t = withDialog({control(ControlKind::DateEdit, QStringLiteral("DateEdit1")),
                                   control(ControlKind::Edit, QStringLiteral("Edit1")),
                                   control(ControlKind::CheckListBox, QStringLiteral("CheckListBox1"),
                                           {QStringLiteral("Север"), QStringLiteral("Юг")},
                                           {QStringLiteral("01"), QStringLiteral("02")})});
    t.variables.insert(QStringLiteral("NA_DATU"), QStringLiteral("DateEdit1.Date"));
    t.script = QStringLiteral("NoteStrings.push(Edit1.Text);");
    TemplateObject date = textObject(QRectF(0, 0, 100, 20), QStringLiteral("[NA_DATU]"));
    date.displayFormat = QStringLiteral("dd.MM.yyyy");
    t.bands << band(BandKind::ReportTitle, 60,
                    {date, textObject(QRectF(0, 20, 200, 20), QStringLiteral("[Edit1.Text]")),
                     textObject(QRectF(0, 40, 200, 20), QStringLiteral("[CheckListBox1.GET_IN_STR]"))});
    AnswerRunner runner({{QStringLiteral("DateEdit1"), QStringLiteral("28.02.2006")},
                         {QStringLiteral("edit1"), QStringLiteral("текст")},
                         {QStringLiteral("CheckListBox1"), QStringLiteral("02")}});
    Report report;
    report.setTemplate(t);
    report.setDialogRunner(&runner);
    ASSERT_TRUE(report.prepareReport());
    EXPECT_EQ(pageTexts(report.preparedPages().page(0)),
              (QStringList{QStringLiteral("28.02.2006"), QStringLiteral("текст"), QStringLiteral("'02'")}));
    EXPECT_EQ(report.noteStrings(), QStringList{QStringLiteral("текст")});
}

TEST(DialogRun, AnswersAreCheckedAsTheControlNeedsThem) {
    const ReportTemplate t = withDialog({control(ControlKind::DateEdit, QStringLiteral("DateEdit1")),
                                         control(ControlKind::CheckListBox, QStringLiteral("L"),
                                                 {QStringLiteral("Север")}, {QStringLiteral("01")})});
    ScriptedRunner runner;
    auto session = sessionFor(t, runner);
    ControlObject& date = *session->control(QStringLiteral("DateEdit1"));
    EXPECT_THROW(date.answer(QStringLiteral("31.02.2006")), AnswerError);
    EXPECT_THROW(date.answer(QStringLiteral("завтра")), AnswerError);
    date.answer(QStringLiteral("2006-02-28"));
    EXPECT_EQ(date.date(), QDate(2006, 2, 28));
    ControlObject& list = *session->control(QStringLiteral("L"));
    EXPECT_THROW(list.answer(QStringLiteral("01,99")), AnswerError);
    list.answer(QStringLiteral("*"));
    EXPECT_EQ(list.checkedKeys(), QStringList{QStringLiteral("01")});
    list.answer(QString());
    EXPECT_TRUE(list.checkedKeys().isEmpty());
}

TEST(DialogRun, ScriptErrorNamesReportPageAndControl) {
    ReportTemplate t =
        withDialog({button(QStringLiteral("Button1"), ModalResult::Ok, QStringLiteral("nosuch.call();"))});
    AnswerRunner runner;
    Report report;
    report.setName(QStringLiteral("Остатки"));
    report.setTemplate(t);
    report.setDialogRunner(&runner);
    try {
        report.prepareReport();
        FAIL() << "no error";
    } catch (const Error& e) {
        const QString m = e.message();
        EXPECT_TRUE(m.contains(QStringLiteral("Остатки")) && m.contains(QStringLiteral("Dialog1")) &&
                    m.contains(QStringLiteral("Button1")) && m.contains(QStringLiteral("nosuch")))
            << m.toStdString();
    }
    EXPECT_TRUE(report.preparedPages().isEmpty());
}

TEST(DialogRun, ALoopingScriptIsStopped) {
    const ReportTemplate t =
        withDialog({control(ControlKind::Edit, QStringLiteral("Edit1"))}, QStringLiteral("while (true) {}"));
    ScriptedRunner runner;
    auto session = sessionFor(t, runner);
    session->setScriptTimeout(200);
    try {
        session->run();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("прерван"))) << e.message().toStdString();
    }
    EXPECT_EQ(runner.shown, 0) << "the page is not shown after its script failed";
}

TEST(DialogRun, AControlMethodErrorBecomesTheScriptsError) {
    const ReportTemplate t = withDialog({control(ControlKind::CheckListBox, QStringLiteral("L"))},
                                        QStringLiteral("L.CHECKED(5, true);"));
    ScriptedRunner runner;
    auto session = sessionFor(t, runner);
    try {
        session->run();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("вне границ"))) << e.message().toStdString();
    }
}

// Branch lists filled from the database and bound into a query as an IN list.
class DialogDatabaseTest : public ::testing::TestWithParam<db::Backend> {
protected:
    void SetUp() override {
        SVOD_REQUIRE_BACKEND(GetParam());
        db_ = std::make_unique<svod::test::TestDatabase>(GetParam());
        db_->createSchema();
        db_->connection().execute(QStringLiteral(
            "insert into FILIALS (KOD, NAZVANIE) values ('01', 'Север'), ('02', 'Юг'), ('0''', 'Кавычка')"));
    }
    std::unique_ptr<svod::test::TestDatabase> db_;
};

TEST_P(DialogDatabaseTest, TickedBranchesAreExactlyTheRowsOfTheQuery) {
    DialogControl list = control(ControlKind::CheckListBox, QStringLiteral("CheckListBox1"));
    list.dataset = QStringLiteral("FIL");
    list.keyField = QStringLiteral("KOD");
    list.captionField = QStringLiteral("NAZVANIE");
    list.defaultValue = QStringLiteral("'*'");
    ReportTemplate t = withDialog({list});
    t.datasets << DatasetSpec{QStringLiteral("FIL"),
                              QStringLiteral("SELECT KOD, NAZVANIE FROM FILIALS ORDER BY KOD"),
                              {}}
               << DatasetSpec{
                      QStringLiteral("ROWS"),
                      QStringLiteral("SELECT KOD FROM FILIALS WHERE KOD IN (:CheckListBox1) ORDER BY KOD"),
                      {}};
    t.bands << band(BandKind::MasterData, 14, {textObject(QRectF(0, 0, 100, 14), QStringLiteral("[KOD]"))},
                    QStringLiteral("ROWS"));
    t.bands << band(BandKind::ReportSummary, 14,
                    {textObject(QRectF(0, 0, 100, 14), QStringLiteral("всего [COUNT()]"))});

    auto run = [&](const QString& answer) {
        DialogSession::rememberedStates().clear(); // each run as the first of the program
        AnswerRunner runner(answer.isNull()
                                ? QMap<QString, QString>()
                                : QMap<QString, QString>{{QStringLiteral("CheckListBox1"), answer}});
        Report report;
        report.setConnection(&db_->connection());
        report.setTemplate(t);
        report.setDialogRunner(&runner);
        EXPECT_TRUE(report.prepareReport());
        return pageTexts(report.preparedPages().page(0));
    };
    EXPECT_EQ(run(QStringLiteral("0',02")),
              (QStringList{QStringLiteral("0'"), QStringLiteral("02"), QStringLiteral("всего 2")}));
    EXPECT_EQ(run(QString()), (QStringList{QStringLiteral("0'"), QStringLiteral("01"), QStringLiteral("02"),
                                           QStringLiteral("всего 3")}))
        << "the default ticks every branch";
    EXPECT_EQ(run(QStringLiteral("")), QStringList{QStringLiteral("всего 0")}) << "none ticked: no rows";
}

TEST_P(DialogDatabaseTest, AFailingLookupNamesTheControl) {
    DialogControl list = control(ControlKind::CheckListBox, QStringLiteral("CheckListBox1"));
    list.dataset = QStringLiteral("FIL");
    list.keyField = QStringLiteral("KOD");
    list.captionField = QStringLiteral("NAZVANIE");
    ReportTemplate t = withDialog({list});
    t.datasets << DatasetSpec{
        QStringLiteral("FIL"), QStringLiteral("SELECT KOD, NAZVANIE FROM NO_SUCH_TABLE"), {}};
    Report report;
    report.setConnection(&db_->connection());
    report.setTemplate(t);
    try {
        report.prepareReport();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("CheckListBox1"))) << e.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, DialogDatabaseTest, ::testing::ValuesIn(svod::test::testBackends()),
                         [](const auto& info) { return svod::test::backendLabel(info.param); });
