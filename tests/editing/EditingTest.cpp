#include <QDirIterator>
#include <QFile>
#include <functional>
#include <gtest/gtest.h>

#include "db/Error.h"
#include "engine/TemplateStorage.h"
#include "engine/editing/Clipboard.h"
#include "engine/editing/DialogEditing.h"
#include "engine/editing/Operations.h"

using namespace svod::engine;
using namespace svod::engine::editing;

namespace {

TemplateObject text(const QString& name, const QRectF& rect, const QString& content = {}) {
    TemplateObject o = newObject(ObjectKind::Text, rect);
    o.name = name;
    o.text = content;
    return o;
}

ReportTemplate sample() {
    ReportTemplate t;
    Band title;
    title.kind = BandKind::ReportTitle;
    title.height = 40;
    title.objects << text(QStringLiteral("title"), {0, 0, 300, 20}, QStringLiteral("Остатки"))
                  << newObject(ObjectKind::Line, {0, 30, 300, 0});
    title.objects.last().name = QStringLiteral("line1");
    Band data;
    data.kind = BandKind::MasterData;
    data.height = 16;
    data.dataset = QStringLiteral("OST");
    data.objects << text(QStringLiteral("kod"), {0, 0, 40, 16}, QStringLiteral("[KOD]"))
                 << text(QStringLiteral("name"), {50, 2, 200, 16}, QStringLiteral("[NAZVANIE]"))
                 << text(QStringLiteral("sum"), {270, 4, 80, 12}, QStringLiteral("[SALDO]"));
    t.bands << title << data;
    t.datasets << DatasetSpec{
        QStringLiteral("OST"), QStringLiteral("SELECT KOD, NAZVANIE, SALDO FROM X"), {}};
    t.variables.insert(QStringLiteral("NA_DATU"), QStringLiteral("new Date()"));
    return t;
}

const QList<ObjectRef> dataRow = {{1, 0}, {1, 1}, {1, 2}};

struct Case {
    const char* name;
    std::function<EditPtr(const ReportTemplate&)> make;
};

const QList<Case>& cases() {
    static const QList<Case> all = {
        {"addBand",
         [](auto& t) {
             Band b;
             b.kind = BandKind::PageFooter;
             b.height = 12;
             return addBand(t, 1, b);
         }},
        {"removeBand", [](auto& t) { return removeBand(t, 0); }},
        {"moveBand", [](auto& t) { return moveBand(t, 0, 1); }},
        {"bandProperties",
         [](auto& t) {
             Band b = t.bands[1];
             b.newPageAfter = true;
             b.condition = QStringLiteral("KOD");
             return setBandProperties(t, 1, b);
         }},
        {"resizeBand", [](auto& t) { return resizeBand(t, 1, 30); }},
        {"addObjects",
         [](auto& t) {
             return addObjects(t, 1, {text(QStringLiteral("kod"), {0, 0, 10, 10})});
         }},
        {"removeObjects",
         [](auto& t) {
             return removeObjects(t, {{1, 2}, {0, 0}, {1, 0}});
         }},
        {"moveObjects",
         [](auto& t) {
             return moveObjects(t, dataRow, {5, -1});
         }},
        {"resizeObjects",
         [](auto& t) {
             return resizeObjects(t, dataRow, {4, 2});
         }},
        {"setProperty",
         [](auto& t) { return setObjectProperty(t, dataRow, ObjectProperty::FrameSides, int(FrameAll)); }},
        {"setFont",
         [](auto& t) {
             FontSpec f;
             f.bold = true;
             f.sizePt = 12;
             return setObjectProperty(t, {{0, 0}}, ObjectProperty::Font, QVariant::fromValue(f));
         }},
        {"rename",
         [](auto& t) { return setObjectProperty(t, dataRow, ObjectProperty::Name, QStringLiteral("cell")); }},
        {"transfer",
         [](auto& t) {
             return transferObjects(t, {{1, 1}}, 0, {0, 40});
         }},
        {"placeAcrossBands",
         [](auto& t) {
             return placeObjects(t, {{1, 2}, {1, 0}, {0, 0}}, {0, 1, 1},
                                 {QRectF(5, 5, 80, 12), QRectF(1, 1, 40, 16), QRectF(0, 0, 300, 16)});
         }},
        {"alignLeft", [](auto& t) { return alignObjects(t, dataRow, Alignment::Left); }},
        {"alignCentres", [](auto& t) { return alignObjects(t, dataRow, Alignment::VerticalCentres); }},
        {"sameSize", [](auto& t) { return sameSize(t, dataRow, true, true); }},
        {"distribute", [](auto& t) { return distributeObjects(t, dataRow, Qt::Horizontal); }},
        {"front",
         [](auto& t) {
             return bringToFront(t, {{1, 0}});
         }},
        {"back",
         [](auto& t) {
             return sendToBack(t, {{1, 2}, {0, 1}});
         }},
        {"addDataset",
         [](auto& t) {
             return addDataset(t, {QStringLiteral("DET"), QStringLiteral("SELECT 1"), QStringLiteral("OST")});
         }},
        {"removeDataset", [](auto& t) { return removeDataset(t, 0); }},
        {"setDataset",
         [](auto& t) {
             return setDataset(t, 0, {QStringLiteral("OST"), QStringLiteral("SELECT 2"), {}});
         }},
        {"setVariable",
         [](auto& t) { return setVariable(t, QStringLiteral("KOD_FIL"), QStringLiteral("'01'")); }},
        {"changeVariable",
         [](auto& t) { return setVariable(t, QStringLiteral("NA_DATU"), QStringLiteral("1")); }},
        {"removeVariable", [](auto& t) { return removeVariable(t, QStringLiteral("NA_DATU")); }},
        {"script", [](auto& t) { return setScript(t, QStringLiteral("var X = 1;")); }},
        {"page",
         [](auto& t) {
             PageSetup p = t.page;
             p.landscape = true;
             p.marginLeft = 10;
             return setPageSetup(t, p);
         }},
        {"chartBinding",
         [](auto& t) -> EditPtr {
             auto seq = std::make_unique<Sequence>(QStringLiteral("Диаграмма"));
             ReportTemplate scratch = t;
             seq->add(scratch, addObjects(scratch, 0, {newObject(ObjectKind::Chart, {0, 0, 200, 100})}));
             seq->add(scratch, setObjectProperty(scratch, {{0, 2}}, ObjectProperty::ChartValues,
                                                 QStringLiteral("SALDO, KOD")));
             return seq;
         }},
        {"dialogs",
         [](auto& t) {
             QList<DialogPage> pages = {newDialogPage(t)};
             ReportTemplate with = t;
             with.dialogs = pages;
             pages[0].controls << newControl(with, 0, ControlKind::DateEdit);
             return setDialogs(t, pages, QStringLiteral("Новая форма"));
         }},
    };
    return all;
}

TEST(EditingTest, EveryOperationUndoneAndRedoneGivesTheSameTemplate) {
    for (const auto& c : cases()) {
        SCOPED_TRACE(c.name);
        const ReportTemplate before = sample();
        ReportTemplate t = before;
        EditPtr edit = c.make(t);
        ASSERT_TRUE(edit);
        EXPECT_FALSE(edit->text().isEmpty());
        edit->apply(t);
        const ReportTemplate after = t;
        EXPECT_NE(after, before);
        edit->revert(t);
        EXPECT_EQ(t, before);
        edit->apply(t);
        EXPECT_EQ(t, after);
        // Through the stream as well: the edited template stays storable.
        EXPECT_EQ(templateFromXml(templateToXml(after)), after);
    }
}

TEST(EditingTest, OperationsThatChangeNothingGiveNoStep) {
    const ReportTemplate t = sample();
    EXPECT_FALSE(moveObjects(t, dataRow, {0, 0}));
    EXPECT_FALSE(alignObjects(t, {{1, 0}}, Alignment::Left)); // one object: nothing to align to
    EXPECT_FALSE(setObjectProperty(t, {{1, 0}}, ObjectProperty::Text, QStringLiteral("[KOD]")));
    EXPECT_FALSE(setObjectProperty(t, {{1, 0}}, ObjectProperty::Width, QStringLiteral("много")));
    // A property the kind does not have would not even be stored.
    EXPECT_FALSE(setObjectProperty(t, {{1, 0}}, ObjectProperty::ChartValues, QStringLiteral("KOD")));
    EXPECT_FALSE(removeObjects(t, {{5, 0}}));
    EXPECT_FALSE(bringToFront(t, {{1, 2}}));
}

TEST(EditingTest, ADragMergesIntoOneStep) {
    const ReportTemplate before = sample();
    ReportTemplate t = before;
    EditPtr first = moveObjects(t, dataRow, {1, 0});
    first->apply(t);
    for (int i = 0; i < 10; ++i) {
        EditPtr next = moveObjects(t, dataRow, {1, 1});
        next->apply(t);
        ASSERT_TRUE(first->mergeWith(*next));
    }
    EXPECT_EQ(t.bands[1].objects[1].rect, QRectF(61, 12, 200, 16));
    first->revert(t);
    EXPECT_EQ(t, before);
    EXPECT_FALSE(first->mergeWith(*moveObjects(t, {{1, 0}}, {1, 0})));
}

TEST(EditingTest, AlignAndDistributeFollowTheFirstObject) {
    ReportTemplate t = sample();
    alignObjects(t, dataRow, Alignment::Bottom)->apply(t);
    for (const auto& o : t.bands[1].objects)
        EXPECT_DOUBLE_EQ(o.rect.bottom(), 16);
    alignObjects(t, {{1, 1}, {1, 2}}, Alignment::Right)->apply(t);
    EXPECT_DOUBLE_EQ(t.bands[1].objects[2].rect.right(), 250);
    t = sample();
    distributeObjects(t, dataRow, Qt::Horizontal)->apply(t);
    const auto& o = t.bands[1].objects;
    EXPECT_DOUBLE_EQ(o[0].rect.left(), 0);
    EXPECT_DOUBLE_EQ(o[2].rect.right(), 350);
    EXPECT_DOUBLE_EQ(o[1].rect.left() - o[0].rect.right(), o[2].rect.left() - o[1].rect.right());
}

TEST(EditingTest, PlacingAcrossBandsMovesObjectsIntoTheirNewBand) {
    ReportTemplate t = sample();
    placeObjects(t, {{1, 2}, {0, 0}}, {0, 1}, {QRectF(5, 5, 80, 12), QRectF(0, 0, 300, 16)})->apply(t);
    ASSERT_EQ(t.bands[0].objects.size(), 2);
    EXPECT_EQ(t.bands[0].objects[1].name, QStringLiteral("sum"));
    EXPECT_EQ(t.bands[0].objects[1].rect, QRectF(5, 5, 80, 12));
    EXPECT_EQ(t.bands[1].objects.last().name, QStringLiteral("title"));
}

TEST(EditingTest, ZOrderMovesObjectsToTheEndsOfTheirBand) {
    ReportTemplate t = sample();
    bringToFront(t, {{1, 0}})->apply(t);
    EXPECT_EQ(t.bands[1].objects.last().name, QStringLiteral("kod"));
    sendToBack(t, {{1, 2}})->apply(t);
    EXPECT_EQ(t.bands[1].objects.first().name, QStringLiteral("kod"));
    EXPECT_EQ(t.bands[1].objects.size(), 3);
}

TEST(EditingTest, NewAndRenamedObjectsGetFreeNames) {
    ReportTemplate t = sample();
    addObjects(t, 0,
               {text(QStringLiteral("kod"), {0, 0, 1, 1}), text({}, {0, 0, 1, 1}), text({}, {0, 0, 1, 1})})
        ->apply(t);
    const auto& added = t.bands[0].objects;
    EXPECT_EQ(added[2].name, QStringLiteral("kod1"));
    EXPECT_EQ(added[3].name, QStringLiteral("text"));
    EXPECT_EQ(added[4].name, QStringLiteral("text1"));
    setObjectProperty(t, dataRow, ObjectProperty::Name, QStringLiteral("title"))->apply(t);
    EXPECT_EQ(objectNames(t).size(), 8);
    EXPECT_EQ(t.bands[1].objects[2].name, QStringLiteral("title3"));
}

TEST(EditingTest, ClipboardCarriesObjectsAsATemplateStream) {
    const ReportTemplate t = sample();
    const QByteArray xml = objectsToXml(t.bands[1].objects);
    EXPECT_TRUE(xml.contains("<svod-report"));
    const QList<TemplateObject> pasted = objectsFromXml(xml);
    EXPECT_EQ(pasted, t.bands[1].objects);
    EXPECT_THROW(objectsFromXml("просто текст"), svod::Error);
    ReportTemplate target = t;
    addObjects(target, 1, pasted)->apply(target);
    EXPECT_EQ(objectNames(target).size(), 8); // the pasted copies were renamed
}

TEST(EditingTest, DemoTemplatesLoadedAndSavedUnchangedAreIdentical) {
    int seen = 0;
    for (QDirIterator it(QStringLiteral(":/demo-reports")); it.hasNext();) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const ReportTemplate t = templateFromXml(bytes);
        EXPECT_EQ(templateFromXml(templateToXml(t)), t) << file.fileName().toStdString();
        ++seen;
    }
    EXPECT_GE(seen, 3);
}

} // namespace
