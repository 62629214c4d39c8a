#include "suite/email/message.h"
#include "suite/email/mimetext.h"
#include <random>

namespace Email {
namespace {

std::string MailboxList(const std::vector<TMailbox>& boxes) {
    std::string out;
    for (const TMailbox& box : boxes) {
        if (!out.empty()) out += ", ";
        if (box.Name.empty()) {
            out += box.Address;
        } else {
            out += EncodePhrase(box.Name);
            out += " <" + box.Address + '>';
        }
    }
    return out;
}

std::string Domain(const std::string& address) {
    const size_t at = address.find('@');
    return at == std::string::npos ? std::string("localhost") : address.substr(at + 1);
}

} // namespace

std::string DateText(std::time_t when) {
    static const char* const Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    localtime_r(&when, &local);
    const long offset = local.tm_gmtoff / 60;
    const long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", Days[local.tm_wday % 7],
                  local.tm_mday, Months[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec, offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

std::string RandomHex(size_t digits) {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    static const char Hex[] = "0123456789abcdef";
    std::string out;
    while (out.size() < digits) {
        uint64_t v = generator();
        for (int i = 0; i < 16 && out.size() < digits; ++i, v >>= 4) out += Hex[v & 15];
    }
    return out;
}

std::string NewBoundary() { return "=_Lumora_" + RandomHex(24); }

std::string ComposeMessage(const TMessage& m) {
    const std::string body = QuotedPrintable(m.Body);
    size_t size = 2048 + body.size();
    for (const TAttachment& a : m.Attachments) size += 512 + Base64LinesSize(a.Data.size());
    std::string out;
    out.reserve(size);

    out += FoldHeader("Date", DateText(m.Date));
    out += FoldHeader("Message-ID", '<' + (m.MessageId.empty() ? RandomHex(32) + '@' + Domain(m.From.Address)
                                                                : m.MessageId) + '>');
    out += FoldHeader("From", MailboxList({m.From}));
    if (!m.To.empty()) out += FoldHeader("To", MailboxList(m.To));
    if (!m.Cc.empty()) out += FoldHeader("Cc", MailboxList(m.Cc));
    out += FoldHeader("Subject", EncodeText(SubjectText(m.Subject)));
    out += "MIME-Version: 1.0\r\n";
    out += FoldHeader("Content-Type", "multipart/mixed; boundary=\"" + m.Boundary + '"');
    out += "\r\nThis is a message in MIME format.\r\n";

    const std::string delimiter = "\r\n--" + m.Boundary + "\r\n";
    out += delimiter;
    out += "Content-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    out += body;
    for (const TAttachment& a : m.Attachments) {
        out += delimiter;
        out += FoldHeader("Content-Type", "image/jpeg" + FileNameParameter("name", a.Name));
        out += "Content-Transfer-Encoding: base64\r\n";
        out += FoldHeader("Content-Disposition", "attachment" + FileNameParameter("filename", a.Name));
        out += "\r\n";
        AppendBase64Lines(out, a.Data);
        // The base64 lines end in CR LF already, and that line end belongs
        // to the delimiter that follows.
        if (!a.Data.empty()) out.resize(out.size() - 2);
    }
    out += "\r\n--" + m.Boundary + "--\r\n";
    return out;
}

} // namespace Email
