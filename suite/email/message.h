#pragma once
// The message as it goes over the wire: headers, a quoted-printable text
// part and one base64 image/jpeg part per attachment in a multipart/mixed
// body. Built whole before the transfer, so its size is known and a file
// that can't be read stops the send before anything goes out.
#include "suite/email/addresses.h"
#include <ctime>
#include <string>
#include <vector>

namespace Email {

struct TAttachment {
    std::string Name;  // the file's own name, UTF-8
    std::string Data;
};

struct TMessage {
    TMailbox From;
    std::vector<TMailbox> To;
    std::vector<TMailbox> Cc;  // Bcc recipients never appear in the message
    std::string Subject;       // as typed; control characters become blanks
    std::string Body;          // UTF-8, lines ending in CR LF, LF or CR
    std::vector<TAttachment> Attachments;
    std::time_t Date = 0;
    std::string MessageId;     // without the angle brackets
    std::string Boundary;      // must not occur in the parts; see NewBoundary
};

std::string ComposeMessage(const TMessage& message);

// "Tue, 05 Mar 2024 14:03:09 +0100" in the local time zone.
std::string DateText(std::time_t when);
// Random hexadecimal digits for message ids and boundaries.
std::string RandomHex(size_t digits);
// A boundary that cannot occur in quoted-printable or base64 text: both
// use "=" only before hexadecimal digits, a line end or more "=".
std::string NewBoundary();

} // namespace Email
