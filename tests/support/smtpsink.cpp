#include "support/smtpsink.h"
#include <QDir>
#include <QFile>
#include <QJsonDocument>

TSmtpSink::TSmtpSink(const QStringList& options) {
    // Debian's own interpreter: that is where python3-aiosmtpd is installed.
    FProcess.setProgram(QStringLiteral("/usr/bin/python3"));
    FProcess.setArguments(QStringList{QStringLiteral(LUMORA_SMTP_SINK), QStringLiteral("--out"), FDir.path()} +
                          options);
    FProcess.setProcessChannelMode(QProcess::SeparateChannels);
    FProcess.start();
    if (!FProcess.waitForStarted(10000)) return;
    while (!FProcess.canReadLine() && FProcess.waitForReadyRead(20000)) {
    }
    FPort = FProcess.readLine().trimmed().toInt();
}

TSmtpSink::~TSmtpSink() { Stop(); }

void TSmtpSink::Stop() {
    if (FProcess.state() == QProcess::NotRunning) return;
    FProcess.kill();
    FProcess.waitForFinished(10000);
}

int TSmtpSink::MessageCount() const {
    return QDir(FDir.path()).entryList({QStringLiteral("*.json")}, QDir::Files).size();
}

QJsonObject TSmtpSink::Message(int number) const {
    return QJsonDocument::fromJson(File(QStringLiteral("%1.json").arg(number))).object();
}

QByteArray TSmtpSink::Raw(int number) const { return File(QStringLiteral("%1.eml").arg(number)); }

QByteArray TSmtpSink::File(const QString& name) const {
    QFile f(Folder() + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QJsonObject> TSmtpSink::AuthAttempts() const {
    QList<QJsonObject> out;
    for (const QByteArray& line : File(QStringLiteral("auth.jsonl")).split('\n'))
        if (!line.isEmpty()) out << QJsonDocument::fromJson(line).object();
    return out;
}

bool MakeTestCertificate(const QString& folder, QString& certFile, QString& keyFile) {
    certFile = folder + "cert.pem";
    keyFile = folder + "key.pem";
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2",
                   "-subj", "/CN=localhost", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost", "-keyout",
                   keyFile, "-out", certFile});
    return openssl.waitForFinished(30000) && openssl.exitCode() == 0 && QFile::exists(certFile);
}
