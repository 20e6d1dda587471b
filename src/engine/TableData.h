#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace svod::engine {

// One column of a tabular result as it is to be shown.
struct TableColumn {
    QString field;        // name of the result field
    QString title;        // display label; "upper|lower" makes a two-level title
    int widthChars = 10;  // display width in characters
    bool numeric = false; // numbers align right
};

// A tabular result with display texts, the input of DatasetReport: error protocols and other
// generated table reports. Rows hold the cells' display texts, already trimmed and formatted.
struct TableData {
    QString title;              // lines separated by "\r\n"
    QList<TableColumn> columns; // visible fields in display order
    QList<QStringList> rows;
};

} // namespace svod::engine
