#include "suite/upload/replies.h"
#include "suite/upload/upload.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringView>

namespace {

bool ReadObject(const QByteArray& body, QJsonObject& object) {
    if (body.size() > UploadMaxReplyBytes) return false;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
    object = doc.object();
    return true;
}

bool ReadToken(const QJsonObject& object, const char* key, int maxChars, std::string& out) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString()) return false;
    out = value.toString().toStdString();
    return IsTokenText(out, maxChars);
}

bool ReadName(const QJsonObject& object, const char* key, std::string& out) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString()) return false;
    const QString text = value.toString();
    if (!QStringView(text).isValidUtf16()) return false;
    const QByteArray utf8 = text.toUtf8();
    if (!IsValidName(utf8)) return false;
    out = utf8.toStdString();
    return true;
}

} // namespace

bool IsTokenText(const std::string& text, int maxChars) {
    if (text.empty() || text.size() > size_t(maxChars)) return false;
    for (char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                        c == '_';
        if (!ok) return false;
    }
    return true;
}

bool IsValidName(const QByteArray& utf8) {
    if (utf8.isEmpty()) return false;
    const QString text = QString::fromUtf8(utf8);
    // A round trip that changes the bytes had invalid UTF-8 in it.
    if (text.toUtf8() != utf8) return false;
    const QList<uint> chars = text.toUcs4();
    if (chars.size() > UploadMaxNameChars) return false;
    for (uint c : chars) {
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFD || (c >= 0xD800 && c <= 0xDFFF)) return false;
    }
    return true;
}

bool ParseLoginReply(const QByteArray& body, TLoginReply& reply) {
    QJsonObject object;
    if (!ReadObject(body, object)) return false;
    const QJsonValue id = object.value(QLatin1String("customer_id"));
    if (!id.isString()) return false;
    const QByteArray text = id.toString().toUtf8();
    if (text.isEmpty() || text.size() > UploadMaxCustomerIDChars) return false;
    for (char c : text)
        if (c < 0x21 || c > 0x7E) return false;
    reply.CustomerID = text.toStdString();
    return ReadToken(object, "token", 128, reply.Token);
}

bool ParseShoeboxListReply(const QByteArray& body, std::vector<TShoeboxEntry>& shoeboxes) {
    shoeboxes.clear();
    QJsonObject object;
    if (!ReadObject(body, object)) return false;
    const QJsonValue list = object.value(QLatin1String("shoeboxes"));
    if (!list.isArray()) return false;
    const QJsonArray array = list.toArray();
    if (array.size() > UploadMaxShoeboxes) return false;
    QSet<QByteArray> seen;
    for (const QJsonValue& item : array) {
        if (!item.isObject()) return false;
        TShoeboxEntry entry;
        if (!ReadToken(item.toObject(), "id", 64, entry.Id) || !ReadName(item.toObject(), "name", entry.Name))
            return false;
        const QByteArray id = QByteArray::fromStdString(entry.Id);
        if (seen.contains(id)) return false;
        seen.insert(id);
        shoeboxes.push_back(std::move(entry));
    }
    return true;
}

bool ParseShoeboxReply(const QByteArray& body, TShoeboxReply& reply) {
    QJsonObject object;
    return ReadObject(body, object) && ReadToken(object, "id", 64, reply.Id) &&
           ReadName(object, "name", reply.Name) && ReadToken(object, "page", UploadMaxResultTextChars, reply.Page);
}

bool ParsePhotoReply(const QByteArray& body, TPhotoReply& reply) {
    QJsonObject object;
    if (!ReadObject(body, object)) return false;
    const QJsonValue seq = object.value(QLatin1String("seq"));
    if (!seq.isDouble() || seq.toDouble() != double(seq.toInt()) || seq.toInt() < 1) return false;
    reply.Seq = seq.toInt();
    return ReadToken(object, "page", UploadMaxResultTextChars, reply.Page);
}

uint8_t CodeForStatus(TRequestKind kind, long status) {
    if (status >= 200 && status <= 299) return UploadOK;
    if (status >= 300 && status <= 399) return UploadRedirected;
    switch (status) {
    case 400:
        return kind == TRequestKind::Shoebox ? UploadBadShoeboxName : UploadRefused;
    case 401: return kind == TRequestKind::Login ? UploadAccountNotFound : UploadNotLoggedIn;
    case 404:
        return kind == TRequestKind::Shoebox || kind == TRequestKind::Photo ? UploadNoShoebox : UploadRefused;
    case 409: return UploadLimitReached;
    case 413: return UploadTooLarge;
    case 415: return UploadNotJpeg;
    case 429: return UploadServerFailed;
    default: break;
    }
    if (status >= 400 && status <= 499) return UploadRefused;
    if (status >= 500 && status <= 599) return UploadServerFailed;
    return UploadInvalidPacket;
}
