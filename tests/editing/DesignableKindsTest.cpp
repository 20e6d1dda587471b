#include <gtest/gtest.h>

#include "db/Error.h"
#include "engine/Report.h"
#include "engine/TemplateStorage.h"
#include "engine/editing/DialogEditing.h"
#include "engine/editing/Operations.h"

using namespace svod::engine;
using namespace svod::engine::editing;

namespace {

// Inserts a band of `kind` where the designer would, with the current band `current`.
int insert(ReportTemplate& t, BandKind kind, int current, const QString& dataset = {}) {
    QString error;
    const int at = bandInsertPosition(t, kind, current, &error);
    EXPECT_GE(at, 0) << bandKindName(kind).toStdString() << ": " << error.toStdString();
    if (at < 0)
        return at;
    Band b;
    b.kind = kind;
    b.height = 16;
    b.dataset = dataset;
    b.name = bandKindName(kind);
    addBand(t, at, b)->apply(t);
    return at;
}

QList<BandKind> kinds(const ReportTemplate& t) {
    QList<BandKind> out;
    for (const auto& b : t.bands)
        out << b.kind;
    return out;
}

TEST(DesignableKindsTest, EveryBandKindGoesWhereTheEngineTakesItForWhatItIs) {
    ReportTemplate t;
    QString error;
    EXPECT_EQ(bandInsertPosition(t, BandKind::GroupHeader, -1, &error), -1);
    EXPECT_FALSE(error.isEmpty());
    insert(t, BandKind::PageFooter, -1);
    const int master = insert(t, BandKind::MasterData, -1, QStringLiteral("D"));
    EXPECT_EQ(master, 0);                                                         // before the page footer
    EXPECT_EQ(bandInsertPosition(t, BandKind::DetailHeader, master, &error), -1); // no detail band yet
    insert(t, BandKind::ReportSummary, master);
    insert(t, BandKind::DetailData, master, QStringLiteral("E"));
    insert(t, BandKind::ReportTitle, 0);
    insert(t, BandKind::PageHeader, 0);
    insert(t, BandKind::ColumnHeader, 0);
    insert(t, BandKind::ColumnFooter, 0);
    const int current = int(kinds(t).indexOf(BandKind::MasterData));
    for (BandKind k : {BandKind::MasterHeader, BandKind::GroupHeader, BandKind::DetailHeader,
                       BandKind::DetailFooter, BandKind::GroupFooter, BandKind::MasterFooter})
        insert(t, k, current);
    insert(t, BandKind::Child, int(kinds(t).indexOf(BandKind::MasterFooter)));
    const QList<BandKind> expected = {
        BandKind::ReportTitle,  BandKind::PageHeader,  BandKind::ColumnHeader, BandKind::MasterHeader,
        BandKind::GroupHeader,  BandKind::MasterData,  BandKind::DetailHeader, BandKind::DetailData,
        BandKind::DetailFooter, BandKind::GroupFooter, BandKind::MasterFooter, BandKind::Child,
        BandKind::ColumnFooter, BandKind::PageFooter,  BandKind::ReportSummary};
    EXPECT_EQ(kinds(t), expected);
    // A second header or footer of the same data band has no place.
    EXPECT_EQ(bandInsertPosition(t, BandKind::MasterHeader, 5, &error), -1);
    EXPECT_EQ(bandInsertPosition(t, BandKind::DetailFooter, 5, &error), -1);
    // A second master band opens its own section after the first.
    EXPECT_EQ(bandInsertPosition(t, BandKind::MasterData, 0), 12);
}

TEST(DesignableKindsTest, ATemplateWithEveryKindPreparesAndStores) {
    ReportTemplate t;
    t.datasets << DatasetSpec{QStringLiteral("D"), QStringLiteral("SELECT 1"), {}}
               << DatasetSpec{QStringLiteral("E"), QStringLiteral("SELECT 1"), QStringLiteral("D")};
    for (BandKind k : allBandKinds())
        if (k == BandKind::MasterData || k == BandKind::DetailData)
            insert(t, k, 0, k == BandKind::MasterData ? QStringLiteral("D") : QStringLiteral("E"));
    for (BandKind k : allBandKinds())
        if (k != BandKind::MasterData && k != BandKind::DetailData)
            insert(t, k, int(kinds(t).indexOf(BandKind::MasterData)));
    ASSERT_EQ(t.bands.size(), allBandKinds().size());
    const int master = int(kinds(t).indexOf(BandKind::MasterData));
    QList<TemplateObject> objects;
    double x = 0;
    for (ObjectKind k : allObjectKinds()) {
        TemplateObject o = newObject(k, QRectF(x, 0, 40, 14));
        if (k == ObjectKind::Text)
            o.text = QStringLiteral("[F1] [DateEdit1.Date]");
        if (k == ObjectKind::Chart) {
            setObjectProperty(o, ObjectProperty::ChartDataset, QStringLiteral("D"));
            setObjectProperty(o, ObjectProperty::ChartCategory, QStringLiteral("F1"));
            setObjectProperty(o, ObjectProperty::ChartValues, QStringLiteral("F2"));
        }
        objects << o;
        x += 45;
    }
    objects << newObject(ObjectKind::Chart, QRectF(x, 0, 60, 40)); // not bound yet: draws empty
    addObjects(t, master, objects)->apply(t);
    t.dialogs << newDialogPage(t);
    for (ControlKind k : allControlKinds())
        t.dialogs[0].controls << newControl(t, 0, k);
    EXPECT_EQ(controlNames(t).size(), allControlKinds().size());
    EXPECT_EQ(templateFromXml(templateToXml(t)), t);

    Report report;
    report.setTemplate(t);
    RowSet rows;
    rows.fields = {QStringLiteral("F1"), QStringLiteral("F2")};
    rows.rows << QVariantList{QStringLiteral("а"), 1.5} << QVariantList{QStringLiteral("б"), 2.5};
    report.setMemoryDataset(QStringLiteral("D"), rows);
    report.setMemoryDataset(QStringLiteral("E"), rows);
    try {
        EXPECT_TRUE(report.prepareReport());
    } catch (const svod::Error& e) {
        FAIL() << e.message().toStdString();
    }
    EXPECT_GT(report.preparedPages().count(), 0);
}

TEST(DesignableKindsTest, ChartPropertiesTakeTypedValues) {
    TemplateObject o = newObject(ObjectKind::Chart, QRectF(0, 0, 100, 80));
    EXPECT_TRUE(setObjectProperty(o, ObjectProperty::ChartKind, int(ChartType::Pie)));
    EXPECT_EQ(o.chart.type, ChartType::Pie);
    EXPECT_FALSE(setObjectProperty(o, ObjectProperty::ChartKind, 17));
    EXPECT_FALSE(setObjectProperty(o, ObjectProperty::ChartKind, QStringLiteral("пирог")));
    EXPECT_TRUE(setObjectProperty(o, ObjectProperty::ChartValues, QStringLiteral(" OST_VAL, ,IZN_VAL ")));
    EXPECT_EQ(o.chart.valueFields, (QStringList{QStringLiteral("OST_VAL"), QStringLiteral("IZN_VAL")}));
    EXPECT_EQ(objectProperty(o, ObjectProperty::ChartValues).toStringList(), o.chart.valueFields);
    EXPECT_TRUE(setObjectProperty(o, ObjectProperty::ChartSeriesField, QStringLiteral(" VID ")));
    EXPECT_EQ(o.chart.seriesField, QStringLiteral("VID"));
    EXPECT_EQ(objectProperty(o, ObjectProperty::ChartSeriesField).toString(), QStringLiteral("VID"));
    EXPECT_TRUE(allObjectProperties().contains(ObjectProperty::ChartSeriesField));
    EXPECT_TRUE(setObjectProperty(o, ObjectProperty::ChartLegend, false));
    EXPECT_FALSE(o.chart.legend);
    EXPECT_TRUE(propertyApplies(ObjectKind::Chart, ObjectProperty::ChartDataset));
    EXPECT_FALSE(propertyApplies(ObjectKind::Text, ObjectProperty::ChartDataset));
    EXPECT_FALSE(propertyApplies(ObjectKind::Chart, ObjectProperty::Text));
    EXPECT_TRUE(allObjectKinds().contains(ObjectKind::Chart));
}

} // namespace
