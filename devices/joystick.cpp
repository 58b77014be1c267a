#include "devices/joystick.h"

#include "engine/numbers.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

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

Joystick::Listing Joystick::scan() {
    Listing l;
    const std::uint32_t n = api_.joyGetNumDevs();
    // Ids are kept as 16-bit numbers; the list holds kListSize of them.
    for (std::uint32_t id = 0; id < n && id <= std::numeric_limits<std::int16_t>::max(); ++id) {
        if (l.count >= kListSize) break;
        JoyCapsA caps{};
        if (api_.joyGetDevCapsA(id, &caps, sizeof caps) != JoystickApi::JOYERR_NOERROR) continue;
        const auto at = static_cast<std::size_t>(l.count++);
        l.ids[at] = static_cast<std::int16_t>(id);
        l.names[at].assign(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname));
    }
    return l;
}

void Joystick::show() {
    view_.clearJoystickEntries();
    for (std::size_t i = 0; i < static_cast<std::size_t>(listing_.count); ++i)
        view_.addJoystickEntry(listing_.names[i]);
}

int Joystick::positionOf(const std::string& name, int preferred, const Listing* before) const {
    int first = -1;
    for (int i = 0; i < listing_.count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (listing_.names[at] != name) continue;
        if (before &&
            std::count(before->ids.begin(), before->ids.begin() + before->count, listing_.ids[at]) > 0)
            continue;
        if (i == preferred) return i;
        if (first < 0) first = i;
    }
    return first;
}

int Joystick::listJoysticks(std::optional<std::int16_t> stored,
                            const std::optional<std::string>& storedName) {
    listing_ = scan();
    chosenPosition_ = -1;
    show();
    if (listing_.count == 0) {
        view_.hideCalibrationPrompt();
        view_.hideCalibrateButton();
    }
    if (storedName && !storedName->empty()) {
        wantedName_ = *storedName;
        wantedPosition_ = stored.value_or(-1);
        const int p = positionOf(wantedName_, wantedPosition_);
        if (p >= 0) {
            view_.showSelectedEntry(p);
            selectJoystick(p);
        }
        return 0;
    }
    if (!stored) return kOverflowError;
    if (*stored >= 0 && *stored < listing_.count) {
        view_.showSelectedEntry(*stored);
        selectJoystick(*stored);
    }
    return 0;
}

Joystick::Presence Joystick::refresh() {
    if (!api_.devicesChanged()) return {};
    Listing now = scan();
    if (now == listing_) return {};
    Presence r;
    r.listChanged = true;
    const bool wasChosen = chosenPosition_ >= 0;
    const Listing before = std::exchange(listing_, std::move(now));
    show();
    invalidateRawLabels();
    // The chosen stick keeps its id while it is there; one that comes back is found by its name.
    // A stick of that name that was there all along is another one, which the user did not pick.
    int p = -1;
    for (int i = 0; wasChosen && i < listing_.count; ++i)
        if (listing_.ids[static_cast<std::size_t>(i)] == joystickId_ &&
            listing_.names[static_cast<std::size_t>(i)] == wantedName_)
            p = i;
    if (p < 0 && !wantedName_.empty()) p = positionOf(wantedName_, wantedPosition_, &before);
    chosenPosition_ = -1;
    if (p >= 0) {
        view_.showSelectedEntry(p);
        selectJoystick(p);
    }
    r.chosenLeft = wasChosen && p < 0;
    r.chosenBack = !wasChosen && p >= 0;
    return r;
}

bool Joystick::selectJoystick(int position) {
    if (position < 0 || position >= listing_.count) return false;
    joystickId_ = listing_.ids[static_cast<std::size_t>(position)];
    chosenPosition_ = wantedPosition_ = position;
    wantedName_ = listing_.names[static_cast<std::size_t>(position)];
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
    if (listing_.count == 0) {
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
