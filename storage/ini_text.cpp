#include "storage/ini_text.h"

namespace vantaro {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

enum class LineKind { Other, Section, Key };

struct Line {
    std::size_t begin = 0; // offset of the line in the text
    std::size_t end = 0;   // offset after its content, before the line break
    std::size_t next = 0;  // offset of the following line
    LineKind kind = LineKind::Other;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // raw text after "=" of a key line
};

Line parseLine(std::string_view text, std::size_t begin) {
    Line line;
    line.begin = begin;
    // CR LF, LF and a bare CR each end a line, as the platform's profile reader has it.
    const std::size_t brk = text.find_first_of("\r\n", begin);
    line.end = brk == std::string_view::npos ? text.size() : brk;
    line.next = line.end;
    if (line.next < text.size()) line.next += text.compare(line.next, 2, "\r\n") == 0 ? 2 : 1;
    const std::string_view content = trim(text.substr(begin, line.end - begin));
    if (content.empty() || content.front() == ';') return line;
    // A section name runs to the last "]" of its line; a line without one is no section, and the
    // profile reader takes it as a key that no query ever finds.
    const std::size_t close = content.rfind(']');
    if (content.front() == '[' && close != std::string_view::npos && close > 0) {
        line.kind = LineKind::Section;
        line.name = trim(content.substr(1, close - 1));
        return line;
    }
    line.kind = LineKind::Key;
    const std::size_t eq = content.find('=');
    if (eq == std::string_view::npos) {
        line.name = content; // a bare name: a key without a value
    } else {
        line.name = trim(content.substr(0, eq));
        line.value = content.substr(eq + 1);
    }
    return line;
}

// Where a key stands, or would go, in the text.
struct Place {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine;
    Line lastOfSection; // the section line or its last key line
};

Place locate(std::string_view text, std::string_view section, std::string_view key) {
    Place place;
    bool inSection = false;
    // A byte-order mark that an editor put in front is not part of the first line.
    const std::size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    for (std::size_t pos = start; pos < text.size();) {
        const Line line = parseLine(text, pos);
        pos = line.next;
        if (line.kind == LineKind::Section) {
            if (inSection) break; // only the first section of that name counts
            if (sameName(line.name, section)) {
                inSection = true;
                place.sectionFound = true;
                place.lastOfSection = line;
            }
        } else if (inSection && line.kind == LineKind::Key) {
            place.lastOfSection = line;
            if (sameName(line.name, key)) {
                place.keyFound = true;
                place.keyLine = line;
                break;
            }
        }
    }
    return place;
}

bool storable(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool validName(std::string_view s) {
    return !s.empty() && storable(s) && trim(s) == s;
}

// The file's own line break, taken from its first line: CR LF, LF or a bare CR (LF for a new file).
std::string_view lineBreakOf(std::string_view text) {
    const std::size_t brk = text.find_first_of("\r\n");
    if (brk == std::string_view::npos || text[brk] == '\n') return "\n";
    return text.compare(brk, 2, "\r\n") == 0 ? "\r\n" : "\r";
}

// What a text needs at its end before a line can follow: nothing after a line break, except that
// a CR LF file whose last line ends in a bare CR gets the LF that completes it.
std::string_view closingBreak(std::string_view textSoFar, std::string_view eol) {
    if (textSoFar.empty() || textSoFar.back() == '\n') return "";
    if (textSoFar.back() == '\r') return eol == "\r\n" ? "\n" : "";
    return eol;
}

} // namespace

std::string iniRead(std::string_view text, std::string_view section, std::string_view key) {
    const Place place = locate(text, section, key);
    if (!place.keyFound) return {};
    std::string_view value = trim(place.keyLine.value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, kMaxSettingChars));
}

std::optional<std::string> iniWrite(std::string_view text, std::string_view section, std::string_view key,
                                    std::string_view value) {
    if (!validName(section) || section.find(']') != std::string_view::npos) return std::nullopt;
    if (!validName(key) || key.find('=') != std::string_view::npos || key.front() == '[' ||
        key.front() == ';')
        return std::nullopt;
    if (!storable(value)) return std::nullopt;

    const std::string_view eol = lineBreakOf(text);
    const Place place = locate(text, section, key);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    if (place.keyFound) {
        // Keep the key as the file spells it; only its value changes.
        out.append(text.substr(0, place.keyLine.begin));
        out.append(place.keyLine.name).append("=").append(value);
        out.append(text.substr(place.keyLine.end));
        return out;
    }
    if (place.sectionFound) {
        const Line& last = place.lastOfSection;
        out.append(text.substr(0, last.next));
        if (last.next == text.size()) out.append(closingBreak(out, eol)); // the section ends the text
        out.append(key).append("=").append(value).append(eol);
        out.append(text.substr(last.next));
        return out;
    }
    out.append(text);
    out.append(closingBreak(text, eol));
    out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(value).append(eol);
    return out;
}

} // namespace vantaro
