#pragma once

#include <QFileDialog>
#include <QLineEdit>

namespace svod::test {

// Types the whole path into the dialog's file name field and accepts, as a user would: selecting
// through the dialog's view depends on its folder listing, which loads in the background.
inline void typeFileName(QFileDialog& dialog, const QString& path) {
    if (auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(path);
    else
        dialog.selectFile(path);
    QMetaObject::invokeMethod(&dialog, "accept");
}

} // namespace svod::test
