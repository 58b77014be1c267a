#pragma once
// INI text as the platform's profile functions see it, on text in memory: the settings file
// reads and writes through these, and the fuzzer drives them directly.
#include <optional>
#include <string>
#include <string_view>

namespace vantaro {

inline constexpr std::size_t kMaxSettingChars = 254;

// The value of key in section, both matched without regard to case (first match wins); blanks
// around it and one pair of enclosing quotes removed, cut to kMaxSettingChars. Empty when missing.
std::string iniRead(std::string_view text, std::string_view section, std::string_view key);

// The text with key set to value: the key's line is replaced where it stands, a missing key is
// added at the end of its section, a missing section at the end of the text; every other line is
// kept byte for byte. nullopt when the names or value cannot be stored as one INI line (a line
// break or NUL anywhere, "=" in the key, "]" in the section, an empty name, blanks around a name).
std::optional<std::string> iniWrite(std::string_view text, std::string_view section, std::string_view key,
                                    std::string_view value);

} // namespace vantaro
