#include "windows/LogDetailWindow.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "db/Error.h"
#include "directory/ReceptionLog.h"
#include "directory/TableValues.h"
#include "reception/Interaction.h"

namespace svod::windows {

LogDetailWindow::LogDetailWindow(db::Connection& connection, reception::Interaction& interaction,
                                 ErrorDisplay showError, QWidget* parent)
    : QWidget(parent), connection_(connection), interaction_(interaction), showError_(std::move(showError)) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Подробно"));
    resize(486, 369);
    auto* layout = new QVBoxLayout(this);
    auto* values = new QGridLayout;
    date_ = addValue(values, 0, QStringLiteral("Дата/время:"), QStringLiteral("DBText1"));
    branch_ = addValue(values, 1, QStringLiteral("Филиал:"), QStringLiteral("DBText2"));
    status_ = addValue(values, 2, QStringLiteral("Статус:"), QStringLiteral("DBText3"));
    id_ = addValue(values, 3, QStringLiteral("Внутренний код:"), QStringLiteral("DBText4"));
    values->setColumnStretch(1, 1);
    layout->addLayout(values);

    message_ = new QTextEdit(this);
    message_->setObjectName(QStringLiteral("DBRichEdit1"));
    message_->setAccessibleName(QStringLiteral("Сообщение"));
    message_->setReadOnly(true);
    message_->setLineWrapMode(QTextEdit::NoWrap);
    message_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    message_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont mono(QStringLiteral("Courier New"), 8);
    mono.setStyleHint(QFont::Monospace);
    mono.setFixedPitch(true);
    if (!QFontInfo(mono).fixedPitch())
        mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    message_->setFont(mono);
    layout->addWidget(message_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    close_ = new QPushButton(QStringLiteral("Закрыть"), this);
    close_->setObjectName(QStringLiteral("BitBtn1"));
    close_->setFlat(true);
    connect(close_, &QPushButton::clicked, this, [this] {
        // Inside a child window the frame is what closes.
        if (parentWidget() && parentWidget()->inherits("QMdiSubWindow"))
            parentWidget()->close();
        else
            close();
    });
    buttons->addWidget(close_);
    layout->addLayout(buttons);
}

QLabel* LogDetailWindow::addValue(QGridLayout* grid, int row, const QString& caption, const QString& name) {
    auto* label = new QLabel(caption, this);
    auto* value = new QLabel(this);
    value->setObjectName(name);
    value->setAccessibleName(QString(caption).remove(u':'));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = value->font();
    bold.setBold(true);
    value->setFont(bold);
    label->setBuddy(value);
    grid->addWidget(label, row, 0);
    grid->addWidget(value, row, 1);
    return value;
}

void LogDetailWindow::ViewID(const QString& id) {
    interaction_.setBusy(true);
    std::optional<directory::LogDetail> detail;
    try {
        detail = directory::readLogDetail(connection_, id);
    } catch (const std::exception& e) {
        interaction_.setBusy(false);
        const QString message = QString::fromUtf8(e.what());
        if (showError_)
            showError_(message);
        return;
    }
    interaction_.setBusy(false);
    if (!detail) {
        for (QLabel* label : {date_, branch_, status_, id_})
            label->clear();
        message_->clear();
        return;
    }
    date_->setText(directory::displayText(detail->dd));
    branch_->setText(detail->branch);
    status_->setText(directory::displayText(detail->status));
    id_->setText(directory::displayText(detail->id));
    message_->setPlainText(detail->message);
}

QString LogDetailWindow::dateText() const {
    return date_->text();
}
QString LogDetailWindow::branchText() const {
    return branch_->text();
}
QString LogDetailWindow::statusText() const {
    return status_->text();
}
QString LogDetailWindow::idText() const {
    return id_->text();
}
QString LogDetailWindow::messageText() const {
    return message_->toPlainText();
}

} // namespace svod::windows
