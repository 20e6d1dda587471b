// The grid with multi-level titles: titles, widths, hidden columns and the row keys.
#include <QSet>
#include <QStandardItemModel>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

#include "widgets/DataGrid.h"
#include "widgets/MultiLevelHeader.h"

using namespace svod::widgets;

namespace {
struct Grid {
    QStandardItemModel model{2, 4};
    DataGrid grid;
    Grid() {
        model.setHorizontalHeaderLabels({"ID", "DAM", "DA", "NAME"});
        grid.setSourceModel(&model);
        grid.setColumns(
            {{"id", {}, 0, true}, {"DAM", "Данные в долларах|с", 12}, {"DA", "Данные в долларах|по", 12}});
        grid.resize(600, 300);
        grid.show();
    }
};
} // namespace

TEST(DataGrid, TitlesWidthsAndHiddenColumns) {
    Grid g;
    EXPECT_TRUE(g.grid.isColumnHidden(0)) << "names match without regard to case";
    EXPECT_EQ(g.grid.columnWidth(1), g.grid.characterWidth(12));
    EXPECT_EQ(g.grid.model()->headerData(1, Qt::Horizontal, TitleRole).toString(),
              QStringLiteral("Данные в долларах|с"));
    EXPECT_EQ(g.grid.model()->headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("Данные в долларах по"))
        << "read aloud as one line";
    EXPECT_EQ(g.grid.model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("NAME"));
    EXPECT_GE(g.grid.columnWidth(3), g.grid.characterWidth(10)) << "a column without a width fits its title";
    auto* header = g.grid.multiLevelHeader();
    EXPECT_TRUE(header->hasTwoLevels());
    EXPECT_EQ(header->sizeHint().height(), 2 * (header->fontMetrics().height() + 2 * header->titleMargin()));
    g.grid.setColumns({});
    EXPECT_FALSE(header->hasTwoLevels());
    EXPECT_FALSE(g.grid.isColumnHidden(0));
}

TEST(DataGrid, RowKeysPostCancelAppendAndDelete) {
    Grid g;
    QStringList calls;
    bool failPost = false;
    QSet<int> dirty{1};
    DataGrid::RowEditing editing;
    editing.isEditing = [&](int row) { return dirty.contains(row); };
    editing.post = [&](int row) {
        calls << QStringLiteral("post %1").arg(row);
        if (failPost)
            throw std::runtime_error("Нарушение уникальности");
        dirty.remove(row);
    };
    editing.cancel = [&](int row) { calls << QStringLiteral("cancel %1").arg(row); };
    editing.append = [&] {
        calls << QStringLiteral("append");
        dirty.insert(g.model.rowCount());
        g.model.appendRow(QList<QStandardItem*>{new QStandardItem, new QStandardItem, new QStandardItem,
                                                new QStandardItem});
        return g.model.rowCount() - 1;
    };
    editing.remove = [&](int row) { calls << QStringLiteral("remove %1").arg(row); };
    QStringList errors;
    g.grid.setErrorHandler([&](const QString& e) { errors << e; });
    g.grid.setReadOnly(false);
    g.grid.setRowEditing(editing);
    g.grid.setCurrentIndex(g.grid.model()->index(1, 1));
    QTest::keyClick(&g.grid, Qt::Key_Escape);
    QTest::keyClick(&g.grid, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(&g.grid, Qt::Key_Down); // on the last row: a new row, the current one posted first
    EXPECT_EQ(calls, (QStringList{"cancel 1", "remove 1", "post 1", "append"}));
    EXPECT_EQ(g.grid.currentRow(), 2);

    calls.clear();
    failPost = true;
    g.grid.setCurrentIndex(g.grid.model()->index(0, 1));
    QTest::qWait(20);
    EXPECT_EQ(calls, QStringList{"post 2"});
    EXPECT_EQ(errors, QStringList{QStringLiteral("Нарушение уникальности")});
    EXPECT_EQ(g.grid.currentRow(), 2) << "a row that could not be posted stays current";

    g.grid.setReadOnly(true);
    calls.clear();
    QTest::keyClick(&g.grid, Qt::Key_Insert);
    EXPECT_TRUE(calls.isEmpty()) << "a read-only grid edits nothing";
}
