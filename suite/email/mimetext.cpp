#include "suite/email/mimetext.h"
#include <cstdint>
#include <cstring>

namespace Email {
namespace {

const char Base64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char HexDigits[] = "0123456789ABCDEF";

// Bytes of raw text per encoded word: 39 bytes make 52 base64 characters,
// so with "=?UTF-8?B?" and "?=" a word still fits the first line of a
// folded header within the 76 octets RFC 2047 allows such lines.
constexpr size_t WordBytes = 39;
// Longest run without a blank that is left unencoded, so a folded line
// stays short.
constexpr size_t LongestPlainRun = 60;
// Percent-encoded characters per file-name section, for the same reason.
constexpr size_t SectionLength = 50;

// Length of the UTF-8 sequence at S[I], 0 when it is not one.
size_t SequenceLength(std::string_view s, size_t i) {
    const unsigned char c = s[i];
    if (c < 0x80) return 1;
    size_t n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
    else return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const unsigned char d = s[i + k];
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

bool Printable(unsigned char c) { return c >= 0x20 && c < 0x7F; }

bool Atext(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("!#$%&'*+-/=?^_`{|}~", c) != nullptr;
}

// Printable ASCII, no leading or trailing blank, nothing a reader would
// decode, and no run too long to fold.
bool PlainEnough(std::string_view s, bool (*allowed)(unsigned char)) {
    if (s.empty()) return true;
    if (s.front() == ' ' || s.back() == ' ' || s.find("=?") != std::string_view::npos) return false;
    // Runs of blanks count too: a line is folded only in front of them.
    size_t run = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (!allowed(static_cast<unsigned char>(s[i]))) return false;
        run = i > 0 && (s[i] == ' ') == (s[i - 1] == ' ') ? run + 1 : 1;
        if (run > LongestPlainRun) return false;
    }
    return true;
}

// Writes the base64 form of N bytes at P to O; returns the end.
char* EncodeBase64(char* o, const unsigned char* p, size_t n) {
    for (; n >= 3; p += 3, n -= 3) {
        const uint32_t v = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        *o++ = Base64Digits[v >> 18];
        *o++ = Base64Digits[(v >> 12) & 63];
        *o++ = Base64Digits[(v >> 6) & 63];
        *o++ = Base64Digits[v & 63];
    }
    if (n > 0) {
        const uint32_t v = (uint32_t(p[0]) << 16) | (n > 1 ? uint32_t(p[1]) << 8 : 0);
        *o++ = Base64Digits[v >> 18];
        *o++ = Base64Digits[(v >> 12) & 63];
        *o++ = n > 1 ? Base64Digits[(v >> 6) & 63] : '=';
        *o++ = '=';
    }
    return o;
}

size_t Base64Size(size_t n) { return (n + 2) / 3 * 4; }

std::string EncodedWords(std::string_view utf8) {
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        size_t end = i;
        while (end < utf8.size()) {
            const size_t n = SequenceLength(utf8, end);
            if (end + n - i > WordBytes) break;
            end += n;
        }
        if (!out.empty()) out += ' ';
        out += "=?UTF-8?B?";
        const size_t at = out.size();
        out.resize(at + Base64Size(end - i));
        EncodeBase64(out.data() + at, reinterpret_cast<const unsigned char*>(utf8.data() + i), end - i);
        out += "?=";
        i = end;
    }
    return out;
}

bool AttrChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("!#$&+-.^_`|~", c) != nullptr;
}

bool PlainFileNameChar(unsigned char c) { return Printable(c) && c != ' ' && c != '"' && c != '\\'; }

} // namespace

std::string CleanUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t n = SequenceLength(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.data() + i, n);
            i += n;
        }
    }
    return out;
}

std::string SubjectText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out += c < 0x20 || c == 0x7F ? ' ' : char(c);
    }
    return out;
}

std::string EncodeText(std::string_view utf8) {
    const std::string clean = CleanUtf8(utf8);
    if (PlainEnough(clean, Printable)) return clean;
    return EncodedWords(clean);
}

