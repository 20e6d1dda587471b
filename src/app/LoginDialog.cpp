#include "app/LoginDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/MessageConventions.h"

namespace svod::app {

LoginDialog::LoginDialog(const QString& database, const QString& user, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("LoginDialog"));
    setWindowTitle(QStringLiteral("Вход в базу данных"));
    auto* form = new QFormLayout(this);
    auto* db = new QLabel(database, this);
    db->setWordWrap(true);
    form->addRow(QStringLiteral("База данных:"), db);
    user_ = new QLineEdit(user, this);
    user_->setObjectName(QStringLiteral("UserEdit"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("PasswordEdit"));
    password_->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Пользователь:"), user_);
    form->addRow(QStringLiteral("Пароль:"), password_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    if (!user.isEmpty())
        password_->setFocus();
}

Credentials LoginDialog::credentials() const {
    return {user_->text(), password_->text()};
}

std::optional<Credentials> LoginDialog::ask(const QString& database, const QString& user, QWidget* parent) {
    LoginDialog dialog(database, user, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.credentials();
}

} // namespace svod::app
