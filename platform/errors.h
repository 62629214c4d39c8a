#pragma once
#include <QString>
#include <exception>

// An error meant for the user: it carries a readable text. Every part of the
// program raises these (or a subclass) and lets the caller decide what is shown.
class EError : public std::exception {
public:
    explicit EError(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toUtf8()) {}
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};
