#pragma once
// Where the upload library sends its requests, and the transport rule it
// holds to: HTTPS unless the server is on this computer (or plain HTTP was
// allowed), HTTP(S) only.
#include <QByteArray>
#include <QString>
#include <cstdint>

struct sockaddr;

struct TServerAddress {
    bool Https = true;
    QString Host;       // a name or an IP literal, without brackets
    int Port = 0;
    QByteArray Base;    // the path prefix, "" or "/prefix" (encoded, no trailing "/")
    // Plain HTTP allowed only because the host is loopback: every address
    // it resolves to must be loopback too.
    bool LoopbackOnly = false;

    // The address of Path ("/api/login"), under the prefix.
    QByteArray Url(const QByteArray& path) const;
};

// Reads Server ("host", "https://host[:port][/prefix]" or http://) and Port
// into Address; UploadOK or the code that refuses it (UploadBadServer,
// UploadBadScheme, UploadPlainHTTPRefused). A port in Server wins over Port.
uint8_t ParseServerAddress(const QString& server, int port, bool allowPlainHttp, TServerAddress& address);
// localhost, 127.0.0.0/8 or ::1 written as such.
bool IsLoopbackHost(const QString& host);
// An IPv4 or IPv6 socket address in the loopback range (IPv4-mapped too).
bool IsLoopbackAddress(const sockaddr* address);
