#pragma once

#include <QString>
#include <stdexcept>

namespace svod {

// An error that ends a command; what() and message() carry the text the user sees.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};

// Errors raised by the database server or driver, with the server's own message.
class DbError : public Error {
public:
    using Error::Error;
};

} // namespace svod
