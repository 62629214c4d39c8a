#pragma once
// The encodings a message is written in: header words (RFC 2047), folded
// header lines, file-name parameters (RFC 2231), quoted-printable text and
// base64. Every function returns 7-bit text whose lines end in CR LF and
// never carry a bare CR or LF.
#include <string>
#include <string_view>

namespace Email {

// Longest line a header is folded to where it has blanks to fold at; no
// line ever exceeds 998 octets.
constexpr size_t FoldWidth = 78;

// Text with every byte sequence that is not UTF-8 replaced by U+FFFD.
std::string CleanUtf8(std::string_view text);

// A subject as it may stand in a header: a CR LF pair and every other
// control character become one blank each.
std::string SubjectText(std::string_view text);

// Unstructured header text (a subject): kept as it is when it is printable
// ASCII that no reader could take for an encoded word or lose blanks of;
// otherwise one or more UTF-8 encoded words separated by blanks.
std::string EncodeText(std::string_view utf8);

// A display name: atoms as they are, other ASCII as a quoted string,
// anything else as encoded words.
std::string EncodePhrase(std::string_view utf8);

// "Name: Value" followed by CR LF, broken before blanks so that lines stay
// within FoldWidth where the value allows it.
std::string FoldHeader(std::string_view name, std::string_view value);

// "; Name=..." parameters of a Content-Type or Content-Disposition line for
// a file name: quoted when it is short printable ASCII, else RFC 2231
// UTF-8 percent-encoding, split into numbered sections when long. Each
// parameter starts with "; " so FoldHeader may fold before it.
std::string FileNameParameter(std::string_view name, std::string_view utf8);

// Quoted-printable text: CR LF, LF or a lone CR in Text each make one line
// break; lines of at most 76 octets; "." or "From " at the start of a line
// encoded, so no line of the body can end the message or be mistaken for
// an mbox separator. No line break is added at the end.
std::string QuotedPrintable(std::string_view utf8);

// Base64 in lines of 76 characters, each ending in CR LF; appended to Out.
void AppendBase64Lines(std::string& out, std::string_view data);
size_t Base64LinesSize(size_t dataSize);

} // namespace Email
