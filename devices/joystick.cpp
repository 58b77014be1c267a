#include "devices/joystick.h"

#include "engine/numbers.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace vantaro {

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
    if (storedName && !storedName->empty()) {
        wantedName_ = *storedName;
        wantedPosition_ = stored.value_or(-1);
        const int p = positionOf(wantedName_, wantedPosition_);
        if (p >= 0) selectJoystick(p);
        return 0;
    }
    if (!stored) return kOverflowError;
    if (*stored >= 0 && *stored < listing_.count) selectJoystick(*stored);
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
    // The chosen stick keeps its id while it is there; one that comes back is found by its name.
    // A stick of that name that was there all along is another one, which the user did not pick.
    int p = -1;
    for (int i = 0; wasChosen && i < listing_.count; ++i)
        if (listing_.ids[static_cast<std::size_t>(i)] == joystickId_ &&
            listing_.names[static_cast<std::size_t>(i)] == wantedName_)
            p = i;
    if (p < 0 && !wantedName_.empty()) p = positionOf(wantedName_, wantedPosition_, &before);
    chosenPosition_ = -1;
    if (p >= 0) selectJoystick(p);
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

Joystick::Polled Joystick::readJoystick(JoystickState& state, ActionRecord& captureRecord,
                                        bool expandedView) {
    Polled polled;
    if (listing_.count == 0) {
        captureRecord.povDirection = kPovCentred;
        return polled;
    }
    const auto id = static_cast<std::uint32_t>(joystickId_);
    polled.basic = expandedView && api_.joyGetPos(id, &basicReading_) == JoystickApi::JOYERR_NOERROR;

    JoyInfoEx& r = state.joystickReading;
    r.dwSize = sizeof(JoyInfoEx);
    r.dwFlags = JoystickApi::JOY_RETURNALL;
    polled.extended = api_.joyGetPosEx(id, &r) == JoystickApi::JOYERR_NOERROR;

    // Taken from the record as the call left it, whatever it returned.
    captureRecord.povDirection = static_cast<std::int32_t>(r.dwPOV);
    captureRecord.buttonMask = static_cast<std::int32_t>(r.dwButtons);
    if (state.autoCentre) state.calibrationCentre = r;
    captureRecord.axisMask = offCentreMask(r, state.calibrationCentre, state.centreWidth);
    return polled;
}

} // namespace vantaro
