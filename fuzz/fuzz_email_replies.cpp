// What a server says, in any pieces: replies, capabilities, status text.
#include "suite/email/mimetext.h"
#include "suite/email/smtpreply.h"
#include <cstdint>
#include <string>
#include <vector>

using namespace Email;

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

std::vector<TSmtpReply> ReadAll(const std::string& text, size_t piece) {
    TSmtpReplyReader reader;
    std::vector<TSmtpReply> out;
    for (size_t at = 0; at < text.size(); at += piece) {
        reader.Feed(std::string_view(text).substr(at, piece));
        TSmtpReply reply;
        while (reader.Next(reply)) out.push_back(std::move(reply));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = 1 + data[0] % 17;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::vector<TSmtpReply> whole = ReadAll(text, text.size() + 1);
    const std::vector<TSmtpReply> pieces = ReadAll(text, piece);
    Check(whole.size() == pieces.size());
    for (size_t i = 0; i < whole.size(); ++i) {
        const TSmtpReply& r = whole[i];
        Check(r.Code == pieces[i].Code && r.Lines == pieces[i].Lines);
        Check(r.Code == 0 || (r.Code >= 100 && r.Code <= 599));
        Check(!r.Lines.empty() && r.Lines.size() <= TSmtpReplyReader::MaxLines);
        for (const std::string& line : r.Lines) Check(line.size() <= TSmtpReplyReader::MaxLineLength);
        const TSmtpCapabilities caps = ReadCapabilities(r);
        Check(r.Code == 250 || (!caps.StartTls && !caps.Auth));
        const std::string said = ReplyText(r, 80);
        Check(said.size() <= 80 + 6);
        Check(CleanUtf8(said) == said);
        for (unsigned char c : said) Check(c >= 0x20 && c != 0x7F);
    }
    return 0;
}
