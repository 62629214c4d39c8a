#pragma once
// Reading what an SMTP server says: replies of one or more lines ("250-..."
// continued, "250 ..." last), the capabilities an EHLO reply lists, and a
// reply turned into words fit for a status line. The sender watches the
// dialogue through this to tell which step failed and why.
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace Email {

struct TSmtpReply {
    int Code = 0;                    // 100..599; 0 when a line had no code
    std::vector<std::string> Lines;  // the text after each line's code
};

class TSmtpReplyReader {
public:
    // Limits that keep a hostile server from growing the reader without end:
    // longer lines are cut, further lines of one reply dropped.
    static constexpr size_t MaxLineLength = 1024;
    static constexpr size_t MaxLines = 64;

    // Bytes as they arrive, in any pieces; complete replies queue up.
    void Feed(std::string_view bytes);
    // The oldest complete reply; false when there is none.
    bool Next(TSmtpReply& reply);

private:
    void TakeLine(std::string_view line);

    std::string FPartial;
    TSmtpReply FCurrent;
    std::deque<TSmtpReply> FDone;
};

struct TSmtpCapabilities {
    bool StartTls = false;
    bool Auth = false;
    std::vector<std::string> AuthMechanisms;  // upper case
};

// What a 250 reply to EHLO offers; nothing for any other reply.
TSmtpCapabilities ReadCapabilities(const TSmtpReply& ehloReply);

// The reply's text on one line: its lines joined by blanks, an enhanced
// status code ("5.1.1") dropped, control characters left out and invalid
// UTF-8 replaced, cut to at most MaxLength octets, followed by the code in
// brackets.
std::string ReplyText(const TSmtpReply& reply, size_t maxLength = 200);

} // namespace Email
