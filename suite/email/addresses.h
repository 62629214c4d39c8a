#pragma once
// Address lists as the program hands them over: items split at commas outside
// quotes and angle brackets, each an address or "Name <address>". The same
// rules decide what the recipient grid accepts, so they live apart from the
// sending code.
#include <string>
#include <string_view>
#include <vector>

namespace Email {

// Longest address taken: what an SMTP path can carry.
constexpr size_t MaxAddressLength = 254;

struct TMailbox {
    std::string Name;     // display name, unquoted; may be empty
    std::string Address;  // local@domain
};

// Items of List, trimmed of blanks; empty items are left out.
std::vector<std::string> SplitAddressList(std::string_view list);

// One "@", a non-empty local part of printable ASCII, a domain of letters,
// digits, hyphens and dots with no empty label; no blank, comma, semicolon,
// double quote, backslash or bracket of any kind anywhere (they would need
// quoting); at most MaxAddressLength octets.
bool IsValidAddress(std::string_view address);

// "address", "<address>", "Name <address>" or "\"Name\" <address>". False
// for anything else, for an invalid address and for a control character
// anywhere in the item (it could start a header of its own).
bool ParseMailbox(std::string_view item, TMailbox& out);

} // namespace Email
