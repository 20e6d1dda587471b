#include "reports/RecordNavigator.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace svod::reports {

namespace {
struct CommandLook {
    RecordNavigator::Command command;
    const char* objectName;
    const char16_t* hint;
    QStyle::StandardPixmap icon;
};

const CommandLook commandLooks[] = {
    {RecordNavigator::Command::First, "nbFirst", u"Первая запись", QStyle::SP_MediaSkipBackward},
    {RecordNavigator::Command::Prior, "nbPrior", u"Предыдущая запись", QStyle::SP_MediaSeekBackward},
    {RecordNavigator::Command::Next, "nbNext", u"Следующая запись", QStyle::SP_MediaSeekForward},
    {RecordNavigator::Command::Last, "nbLast", u"Последняя запись", QStyle::SP_MediaSkipForward},
    {RecordNavigator::Command::Insert, "nbInsert", u"Вставить запись", QStyle::SP_FileDialogNewFolder},
    {RecordNavigator::Command::Delete, "nbDelete", u"Удалить запись", QStyle::SP_TrashIcon},
    {RecordNavigator::Command::Edit, "nbEdit", u"Изменить запись", QStyle::SP_FileDialogDetailedView},
    {RecordNavigator::Command::Post, "nbPost", u"Сохранить изменения", QStyle::SP_DialogApplyButton},
    {RecordNavigator::Command::Cancel, "nbCancel", u"Отменить изменения", QStyle::SP_DialogCancelButton},
    {RecordNavigator::Command::Refresh, "nbRefresh", u"Обновить данные", QStyle::SP_BrowserReload},
};
} // namespace

RecordNavigator::RecordNavigator(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Навигатор записей"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const CommandLook& look : commandLooks) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(look.objectName));
        button->setAutoRaise(true);
        button->setIcon(style()->standardIcon(look.icon));
        const QString hint = QString::fromUtf16(look.hint);
        button->setToolTip(hint);
        button->setAccessibleName(hint);
        button->setFocusPolicy(Qt::TabFocus);
        const Command command = look.command;
        connect(button, &QToolButton::clicked, this, [this, command] { Q_EMIT commandChosen(command); });
        layout->addWidget(button);
        buttons_.insert(command, button);
    }
}

void RecordNavigator::setCommandEnabled(Command command, bool enabled) {
    if (QToolButton* b = buttons_.value(command))
        b->setEnabled(enabled);
}

} // namespace svod::reports
