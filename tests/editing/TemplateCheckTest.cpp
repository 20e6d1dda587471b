#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

#include "engine/TemplateStorage.h"
#include "engine/editing/ObjectProperties.h"
#include "engine/editing/TemplateCheck.h"

using namespace svod::engine;
using namespace svod::engine::editing;

namespace {

ReportTemplate report(const QStringList& texts, const QString& dataset = QStringLiteral("OST")) {
    ReportTemplate t;
    t.datasets << DatasetSpec{QStringLiteral("OST"), QStringLiteral("SELECT ..."), {}};
    t.variables.insert(QStringLiteral("NA_DATU"), QStringLiteral("new Date()"));
    Band b;
    b.kind = BandKind::MasterData;
    b.height = 20;
    b.dataset = dataset;
    for (const auto& text : texts) {
        TemplateObject o = newObject(ObjectKind::Text, {0, 0, 50, 10});
        o.name = QStringLiteral("o%1").arg(b.objects.size());
        o.text = text;
        b.objects << o;
    }
    t.bands << b;
    return t;
}

std::optional<QStringList> ostFields(const DatasetSpec& d) {
    if (d.name == u"OST")
        return QStringList{QStringLiteral("KOD"), QStringLiteral("SALDO")};
    return std::nullopt;
}

TEST(TemplateCheckTest, AGoodTemplateHasNoFindings) {
    const auto findings = checkTemplate(
        report({QStringLiteral("Код [KOD]"), QStringLiteral("[OST.SALDO]"), QStringLiteral("[SUM([SALDO])]"),
                QStringLiteral("[PR_DATE(NA_DATU)] [PAGE] из [TOTALPAGES]"),
                QStringLiteral("[kod == '01' ? 'Москва' : Math.round(saldo)]")}),
        ostFields);
    EXPECT_TRUE(findings.isEmpty()) << findings.value(0).message.toStdString();
}

TEST(TemplateCheckTest, AFieldTheDatasetLacksIsFlaggedWithItsObject) {
    const auto findings =
        checkTemplate(report({QStringLiteral("[KOD]"), QStringLiteral("[SALDO_RUB] + 1")}), ostFields);
    ASSERT_EQ(findings.size(), 1);
    EXPECT_EQ(findings[0].kind, Finding::Kind::Field);
    EXPECT_EQ(findings[0].band, 0);
    EXPECT_EQ(findings[0].object, 1);
    EXPECT_TRUE(findings[0].message.contains(QStringLiteral("SALDO_RUB")));
    const auto qualified = checkTemplate(report({QStringLiteral("[OST.\"NAZV\"]")}), ostFields);
    ASSERT_EQ(qualified.size(), 1);
    EXPECT_TRUE(qualified[0].message.contains(QStringLiteral("NAZV")));
}

TEST(TemplateCheckTest, ChartsBoundToMissingDatasetsOrFieldsAreFlagged) {
    ReportTemplate t = report({});
    auto chart = [&](const QString& dataset, const QString& category, const QStringList& values) {
        TemplateObject o = newObject(ObjectKind::Chart, {0, 0, 200, 100});
        o.name = QStringLiteral("c%1").arg(t.bands[0].objects.size());
        o.chart.dataset = dataset;
        o.chart.categoryField = category;
        o.chart.valueFields = values;
        t.bands[0].objects << o;
    };
    chart(QStringLiteral("OST"), QStringLiteral("KOD"), {QStringLiteral("SALDO")}); // good
    chart({}, {}, {});                                                              // not bound yet
    chart(QStringLiteral("NET"), QStringLiteral("KOD"), {QStringLiteral("SALDO")});
    chart(QStringLiteral("OST"), QStringLiteral("KOD"), {QStringLiteral("SALDO"), QStringLiteral("OBOROT")});
    chart(QStringLiteral("OST"), QStringLiteral("KOD"), {QStringLiteral("SALDO")});
    t.bands[0].objects.last().chart.seriesField = QStringLiteral("VID"); // series by a missing field
    const auto findings = checkTemplate(t, ostFields);
    ASSERT_EQ(findings.size(), 3);
    EXPECT_EQ(findings[2].object, 4);
    EXPECT_TRUE(findings[2].message.contains(QStringLiteral("VID")));
    EXPECT_EQ(findings[0].kind, Finding::Kind::Dataset);
    EXPECT_EQ(findings[0].object, 2);
    EXPECT_TRUE(findings[0].message.contains(QStringLiteral("NET")));
    EXPECT_EQ(findings[1].kind, Finding::Kind::Field);
    EXPECT_EQ(findings[1].object, 3);
    EXPECT_TRUE(findings[1].message.contains(QStringLiteral("OBOROT")));
    // Unknown fields are not judged.
    EXPECT_EQ(checkTemplate(t, [](const DatasetSpec&) { return std::optional<QStringList>(); }).size(), 1);
}

TEST(TemplateCheckTest, FieldsAreNotJudgedWhenTheDatasetCouldNotBeRead) {
    const auto findings = checkTemplate(report({QStringLiteral("[SALDO_RUB]")}),
                                        [](const DatasetSpec&) { return std::nullopt; });
    EXPECT_TRUE(findings.isEmpty());
}

TEST(TemplateCheckTest, ExpressionsThatDoNotCompileAreFlagged) {
    const auto findings =
        checkTemplate(report({QStringLiteral("[KOD +* 2]"), QStringLiteral("[SUM(]")}), ostFields);
    ASSERT_EQ(findings.size(), 2);
    EXPECT_EQ(findings[0].kind, Finding::Kind::Expression);
    EXPECT_EQ(findings[0].object, 0);
    EXPECT_TRUE(findings[0].message.contains(QStringLiteral("SyntaxError")));
}

TEST(TemplateCheckTest, BandsBoundToMissingDatasetsAreFlagged) {
    auto findings = checkTemplate(report({}, QStringLiteral("NET")), ostFields);
    ASSERT_EQ(findings.size(), 1);
    EXPECT_EQ(findings[0].kind, Finding::Kind::Dataset);
    EXPECT_EQ(findings[0].band, 0);
    findings = checkTemplate(report({}, {}), ostFields);
    ASSERT_EQ(findings.size(), 1);
    // A dataset given in memory counts.
    EXPECT_TRUE(
        checkTemplate(report({}, QStringLiteral("PROT")), ostFields, {QStringLiteral("prot")}).isEmpty());
}

TEST(TemplateCheckTest, ScriptVariablesAndMastersAreChecked) {
    ReportTemplate t = report({QStringLiteral("[TOTAL]")});
    t.script = QStringLiteral("var TOTAL = 0;\nif (");
    t.variables.insert(QStringLiteral("BAD"), QStringLiteral("1 +"));
    t.datasets << DatasetSpec{QStringLiteral("DET"), QStringLiteral("SELECT 1"), QStringLiteral("NOSUCH")};
    const auto findings = checkTemplate(t, ostFields);
    QList<Finding::Kind> kinds;
    for (const auto& f : findings)
        kinds << f.kind;
    EXPECT_EQ(kinds,
              (QList<Finding::Kind>{Finding::Kind::Script, Finding::Kind::Variable, Finding::Kind::Dataset}));
    EXPECT_TRUE(scriptSyntaxError(QStringLiteral("var a = 1;")).isEmpty());
    EXPECT_FALSE(scriptSyntaxError(QStringLiteral("var = ;")).isEmpty());
    EXPECT_FALSE(expressionSyntaxError(QStringLiteral("1 +")).isEmpty());
}

TEST(TemplateCheckTest, DemoTemplatesPassWithoutKnownFields) {
    for (QDirIterator it(QStringLiteral(":/demo-reports")); it.hasNext();) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const auto findings = checkTemplate(templateFromXml(file.readAll()), {});
        EXPECT_TRUE(findings.isEmpty())
            << file.fileName().toStdString() << ": " << findings.value(0).message.toStdString();
    }
}

} // namespace
