#pragma once
// The test SMTP server (support/smtp_sink.py over Debian's aiosmtpd) on
// 127.0.0.1 and a port the system picks, for as long as the object lives.
// Accepted messages land in Folder() as N.eml and N.json (what Python's
// e-mail parser reads from them); sign-in attempts in auth.jsonl.
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class TSmtpSink {
public:
    // Options as smtp_sink.py takes them ("--auth", "--refuse", "x@y", ...).
    explicit TSmtpSink(const QStringList& options = {});
    ~TSmtpSink();
    TSmtpSink(const TSmtpSink&) = delete;
    TSmtpSink& operator=(const TSmtpSink&) = delete;

    int Port() const { return FPort; }  // 0 when the server did not start
    QString Folder() const { return FDir.path() + "/"; }
    int MessageCount() const;
    QJsonObject Message(int number) const;  // from 1; empty when absent
    QByteArray Raw(int number) const;
    QByteArray File(const QString& name) const;
    QList<QJsonObject> AuthAttempts() const;
    void Stop();

private:
    QTemporaryDir FDir;
    QProcess FProcess;
    int FPort = 0;
};

// A self-signed certificate for 127.0.0.1 and localhost, made by openssl
// in Folder; false when it could not be made.
bool MakeTestCertificate(const QString& folder, QString& certFile, QString& keyFile);