std::string EncodePhrase(std::string_view utf8) {
    const std::string clean = CleanUtf8(utf8);
    if (PlainEnough(clean, [](unsigned char c) { return c == ' ' || Atext(c); })) return clean;
    if (PlainEnough(clean, Printable)) {
        std::string out = "\"";
        for (char c : clean) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        return out + '"';
    }
    return EncodedWords(clean);
}

std::string FoldHeader(std::string_view name, std::string_view value) {
    std::string out;
    std::string line(name);
    line += ':';
    // Each piece is a run of blanks and the run of other characters after
    // it; a line is only ever broken in front of a piece.
    size_t i = 0;
    bool first = true;
    while (i < value.size() || first) {
        size_t end = i;
        while (end < value.size() && value[end] == ' ') ++end;
        while (end < value.size() && value[end] != ' ') ++end;
        std::string piece = (first ? " " : "") + std::string(value.substr(i, end - i));
        const bool blanksOnly = piece.find_first_not_of(' ') == std::string::npos;
        if (!first && !blanksOnly && line.size() + piece.size() > FoldWidth) {
            out += line;
            out += "\r\n";
            line.clear();
        }
        line += piece;
        first = false;
        i = end;
    }
    out += line;
    out += "\r\n";
    return out;
}

std::string FileNameParameter(std::string_view name, std::string_view utf8) {
    const std::string clean = CleanUtf8(utf8);
    bool plain = clean.size() <= LongestPlainRun;
    for (unsigned char c : clean) plain = plain && PlainFileNameChar(c);
    if (plain) return "; " + std::string(name) + "=\"" + clean + '"';

    std::string encoded;
    for (unsigned char c : clean) {
        if (AttrChar(c)) {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += HexDigits[c >> 4];
            encoded += HexDigits[c & 15];
        }
    }
    if (encoded.size() <= SectionLength) return "; " + std::string(name) + "*=UTF-8''" + encoded;
    std::string out;
    size_t at = 0;
    for (int section = 0; at < encoded.size(); ++section) {
        size_t end = std::min(encoded.size(), at + SectionLength);
        // Never cut a %XX triple.
        if (end < encoded.size() && encoded[end - 1] == '%') end -= 1;
        else if (end < encoded.size() && end >= 2 && encoded[end - 2] == '%') end -= 2;
        out += "; " + std::string(name) + '*' + std::to_string(section) + "*=" + (section == 0 ? "UTF-8''" : "") +
               encoded.substr(at, end - at);
        at = end;
    }
    return out;
}

std::string QuotedPrintable(std::string_view utf8) {
    const std::string text = CleanUtf8(utf8);
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    size_t col = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
            col = 0;
            continue;
        }
        const bool lineEnd = i + 1 == text.size() || text[i + 1] == '\r' || text[i + 1] == '\n';
        auto literal = [&](size_t atCol) {
            if (c == ' ' || c == '\t') return !lineEnd;
            if (atCol == 0 && (c == '.' || text.compare(i, 5, "From ") == 0)) return false;
            return c > 32 && c < 127 && c != '=';
        };
        size_t width = literal(col) ? 1 : 3;
        if (col + width > 75) {
            out += "=\r\n";
            col = 0;
            width = literal(0) ? 1 : 3;
        }
        if (width == 1) {
            out += char(c);
        } else {
            out += '=';
            out += HexDigits[c >> 4];
            out += HexDigits[c & 15];
        }
        col += width;
    }
    return out;
}

size_t Base64LinesSize(size_t dataSize) {
    const size_t full = dataSize / 57, rest = dataSize % 57;
    return full * 78 + (rest ? Base64Size(rest) + 2 : 0);
}

void AppendBase64Lines(std::string& out, std::string_view data) {
    const size_t start = out.size();
    out.resize(start + Base64LinesSize(data.size()));
    char* o = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    for (size_t n = data.size(); n > 0;) {
        const size_t take = n < 57 ? n : 57;
        o = EncodeBase64(o, p, take);
        *o++ = '\r';
        *o++ = '\n';
        p += take;
        n -= take;
    }
}

} // namespace Email
