// The header encoder and the body's encodings read back: subjects and names
// through folded header lines, file names through their parameters, text
// through quoted-printable. Nothing may carry a bare CR or LF or a line over
// 998 octets, and everything must decode to the (cleaned) input.
#include "suite/email/mimetext.h"
#include <cstdint>
#include <string>
#include <vector>

using namespace Email;

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Base64Decode(const std::string& s) {
    static const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Check(s.size() % 4 == 0);
    std::string out;
    for (size_t i = 0; i < s.size(); i += 4) {
        uint32_t v = 0;
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            const size_t d = digits.find(s[i + k]);
            if (s[i + k] == '=') ++pad;
            else Check(d != std::string::npos && pad == 0);
            v = (v << 6) | (d == std::string::npos ? 0 : uint32_t(d));
        }
        out += char(v >> 16);
        if (pad < 2) out += char((v >> 8) & 255);
        if (pad < 1) out += char(v & 255);
    }
    return out;
}

// Lines of a CR LF text; every line checked for length and stray breaks.
std::vector<std::string> Lines(const std::string& text, size_t limit) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
        Check(lines.back().size() <= limit);
        Check(lines.back().find_first_of("\r\n") == std::string::npos);
    }
    Check(start == text.size());
    return lines;
}

// The value of a folded header, unfolded.
std::string Unfold(const std::string& folded, const std::string& name) {
    std::string value;
    for (const std::string& line : Lines(folded, 998)) value += line;
    Check(value.rfind(name + ": ", 0) == 0);
    return value.substr(name.size() + 2);
}

// Encoded words separated by blanks, or plain text.
std::string DecodeWords(const std::string& value) {
    if (value.rfind("=?UTF-8?B?", 0) != 0) return value;
    std::string out;
    size_t at = 0;
    while (at < value.size()) {
        size_t end = value.find(' ', at);
        if (end == std::string::npos) end = value.size();
        const std::string word = value.substr(at, end - at);
        Check(word.size() <= 75 && word.rfind("=?UTF-8?B?", 0) == 0 && word.substr(word.size() - 2) == "?=");
        out += Base64Decode(word.substr(10, word.size() - 12));
        at = end + 1;
    }
    return out;
}

std::string DecodeQuotedPrintable(const std::string& qp) {
    std::string out;
    const std::vector<std::string> lines = Lines(qp + "\r\n", 76);
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        Check(line.empty() || (line[0] != '.' && line.rfind("From ", 0) != 0));
        Check(line.empty() || (line.back() != ' ' && line.back() != '\t'));
        bool soft = false;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] != '=') {
                Check(static_cast<unsigned char>(line[i]) < 0x7F);
                out += line[i];
            } else if (i + 1 == line.size()) {
                soft = true;
            } else {
                Check(i + 2 < line.size() && Hex(line[i + 1]) >= 0 && Hex(line[i + 2]) >= 0);
                out += char(Hex(line[i + 1]) * 16 + Hex(line[i + 2]));
                i += 2;
            }
        }
        if (!soft && n + 1 < lines.size()) out += "\r\n";
    }
    return out;
}

std::string NormalBreaks(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    const std::string subject = CleanUtf8(SubjectText(input));
    Check(DecodeWords(Unfold(FoldHeader("Subject", EncodeText(SubjectText(input))), "Subject")) == subject);

    std::string name = Unfold(FoldHeader("From", EncodePhrase(subject)), "From");
    if (name.size() >= 2 && name.front() == '"') {
        std::string unquoted;
        for (size_t i = 1; i + 1 < name.size(); ++i) unquoted += name[i] == '\\' ? name[++i] : name[i];
        name = unquoted;
    }
    Check(DecodeWords(name) == subject);

    const std::string disposition = FoldHeader("Content-Disposition", "attachment" + FileNameParameter("filename", input));
    Lines(disposition, 78);
    std::string fileName;
    const std::string params = Unfold(disposition, "Content-Disposition");
    // Parameters are separated by "; "; a quoted name is the only one.
    for (size_t at = params.find("; "); at != std::string::npos;) {
        const size_t next = params.find("; ", at + 2);
        const bool quoted = params.compare(at + 2, 10, "filename=\"") == 0;
        std::string value = params.substr(at + 2, (quoted ? params.size() : next) - at - 2);
        at = quoted ? std::string::npos : next;
        value = value.substr(value.find('=') + 1);
        if (quoted) {
            fileName += value.substr(1, value.size() - 2);
            continue;
        }
        if (value.rfind("UTF-8''", 0) == 0) value = value.substr(7);
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] != '%') {
                fileName += value[i];
                continue;
            }
            Check(i + 2 < value.size() && Hex(value[i + 1]) >= 0 && Hex(value[i + 2]) >= 0);
            fileName += char(Hex(value[i + 1]) * 16 + Hex(value[i + 2]));
            i += 2;
        }
    }
    Check(fileName == CleanUtf8(input));

    Check(DecodeQuotedPrintable(QuotedPrintable(input)) == NormalBreaks(CleanUtf8(input)));
    return 0;
}
