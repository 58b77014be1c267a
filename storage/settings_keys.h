#pragma once
// Every key of the settings file in one table, and the typed reads and writes that use it.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace vantaro {

enum class SettingWidth {
    Number, // read as a number and compared as such ("config", "calibrated")
    Int16,
    Int32,
};

enum class SettingForm {
    Number, // leading-blank number form: " 7000", "-1600"
    Plain,  // bare decimal: "1"
};

struct SettingKey {
    std::string_view section;
    std::string_view key;
    SettingWidth width;
    bool hasFirstRunValue;
    std::int32_t firstRunValue;
    SettingForm form;
};

namespace settings {
using W = SettingWidth;
using F = SettingForm;
inline constexpr SettingKey config{"General", "config", W::Number, true, 1, F::Number};
inline constexpr SettingKey bigform{"General", "bigform", W::Int16, true, 1, F::Number};
inline constexpr SettingKey wrap{"General", "Wrap", W::Int16, false, 0, F::Plain};
inline constexpr SettingKey toggle{"General", "Toggle", W::Int16, false, 0, F::Plain};
inline constexpr SettingKey increment{"General", "Increment", W::Int32, true, 0, F::Number};
inline constexpr SettingKey channel{"General", "Channel", W::Int16, false, 0, F::Number};
inline constexpr SettingKey controller{"General", "Controller", W::Int16, false, 0, F::Number};
inline constexpr SettingKey low{"General", "Low", W::Int32, true, 0, F::Number};
inline constexpr SettingKey high{"General", "High", W::Int32, true, 127, F::Number};
inline constexpr SettingKey delay{"General", "Delay", W::Int32, true, 0, F::Number};
inline constexpr SettingKey size{"General", "Size", W::Int16, false, 0, F::Number};
inline constexpr SettingKey midiDevice{"Midi", "DeviceNumber", W::Int16, false, 0, F::Number};
inline constexpr SettingKey joystickDevice{"Joystick", "DeviceNumber", W::Int16, false, 0, F::Number};
inline constexpr SettingKey centerWidth{"Joystick", "CenterWidth", W::Int32, true, 7000, F::Number};
inline constexpr SettingKey centerP5Hand{"Joystick", "CenterP5Hand", W::Int32, false, 0, F::Number};
inline constexpr SettingKey centerP5Finger{"Joystick", "CenterP5Finger", W::Int32, false, 0, F::Number};
inline constexpr SettingKey xCentre{"Joystick", "dwXpos", W::Int32, false, 0, F::Number};
inline constexpr SettingKey yCentre{"Joystick", "dwYpos", W::Int32, false, 0, F::Number};
inline constexpr SettingKey zCentre{"Joystick", "dwZpos", W::Int32, false, 0, F::Number};
inline constexpr SettingKey rCentre{"Joystick", "dwRpos", W::Int32, false, 0, F::Number};
inline constexpr SettingKey calibrated{"Joystick", "calibrated", W::Number, true, 0, F::Number};

// Beside "DeviceNumber" in [Joystick] and [Midi]: the chosen entry's text, so that the choice is
// found again wherever the device shows in the list.
inline constexpr std::string_view kDeviceName = "DeviceName";

inline constexpr std::array<const SettingKey*, 21> all{
    &config,       &bigform,        &wrap,    &toggle,  &increment,  &channel,        &controller,
    &low,          &high,           &delay,   &size,    &midiDevice, &joystickDevice, &centerWidth,
    &centerP5Hand, &centerP5Finger, &xCentre, &yCentre, &zCentre,    &rCentre,        &calibrated};

// The first-run writes, in the order they are made; "config" comes last but one so that an
// interrupted first run is simply repeated at the next start.
inline constexpr std::array<const SettingKey*, 8> firstRun{&calibrated, &centerWidth, &increment, &low,
                                                           &delay,      &high,        &config,    &bigform};
} // namespace settings

// The settings file in the given folder.
std::filesystem::path settingsPathIn(const std::filesystem::path& folder);

// The stored value as a number (0 for a missing file, key or non-number).
double readSettingNumber(const std::filesystem::path& path, const SettingKey& key);

// The stored value rounded (halves to even) into 16 or 32 bits; nullopt when it does not fit.
std::optional<std::int16_t> readSettingInt16(const std::filesystem::path& path, const SettingKey& key);
std::optional<std::int32_t> readSettingInt32(const std::filesystem::path& path, const SettingKey& key);

// The stored value in the key's own width (Number keys are read as 32-bit).
std::optional<std::int32_t> readSettingInteger(const std::filesystem::path& path, const SettingKey& key);

// The text a value is stored as: the number form, or the plain form for "Wrap" and "Toggle".
std::string settingText(const SettingKey& key, std::int32_t value);

// Writes value in the key's form; false when the file could not be written.
[[nodiscard]] bool writeSettingValue(const std::filesystem::path& path, const SettingKey& key,
                                     std::int32_t value);

} // namespace vantaro
