#include "suite/upload/serveraddress.h"
#include "suite/upload/upload.h"

#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

bool IsHostNameChar(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
           c == u'.';
}

// Host as an IP literal, written into Address; false for a name.
bool ParseLiteral(const QString& host, sockaddr_storage& address) {
    const QByteArray text = host.toLatin1();
    address = {};
    auto* in = reinterpret_cast<sockaddr_in*>(&address);
    if (inet_pton(AF_INET, text.constData(), &in->sin_addr) == 1) {
        in->sin_family = AF_INET;
        return true;
    }
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (inet_pton(AF_INET6, text.constData(), &in6->sin6_addr) == 1) {
        in6->sin6_family = AF_INET6;
        return true;
    }
    return false;
}

} // namespace

QByteArray TServerAddress::Url(const QByteArray& path) const {
    QByteArray host = Host.toLatin1();
    if (host.contains(':')) host = '[' + host + ']';
    return (Https ? "https://" : "http://") + host + ':' + QByteArray::number(Port) + Base + path;
}

bool IsLoopbackHost(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    sockaddr_storage address;
    return ParseLiteral(host, address) && IsLoopbackAddress(reinterpret_cast<const sockaddr*>(&address));
}

bool IsLoopbackAddress(const sockaddr* address) {
    if (!address) return false;
    if (address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        return (ntohl(in->sin_addr.s_addr) >> 24) == 127;
    }
    if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        if (IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr)) return true;
        return IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr) && in6->sin6_addr.s6_addr[12] == 127;
    }
    return false;
}

uint8_t ParseServerAddress(const QString& server, int port, bool allowPlainHttp, TServerAddress& address) {
    address = {};
    const QString text = server.trimmed();
    if (text.isEmpty()) return UploadBadServer;
    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    // A bare name is a host reached over HTTPS; "name:8443" too, which a
    // URL parser would take for a scheme.
    const QUrl url(schemeEnd < 0 ? QLatin1String("https://") + text : text, QUrl::StrictMode);
    if (schemeEnd >= 0) {
        const QString scheme = text.left(schemeEnd).toLower();
        if (scheme != QLatin1String("https") && scheme != QLatin1String("http")) return UploadBadScheme;
    }
    if (!url.isValid() || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment()) return UploadBadServer;
    address.Https = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    address.Host = url.host(QUrl::FullyEncoded);
    if (address.Host.isEmpty()) return UploadBadServer;
    sockaddr_storage literal;
    if (!ParseLiteral(address.Host, literal)) {
        for (QChar c : address.Host)
            if (!IsHostNameChar(c)) return UploadBadServer;
    }
    address.Port = url.port(port);
    if (address.Port < 1 || address.Port > 65535) return UploadBadServer;
    QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    while (path.endsWith('/')) path.chop(1);
    if (!path.isEmpty() && !path.startsWith('/')) return UploadBadServer;
    address.Base = path;
    if (!address.Https && !allowPlainHttp) {
        if (!IsLoopbackHost(address.Host)) return UploadPlainHTTPRefused;
        address.LoopbackOnly = true;
    }
    return UploadOK;
}
