#pragma once

#include <QList>
#include <QString>

namespace svod::directory {

// How a grid shows one column of a view. A "|" in the title splits it into an upper part, shared
// by adjacent columns with the same upper part, and a lower part of its own.
struct ViewColumn {
    QString name;
    QString title;
    // Display width in characters; 0 keeps the grid's default.
    int width = 0;
    bool hidden = false;
};

using ViewColumns = QList<ViewColumn>;

} // namespace svod::directory
