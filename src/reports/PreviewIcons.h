#pragma once

#include <QIcon>

namespace svod::reports {

enum class PreviewIcon {
    FirstPage,
    PreviousPage,
    NextPage,
    LastPage,
    Find,
    FindNext,
    FindPrevious,
    Thumbnails,
    Print,
    Save,
    Open,
    Help,
    Close
};

// The icon of the desktop's theme, or a drawing of our own where the theme has none.
QIcon previewIcon(PreviewIcon icon);
// The drawing of our own alone.
QIcon bundledPreviewIcon(PreviewIcon icon);

} // namespace svod::reports
