#include "suite/email/addresses.h"

namespace Email {
namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
    return s;
}

bool Control(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool DomainChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Where the item's "<" outside quotes is, or npos.
size_t AngleOutsideQuotes(std::string_view item) {
    bool quoted = false;
    for (size_t i = 0; i < item.size(); ++i) {
        const char c = item[i];
        if (quoted && c == '\\') {
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '<') {
            return i;
        }
    }
    return std::string_view::npos;
}

// A display name as typed: a quoted string loses its quotes and escapes;
// anything else is taken as it stands, save brackets, which would make the
// item ambiguous.
bool ReadName(std::string_view text, std::string& name) {
    name.clear();
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        for (size_t i = 1; i + 1 < text.size(); ++i) {
            char c = text[i];
            if (c == '\\') {
                if (i + 2 >= text.size()) return false;
                c = text[++i];
            } else if (c == '"') {
                return false;
            }
            name += c;
        }
        name = std::string(Trim(name));
        return true;
    }
    if (text.find_first_of("<>") != std::string_view::npos) return false;
    name = std::string(text);
    return true;
}

} // namespace

std::vector<std::string> SplitAddressList(std::string_view list) {
    std::vector<std::string> items;
    bool quoted = false;
    int angle = 0;
    size_t start = 0;
    auto take = [&](size_t end) {
        const std::string_view item = Trim(list.substr(start, end - start));
        if (!item.empty()) items.emplace_back(item);
        start = end + 1;
    };
    for (size_t i = 0; i < list.size(); ++i) {
        const char c = list[i];
        if (quoted) {
            if (c == '\\') ++i;
            else if (c == '"') quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '<') {
            ++angle;
        } else if (c == '>') {
            if (angle > 0) --angle;
        } else if (c == ',' && angle == 0) {
            take(i);
        }
    }
    if (start <= list.size()) take(list.size());
    return items;
}

bool IsValidAddress(std::string_view address) {
    if (address.empty() || address.size() > MaxAddressLength) return false;
    const size_t at = address.find('@');
    if (at == 0 || at == std::string_view::npos || address.find('@', at + 1) != std::string_view::npos) return false;
    for (size_t i = 0; i < at; ++i) {
        const unsigned char c = address[i];
        if (Control(c) || c >= 0x80 || c == ' ' || c == ',' || c == ';' || c == '"' || c == '<' ||
            c == '>' || c == '(' || c == ')' || c == '[' || c == ']' || c == '\\')
            return false;
    }
    const std::string_view domain = address.substr(at + 1);
    if (domain.empty() || domain.front() == '.' || domain.back() == '.' ||
        domain.find("..") != std::string_view::npos)
        return false;
    for (char c : domain)
        if (!DomainChar(c)) return false;
    return true;
}

bool ParseMailbox(std::string_view item, TMailbox& out) {
    for (unsigned char c : item)
        if (Control(c)) return false;
    item = Trim(item);
    const size_t open = AngleOutsideQuotes(item);
    if (open == std::string_view::npos) {
        if (!IsValidAddress(item)) return false;
        out.Name.clear();
        out.Address = std::string(item);
        return true;
    }
    if (item.back() != '>') return false;
    const std::string_view address = item.substr(open + 1, item.size() - open - 2);
    std::string name;
    if (!IsValidAddress(address) || !ReadName(Trim(item.substr(0, open)), name)) return false;
    out.Name = std::move(name);
    out.Address = std::string(address);
    return true;
}

} // namespace Email
