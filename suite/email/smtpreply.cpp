#include "suite/email/smtpreply.h"
#include "suite/email/mimetext.h"
#include <cctype>

namespace Email {
namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        size_t end = i;
        while (end < s.size() && s[end] != ' ' && s[end] != '\t') ++end;
        if (end > i) words.push_back(s.substr(i, end - i));
        i = end;
    }
    return words;
}

// "5.1.1 " and the like at the start of a line.
size_t EnhancedCodeLength(std::string_view s) {
    size_t i = 0;
    for (int part = 0; part < 3; ++part) {
        const size_t start = i;
        while (i < s.size() && Digit(s[i]) && i - start < 3) ++i;
        if (i == start) return 0;
        if (part < 2) {
            if (i >= s.size() || s[i] != '.') return 0;
            ++i;
        }
    }
    if (i < s.size() && s[i] != ' ') return 0;
    return i < s.size() ? i + 1 : i;
}

} // namespace

void TSmtpReplyReader::Feed(std::string_view bytes) {
    for (char c : bytes) {
        if (c == '\n') {
            std::string_view line = FPartial;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            TakeLine(line);
            FPartial.clear();
        } else if (FPartial.size() < MaxLineLength) {
            FPartial += c;
        }
    }
}

void TSmtpReplyReader::TakeLine(std::string_view line) {
    int code = 0;
    bool last = true;
    std::string_view text = line;
    if (line.size() >= 3 && line[0] >= '1' && line[0] <= '5' && Digit(line[1]) && Digit(line[2]) &&
        (line.size() == 3 || line[3] == ' ' || line[3] == '-')) {
        code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        last = line.size() == 3 || line[3] == ' ';
        text = line.size() > 4 ? line.substr(4) : std::string_view();
    }
    if (FCurrent.Lines.empty()) FCurrent.Code = code;
    if (FCurrent.Lines.size() < MaxLines) FCurrent.Lines.emplace_back(text);
    // A line without a code ends the reply: nothing that follows can be
    // trusted to belong to it.
    if (last || code == 0) {
        FDone.push_back(std::move(FCurrent));
        FCurrent = TSmtpReply();
    }
}

bool TSmtpReplyReader::Next(TSmtpReply& reply) {
    if (FDone.empty()) return false;
    reply = std::move(FDone.front());
    FDone.pop_front();
    return true;
}

TSmtpCapabilities ReadCapabilities(const TSmtpReply& ehloReply) {
    TSmtpCapabilities caps;
    if (ehloReply.Code != 250) return caps;
    // The first line names the server; each further line is one keyword
    // with its parameters.
    for (size_t i = 1; i < ehloReply.Lines.size(); ++i) {
        const std::vector<std::string_view> words = Words(ehloReply.Lines[i]);
        if (words.empty()) continue;
        const std::string keyword = Upper(words[0]);
        if (keyword == "STARTTLS") {
            caps.StartTls = true;
        } else if (keyword == "AUTH" || keyword.rfind("AUTH=", 0) == 0) {
            caps.Auth = true;
            if (keyword.size() > 5) caps.AuthMechanisms.push_back(keyword.substr(5));
            for (size_t w = 1; w < words.size(); ++w) caps.AuthMechanisms.push_back(Upper(words[w]));
        }
    }
    return caps;
}

std::string ReplyText(const TSmtpReply& reply, size_t maxLength) {
    std::string text;
    for (const std::string& line : reply.Lines) {
        std::string_view rest = line;
        rest.remove_prefix(EnhancedCodeLength(rest));
        for (const std::string_view word : Words(rest)) {
            if (!text.empty()) text += ' ';
            for (char c : word)
                if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) text += c;
        }
    }
    text = CleanUtf8(text);
    if (text.size() > maxLength) {
        size_t cut = maxLength;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
        while (!text.empty() && text.back() == ' ') text.pop_back();
    }
    if (reply.Code != 0) text += (text.empty() ? "(" : " (") + std::to_string(reply.Code) + ")";
    return text;
}

} // namespace Email
