// Feeds arbitrary INI text, names and values to the settings reader and writer. Beyond not
// crashing: a written plain value reads back as written, writing it again changes nothing, and no
// other key's value moves.
#include "storage/ini_text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

using namespace vantaro;

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// A value that reading gives back unchanged: no blanks or quotes at its ends, short enough.
bool plain(const std::string& v) {
    if (v.size() > kMaxSettingChars) return false;
    if (v.empty()) return true;
    const auto edge = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    return !edge(v.front()) && !edge(v.back());
}

void check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(24);
    const std::string key = in.ConsumeRandomLengthString(24);
    const std::string value = in.ConsumeRandomLengthString(300);
    const std::string otherSection = in.ConsumeRandomLengthString(24);
    const std::string otherKey = in.ConsumeRandomLengthString(24);
    const std::string text = in.ConsumeRemainingBytesAsString();

    const std::string before = iniRead(text, otherSection, otherKey);
    (void)iniRead(text, section, key);
    const std::optional<std::string> written = iniWrite(text, section, key, value);
    if (!written) return 0;

    if (plain(value)) check(iniRead(*written, section, key) == value);
    check(iniWrite(*written, section, key, value) == *written);
    if (!(sameName(section, otherSection) && sameName(key, otherKey)))
        check(iniRead(*written, otherSection, otherKey) == before);
    return 0;
}
