#include "engine/editing/DialogEditing.h"

#include "engine/editing/Operations.h"

namespace svod::engine::editing {

QString controlKindCaption(ControlKind kind) {
    switch (kind) {
    case ControlKind::Label:
        return QStringLiteral("Надпись");
    case ControlKind::Edit:
        return QStringLiteral("Поле ввода");
    case ControlKind::Memo:
        return QStringLiteral("Многострочное поле");
    case ControlKind::DateEdit:
        return QStringLiteral("Дата");
    case ControlKind::ComboBox:
        return QStringLiteral("Список выбора");
    case ControlKind::CheckBox:
        return QStringLiteral("Флажок");
    case ControlKind::RadioGroup:
        return QStringLiteral("Группа переключателей");
    case ControlKind::Button:
        return QStringLiteral("Кнопка");
    case ControlKind::CheckListBox:
        return QStringLiteral("Список с флажками");
    }
    return controlKindName(kind);
}

const QList<ControlKind>& allControlKinds() {
    static const QList<ControlKind> all = {
        ControlKind::Label,      ControlKind::Edit,     ControlKind::Memo,
        ControlKind::DateEdit,   ControlKind::ComboBox, ControlKind::CheckBox,
        ControlKind::RadioGroup, ControlKind::Button,   ControlKind::CheckListBox};
    return all;
}

QSet<QString> controlNames(const ReportTemplate& t) {
    QSet<QString> names;
    for (const auto& page : t.dialogs)
        for (const auto& c : page.controls)
            names.insert(c.name);
    return names;
}

DialogPage newDialogPage(const ReportTemplate& t) {
    QSet<QString> taken;
    for (const auto& page : t.dialogs)
        taken.insert(page.name);
    DialogPage page;
    page.name = freeName(QStringLiteral("Dialog1"), taken);
    page.caption = QStringLiteral("Параметры отчета");
    return page;
}

namespace {

QSizeF controlSize(ControlKind kind) {
    switch (kind) {
    case ControlKind::Label:
    case ControlKind::CheckBox:
        return {160, 16};
    case ControlKind::Memo:
    case ControlKind::RadioGroup:
        return {200, 60};
    case ControlKind::Button:
        return {75, 24};
    case ControlKind::CheckListBox:
        return {240, 120};
    default:
        return {160, 20};
    }
}

} // namespace

DialogControl newControl(const ReportTemplate& t, int page, ControlKind kind) {
    QSet<QString> taken = controlNames(t);
    DialogControl c;
    c.kind = kind;
    c.name = freeName(controlKindName(kind) + QStringLiteral("1"), taken);
    double top = 8;
    if (page >= 0 && page < t.dialogs.size())
        for (const auto& other : t.dialogs[page].controls)
            top = std::max(top, other.rect.bottom() + 8);
    c.rect = QRectF(QPointF(8, top), controlSize(kind));
    switch (kind) {
    case ControlKind::Label:
    case ControlKind::CheckBox:
    case ControlKind::RadioGroup:
        c.caption = c.name;
        break;
    case ControlKind::Button:
        c.caption = QStringLiteral("ОК");
        c.modalResult = ModalResult::Ok;
        break;
    default:
        break;
    }
    return c;
}

} // namespace svod::engine::editing
