#pragma once

#include <QDialog>
#include <optional>

class QLineEdit;

namespace svod::app {

struct Credentials {
    QString user;
    QString password;
};

// The login prompt: user name and password for the connection.
class LoginDialog final : public QDialog {
    Q_OBJECT
public:
    LoginDialog(const QString& database, const QString& user, QWidget* parent = nullptr);
    Credentials credentials() const;
    // Shows the dialog; empty when the user cancels.
    static std::optional<Credentials> ask(const QString& database, const QString& user, QWidget* parent);

private:
    QLineEdit* user_;
    QLineEdit* password_;
};

} // namespace svod::app
