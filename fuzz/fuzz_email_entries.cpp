// Address lists as typed: the splitter, the item parser and the address
// check, and a named item written back the way the message writes it.
#include "suite/email/addresses.h"
#include "suite/email/mimetext.h"
#include <cstdint>
#include <cctype>
#include <cstring>
#include <string>

using namespace Email;

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// The address rules, restated plainly as the oracle.
bool LooksLikeAddress(const std::string& a) {
    const size_t at = a.find('@');
    if (at == 0 || at == std::string::npos || a.find('@', at + 1) != std::string::npos || at + 1 == a.size())
        return false;
    for (unsigned char c : a)
        if (c < 0x21 || c >= 0x7F || std::strchr(",;\"<>[]()\\", c)) return false;
    for (size_t i = at + 1; i < a.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(a[i])) && a[i] != '-' && a[i] != '.') return false;
    return a.size() <= MaxAddressLength;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string list(reinterpret_cast<const char*>(data), size);
    for (const std::string& item : SplitAddressList(list)) {
        Check(!item.empty() && item.front() != ' ' && item.back() != ' ');
        TMailbox box;
        if (IsValidAddress(item)) Check(ParseMailbox(item, box) && box.Address == item && box.Name.empty());
        if (!ParseMailbox(item, box)) continue;
        Check(IsValidAddress(box.Address) && LooksLikeAddress(box.Address));
        for (unsigned char c : box.Name) Check(c >= 0x20 && c != 0x7F);
        // A name the message writes as an atom run or a quoted string reads
        // back the same, also from inside a list.
        const std::string phrase = EncodePhrase(box.Name);
        if (box.Name.empty() || phrase.rfind("=?UTF-8?B?", 0) == 0) continue;
        const std::string written = phrase + " <" + box.Address + ">";
        const auto items = SplitAddressList(written + ", " + written);
        Check(items.size() == 2 && items[0] == written);
        TMailbox again;
        Check(ParseMailbox(items[1], again) && again.Address == box.Address);
        Check(again.Name == CleanUtf8(box.Name));
    }
    return 0;
}
