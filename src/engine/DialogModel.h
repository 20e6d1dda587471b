#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace svod::engine {

// What a dialog control is; the names are those the template and `report params` use.
enum class ControlKind { Label, Edit, Memo, DateEdit, ComboBox, CheckBox, RadioGroup, Button, CheckListBox };

// What pressing a button does to its page.
enum class ModalResult { None, Ok, Cancel };

// A control of a dialog page: where it sits (points within the page), what it shows first, and the
// scripts of its events.
struct DialogControl {
    ControlKind kind = ControlKind::Edit;
    QString name;
    QRectF rect;
    QString caption;       // Label, CheckBox, Button, RadioGroup: the visible text
    QString defaultValue;  // an expression evaluated before the page is first shown
    QStringList items;     // ComboBox, RadioGroup, CheckListBox: fixed captions
    QStringList keys;      // their keys, parallel to items (empty: a list without keys)
    QString dataset;       // a lookup dataset filling the list
    QString keyField;      // ... its key field
    QString captionField;  // ... its caption field
    bool showKeys = false; // CheckListBox: the second style, a column of keys beside the captions
    ModalResult modalResult = ModalResult::None;
    QString onClick;  // script run when a button is pressed
    QString onChange; // script run when the value changes
    bool operator==(const DialogControl&) const = default;
};

// A form shown before preparation.
struct DialogPage {
    QString name;
    QString caption;
    QSizeF size{320, 200};
    QList<DialogControl> controls;
    QString onShow; // script run each time before the page is shown
    bool operator==(const DialogPage&) const = default;
};

QString controlKindName(ControlKind kind);
ControlKind controlKindFromName(const QString& name, bool* ok = nullptr);

} // namespace svod::engine
