#pragma once
// The photo service's replies, read and checked against our bounds. A reply
// that is not what the protocol says, or holds more than we take, is refused
// whole (the caller answers UploadInvalidPacket).
#include <QByteArray>
#include <string>
#include <vector>

struct TLoginReply {
    std::string CustomerID;
    std::string Token;
};

struct TShoeboxEntry {
    std::string Id;
    std::string Name;
};

struct TShoeboxReply {
    std::string Id;
    std::string Name;
    std::string Page;   // the page token, the shoebox page's address part
};

struct TPhotoReply {
    int Seq = 0;        // the photo's place in the shoebox, from 1
    std::string Page;
};

bool ParseLoginReply(const QByteArray& body, TLoginReply& reply);
bool ParseShoeboxListReply(const QByteArray& body, std::vector<TShoeboxEntry>& shoeboxes);
bool ParseShoeboxReply(const QByteArray& body, TShoeboxReply& reply);
bool ParsePhotoReply(const QByteArray& body, TPhotoReply& reply);

// The parts of the protocol the server and the client share.
// A shoebox or photo name: 1 to 255 characters, valid UTF-8, no control characters.
bool IsValidName(const QByteArray& utf8);
// A token, ID or page token: 1 to MaxChars of A-Z, a-z, 0-9, "-" and "_".
bool IsTokenText(const std::string& text, int maxChars);

// Which request a status answers, for the code it maps to.
enum class TRequestKind { Login, ShoeboxList, Shoebox, Photo };
// The library's code for an HTTP status (0 for 2xx).
uint8_t CodeForStatus(TRequestKind kind, long status);
