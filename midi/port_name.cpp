#include "midi/port_name.h"

namespace vantaro {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Skips digits backwards from `end`; returns where they start.
std::size_t digitsBefore(std::string_view s, std::size_t end) {
    while (end > 0 && isDigit(s[end - 1]))
        --end;
    return end;
}

} // namespace

std::string_view portBaseName(std::string_view name) {
    const bool cut = name.size() == kListedNameChars;
    // " client:port", or at the cut " client:", " client", " cli", " ".
    std::size_t at = digitsBefore(name, name.size());
    const bool portDigits = at < name.size();
    if (at > 0 && name[at - 1] == ':') {
        const std::size_t client = digitsBefore(name, at - 1);
        if (client == at - 1 || (!portDigits && !cut)) return name;
        at = client;
    } else if (!cut) {
        return name;
    }
    if (at == 0 || name[at - 1] != ' ') return name;
    return name.substr(0, at - 1);
}

int findPort(const std::vector<std::string>& names, std::string_view name, int position) {
    // Two passes: the exact text, then the name without the numbers; each prefers `position`.
    const std::string_view base = portBaseName(name);
    for (const bool exact : {true, false}) {
        int first = -1;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (exact ? names[i] != name : portBaseName(names[i]) != base) continue;
            if (static_cast<int>(i) == position) return position;
            if (first < 0) first = static_cast<int>(i);
        }
        if (first >= 0) return first;
    }
    return -1;
}

} // namespace vantaro
