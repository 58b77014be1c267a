#include "devices/joystick.h"

#include "engine/numbers.h"

#include <cstring>
#include <limits>

namespace vantaro {

namespace {

constexpr std::uint64_t kNotShown = std::uint64_t{1} << 32;

} // namespace

std::int16_t offCentreMask(const JoyInfoEx& reading, const JoyInfoEx& centre, std::int32_t width) {
    std::int16_t mask = 0;
    const std::int64_t w = width;
    for (int k = 0; k < 6; ++k) {
        const std::int64_t c = centre.axis(k);
        const std::int64_t v = reading.axis(k);
        if (v < c - w || v > c + w) mask = static_cast<std::int16_t>(mask | (1 << k));
    }
    return mask;
}

Joystick::Joystick(JoystickApi& api, JoystickView& view) : api_(api), view_(view) {
    invalidateRawLabels();
}

void Joystick::invalidateRawLabels() {
    shownLabel1_.fill(kNotShown);
    shownLabel3_.fill(kNotShown);
}

int Joystick::listJoysticks(std::optional<std::int16_t> stored) {
    joystickCount_ = 0;
    chosenPosition_ = -1;
    view_.clearJoystickEntries();
    const std::uint32_t n = api_.joyGetNumDevs();
    // Ids are kept as 16-bit numbers; the list holds kListSize of them.
    for (std::uint32_t id = 0; id < n && id <= std::numeric_limits<std::int16_t>::max(); ++id) {
        if (joystickCount_ >= kListSize) break;
        JoyCapsA caps{};
        if (api_.joyGetDevCapsA(id, &caps, sizeof caps) != JoystickApi::JOYERR_NOERROR) continue;
        joystickIds_[static_cast<std::size_t>(joystickCount_)] = static_cast<std::int16_t>(id);
        ++joystickCount_;
        view_.addJoystickEntry(std::string_view(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname)));
    }
    if (joystickCount_ == 0) {
        view_.hideCalibrationPrompt();
        view_.hideCalibrateButton();
    }

    if (!stored) return kOverflowError;
    if (*stored >= 0 && *stored < joystickCount_) {
        view_.showSelectedEntry(*stored);
        selectJoystick(*stored);
    }
    return 0;
}

bool Joystick::selectJoystick(int position) {
    if (position < 0 || position >= joystickCount_) return false;
    joystickId_ = joystickIds_[static_cast<std::size_t>(position)];
    chosenPosition_ = position;
    return true;
}

void Joystick::showRaw(RawLabels labels, int index, const char* prefix, std::uint32_t value) {
    std::uint64_t& shown = labels == RawLabels::Label1 ? shownLabel1_[static_cast<std::size_t>(index)]
                                                       : shownLabel3_[static_cast<std::size_t>(index)];
    if (shown == value) return;
    shown = value;
    // Built on the stack: the poll runs every millisecond and must not allocate.
    char text[64];
    const std::size_t prefixLength = std::strlen(prefix);
    std::memcpy(text, prefix, prefixLength);
    char digits[24];
    std::size_t n = formatNumber(digits, value);
    const char* start = digits[0] == ' ' ? digits + 1 : digits; // plain decimal, no blank
    if (start != digits) --n;
    std::memcpy(text + prefixLength, start, n);
    view_.setRawLabel(labels, index, std::string_view(text, prefixLength + n));
}

void Joystick::readJoystick(JoystickState& state, ActionRecord& captureRecord, bool expandedView) {
    if (joystickCount_ == 0) {
        captureRecord.povDirection = kPovCentred;
        return;
    }
    const auto id = static_cast<std::uint32_t>(joystickId_);
    if (expandedView && api_.joyGetPos(id, &basicReading_) == JoystickApi::JOYERR_NOERROR) {
        showRaw(RawLabels::Label1, 0, "X Position:  ", basicReading_.wXpos);
        showRaw(RawLabels::Label1, 1, "Y Position:  ", basicReading_.wYpos);
        showRaw(RawLabels::Label1, 2, "Z Position:  ", basicReading_.wZpos);
        showRaw(RawLabels::Label1, 3, "Buttons:  ", basicReading_.wButtons);
    }

    JoyInfoEx& r = state.joystickReading;
    r.dwSize = sizeof(JoyInfoEx);
    r.dwFlags = JoystickApi::JOY_RETURNALL;
    const auto rc = api_.joyGetPosEx(id, &r);
    if (expandedView && rc == JoystickApi::JOYERR_NOERROR) {
        showRaw(RawLabels::Label3, 0, "Rudder Position:  ", r.dwRpos);
        showRaw(RawLabels::Label3, 1, "U Position:  ", r.dwUpos);
        showRaw(RawLabels::Label3, 2, "V Position:  ", r.dwVpos);
        showRaw(RawLabels::Label3, 3, "Buttons:  ", r.dwButtons);
        showRaw(RawLabels::Label3, 4, "Button Number:  ", r.dwButtonNumber);
        showRaw(RawLabels::Label3, 5, "Point-Of-View Hat:  ", r.dwPOV);
    }

    // Taken from the record as the call left it, whatever it returned.
    captureRecord.povDirection = static_cast<std::int32_t>(r.dwPOV);
    captureRecord.buttonMask = static_cast<std::int32_t>(r.dwButtons);
    if (state.autoCentre != 0) state.calibrationCentre = r;
    captureRecord.axisMask = offCentreMask(r, state.calibrationCentre, state.centreWidth);
}

void Joystick::calibrate(JoystickState& state) {
    state.calibrationCentre = state.joystickReading;
    view_.hideCalibrationPrompt();
}

} // namespace vantaro
