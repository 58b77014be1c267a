#include "engine/action_engine.h"

#include "engine/numbers.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace vantaro {

struct ActionEngine::Inputs {
    std::array<std::int64_t, 6> axis;   // readings X, Y, Z, R, U, V
    std::array<std::int64_t, 6> centre; // their calibrated centres
    const GloveState& glove;
    std::int64_t width; // 64-bit: centres come from a hand-editable file
    std::int32_t buttons;
    std::int32_t pov;
    std::int32_t previousButtons;
    std::int32_t previousPov;
    double now;
};

namespace {

double lowOf(const ActionRecord& a) {
    return std::min(a.low, a.high);
}
double highOf(const ActionRecord& a) {
    return std::max(a.low, a.high);
}

// Absolute inputs: reaching an end jumps to the other one.
void endWrap(const ActionRecord& a, double& v) {
    if (a.wrap == 0) return;
    const double lo = lowOf(a), hi = highOf(a);
    if (v >= hi)
        v = lo;
    else if (v <= lo)
        v = hi;
}

// Increment mode of joystick and hand axes.
void plainLimit(ActionRecord& a) {
    const double lo = lowOf(a), hi = highOf(a);
    if (a.currentValue > hi)
        a.currentValue = a.wrap != 0 ? lo : hi;
    else if (a.currentValue < lo)
        a.currentValue = a.wrap != 0 ? hi : lo;
}

// Increment mode of hat and buttons: the value rests once on an end before it wraps.
void stopThenWrap(ActionRecord& a) {
    const double lo = lowOf(a), hi = highOf(a);
    if (a.currentValue > hi)
        a.currentValue = (a.wrap != 0 && a.currentValue == hi + a.increment) ? lo : hi;
    else if (a.currentValue < lo)
        a.currentValue = (a.wrap != 0 && a.currentValue == lo + a.increment) ? hi : lo;
}

// A joystick or hand axis: the scaled position (absolute), the ends outside the centre zone
// (toggle), or one increment step towards the side the input is pushed to.
double continuousValue(ActionRecord& a, double scaled, bool below, bool above, double lastValue) {
    if (a.increment == 0) {
        endWrap(a, scaled);
        if (a.toggle == 0) return scaled;
        return below ? lowOf(a) : above ? highOf(a) : lastValue;
    }
    if (below)
        a.currentValue -= a.increment;
    else if (above)
        a.currentValue += a.increment;
    plainLimit(a);
    return a.currentValue;
}

// A step clock passes when strictly more than delay ms have gone since it was last set.
// Elapsed time is taken to the microsecond so that float noise cannot decide a boundary.
bool gatePasses(double& stepTime, std::int16_t delay, double now) {
    // Rounded to the microsecond, "more than delay ms" is "at least delay ms and half a microsecond".
    if ((now - stepTime) * 1e6 >= delay * 1000.0 + 0.5) {
        stepTime = now;
        return true;
    }
    return false;
}

constexpr std::int32_t kAxisBit[6] = {1, 2, 4, 8, 16, 32};

} // namespace

void ActionEngine::prepareAxes(const Inputs& in) {
    const std::int32_t buttons = in.buttons, pov = in.pov;
    if ((buttons > 0 && buttons != in.previousButtons) || (pov < kPovCentred && pov != in.previousPov))
        axisLock_.fill(true);
    else if ((buttons == 0 && in.previousButtons != 0) ||
             (pov == kPovCentred && in.previousPov != kPovCentred))
        axisLock_.fill(false);

    axisRecentred_.fill(false);
    movedAxes_ = 0;
    for (int k = 0; k < 6; ++k) {
        const std::int64_t p = in.axis[k], c = in.centre[k];
        if (c - in.width <= p && p <= c + in.width) {
            if (!axisInZone_[k]) axisRecentred_[k] = true;
            axisInZone_[k] = true;
        } else {
            axisLock_[k] = false;
            axisInZone_[k] = false;
        }
        if (p != c && !axisLock_[k]) movedAxes_ |= kAxisBit[k];
    }
}

void ActionEngine::pressValue(const Inputs& in, ActionRecord& a, PerAction& s, bool& send, double& v) {
    if (a.increment == 0) {
        if (a.toggle != 0)
            v = a.currentValue == a.high ? a.low : a.high;
        else
            v = a.high;
        return;
    }
    if (a.toggle != 0 && (a.currentValue == highOf(a) || a.currentValue == lowOf(a)))
        a.increment = -a.increment;
    if (a.delay > 0 && !gatePasses(s.pressStepTime, a.delay, in.now)) {
        send = false;
    } else {
        s.pressStepTime = in.now;
        a.currentValue += a.increment;
    }
    stopThenWrap(a);
    v = a.currentValue;
}

void ActionEngine::evaluateHat(const Inputs& in, ActionRecord& a, PerAction& s, bool& send, double& v) {
    if (a.axisMask != 0 || (in.pov == in.previousPov && a.delay <= 0)) return;
    if (a.povDirection == in.pov && in.pov != kPovCentred) {
        send = true;
        pressValue(in, a, s, send, v);
    } else if (in.pov == kPovCentred && a.povDirection != kPovCentred && in.previousPov == a.povDirection) {
        if (a.increment == 0 && a.toggle == 0) {
            v = a.low;
            send = true;
        }
    }
}

void ActionEngine::evaluateButtons(const Inputs& in, ActionRecord& a, PerAction& s, std::int32_t m,
                                   bool& send, double& v) {
    if (a.axisMask != 0 || (in.buttons == in.previousButtons && a.delay <= 0)) return;
    // Any bit counts, button 32 (the sign bit) included.
    if ((in.previousButtons & a.buttonMask) != 0) {
        v = a.low;
        if (m != a.lastButtonState) {
            a.lastButtonState = m;
            send = a.increment == 0 && a.toggle == 0;
        } else {
            send = false;
        }
    }
    if (m == 0 && a.lastButtonState != 0) {
        // An edge memory left over from a stored list (saved while a button was held) is
        // only brought up to date: nothing of this action was pressed.
        a.lastButtonState = 0;
    } else if (m != a.lastButtonState || (a.delay > 0 && m != 0)) {
        send = true;
        a.lastButtonState = m;
        pressValue(in, a, s, send, v);
    }
}

void ActionEngine::evaluateAxes(const Inputs& in, ActionRecord& a, PerAction& s, std::int32_t m, bool& send,
                                double& v) {
    if ((a.axisMask & movedAxes_) == 0) return;
    // Without a held button, only the action's own hat direction (or no modifier at all) enables the axes.
    if (m == 0 && !((a.povDirection < kPovCentred && a.povDirection == in.pov) ||
                    (a.buttonMask == 0 && a.povDirection == kPovCentred)))
        return;
    const double lo = lowOf(a), hi = highOf(a);
    for (unsigned bits = static_cast<unsigned>(a.axisMask) & 63u; bits != 0; bits &= bits - 1) {
        const int k = std::countr_zero(bits); // X first, V last
        if (a.delay != 0 && !gatePasses(s.axisStepTime, a.delay, in.now)) continue;
        std::int64_t p = in.axis[k];
        if (a.high < a.low) p = 65535 - p;
        const std::int64_t c = in.centre[k];
        const bool below = (p < c - in.width), above = (p > c + in.width);
        if (a.increment != 0 && axisRecentred_[k] && a.toggle != 0) a.increment = -a.increment;
        v = continuousValue(a, static_cast<double>(p) / 65535.0 * (hi - lo) + lo, below, above,
                            s.lastAxisValue[k]);
        if (v != s.lastAxisValue[k]) send = true;
        s.lastAxisValue[k] = v;
    }
}

void ActionEngine::evaluateFingers(const Inputs& in, ActionRecord& a, PerAction& s, bool& send, double& v) {
    const double lo = lowOf(a), hi = highOf(a);
    const double t = in.glove.fingerThreshold;
    for (int k = 0; k < 5; ++k) {
        if (a.fingerSelect[k] == 0) continue;
        if (a.delay != 0 && !gatePasses(s.axisStepTime, a.delay, in.now)) continue;
        const double b = in.glove.gloveBends[k];
        if (b > t) {
            const double r = (b - t) / (63.0 - t);
            v = a.low + r * (a.high - a.low);
            endWrap(a, v);
            if (a.increment != 0) {
                if (fingerReverse_[k]) {
                    a.increment = -a.increment;
                    fingerReverse_[k] = false;
                }
                a.currentValue = std::clamp(a.currentValue + a.increment, lo, hi);
                v = a.currentValue;
                if (fingerWrapArmed_[k]) {
                    if (v >= hi) {
                        v = lo;
                        fingerWrapArmed_[k] = false;
                    } else if (v <= lo) {
                        v = hi;
                        fingerWrapArmed_[k] = false;
                    }
                }
            } else if (a.toggle != 0) {
                if (fingerLatch_[k]) {
                    v = s.lastFingerValue[k];
                } else {
                    fingerLatch_[k] = true;
                    a.currentValue = a.currentValue != hi ? hi : lo;
                    v = a.currentValue;
                }
            }
        } else if (a.toggle == 0 && a.increment == 0) {
            v = a.wrap != 0 ? a.high : a.low;
        } else if (a.toggle == 0) {
            if (a.wrap != 0 && (a.currentValue == hi || a.currentValue == lo)) fingerWrapArmed_[k] = true;
            v = s.lastFingerValue[k];
        } else {
            fingerLatch_[k] = false;
            if (a.increment != 0) fingerReverse_[k] = true;
            v = s.lastFingerValue[k];
        }
        if (v != s.lastFingerValue[k]) send = true;
        s.lastFingerValue[k] = v;
    }
}

void ActionEngine::evaluateHand(const Inputs& in, ActionRecord& a, PerAction& s, bool& send, double& v) {
    // A selected finger is the clutch: the hand moves the value only while one is bent.
    bool anyFinger = false, clutch = false;
    for (int k = 0; k < 5; ++k) {
        if (a.fingerSelect[k] == 0) continue;
        anyFinger = true;
        if (in.glove.gloveBends[k] > in.glove.fingerThreshold) clutch = true;
    }
    if (anyFinger && !clutch) return;

    const double lo = lowOf(a), hi = highOf(a);
    const double t = in.glove.handThreshold;
    for (int k = 0; k < 6; ++k) {
        if (a.handAxisSelect[k] == 0) continue;
        if (a.delay != 0 && !gatePasses(s.axisStepTime, a.delay, in.now)) continue;
        const double L = k < 3 ? 500.0 : 90.0;
        double h = std::clamp(static_cast<double>(in.glove.glovePose[k]), -L, L) + L;
        if (a.high < a.low) h = 2 * L - h;
        const bool below = (h < L - t), above = (h > L + t);
        v = continuousValue(a, std::fabs(h / (2 * L)) * (hi - lo) + lo, below, above, s.lastAxisValue[k]);
        if (v != s.lastAxisValue[k]) send = true;
        s.lastAxisValue[k] = v;
    }
}

void ActionEngine::sendValue(EngineIo& io, const ActionRecord& a, double v) {
    // A value that cannot be a 16-bit data value (only possible from a damaged record or
    // threshold) is not sent, rather than stopping the whole tick.
    const std::optional<std::int16_t> d = toInt16(v);
    if (!d) return;
    valueTable_[static_cast<std::size_t>(a.channel)][static_cast<std::size_t>(a.dataNumber)] = v;

    const char* kindText = "";
    std::int64_t status = -1;
    switch (a.messageKind) {
    case kControllerChange:
        status = 0xB0, kindText = "Controller";
        break;
    case kNoteOn:
        status = 0x90, kindText = "Note On";
        break;
    case kNoteOff:
        status = 0x80, kindText = "Note Off";
        break;
    default:
        break; // an unknown kind composes nothing: the previous message goes out again
    }
    if (status >= 0)
        lastMessage_ = static_cast<std::uint32_t>(status + std::int64_t{a.dataNumber} * 256 +
                                                  std::int64_t{*d} * 65536 + a.channel);
    const std::int16_t result = io.sender.sendShortMessage(lastMessage_);

    if (io.expandedView == 0) return;
    // Built in a fixed buffer: the log is the only place that writes text on the tick.
    char line[160];
    std::size_t n = 0;
    auto text = [&](const char* s) {
        const std::size_t len = std::strlen(s);
        std::memcpy(line + n, s, len);
        n += len;
    };
    auto number = [&](std::int64_t x) { n += formatNumber(line + n, x); };
    text("Value:");
    number(*d);
    text(" Channel:");
    number(a.channel);
    text(" ");
    text(kindText);
    text(":");
    number(a.dataNumber);
    text("  Data:");
    number(static_cast<std::int32_t>(lastMessage_));
    text(" Result:");
    number(result);
    io.log.prependLine(std::string_view(line, n));
}

void ActionEngine::listLoaded(ActionList& list) {
    const int count = std::clamp<int>(list.actionCount, 0, kActionSlots - 1);
    for (int i = 1; i <= count; ++i)
        list[i].lastButtonState = 0;
}

void ActionEngine::actions(EngineIo& io) {
    const ActionRecord& capture = io.captureRecord;
    const JoyInfoEx& r = io.joystick.joystickReading;
    const JoyInfoEx& c = io.joystick.calibrationCentre;
    const Inputs in{{r.axis(0), r.axis(1), r.axis(2), r.axis(3), r.axis(4), r.axis(5)},
                    {c.axis(0), c.axis(1), c.axis(2), c.axis(3), c.axis(4), c.axis(5)},
                    io.glove,
                    io.joystick.centreWidth,
                    capture.buttonMask,
                    capture.povDirection,
                    previousButtons_,
                    previousPov_,
                    io.clock.seconds()};
    prepareAxes(in);

    const int count = std::clamp<int>(io.actionList.actionCount, 0, kActionSlots - 1);
    for (int i = 1; i <= count; ++i) {
        ActionRecord& a = io.actionList[i];
        // Records from a damaged file must never index outside the tables.
        if (a.channel < 0 || a.channel > 15 || a.dataNumber < 0 || a.dataNumber > 127) continue;
        PerAction& s = perAction_[static_cast<std::size_t>(i)];
        const std::int32_t m = a.buttonMask & in.buttons;
        a.currentValue =
            valueTable_[static_cast<std::size_t>(a.channel)][static_cast<std::size_t>(a.dataNumber)];
        bool send = false;
        double v = 0;
        if (a.isGlove == 0) {
            // An axis action has no hat or button step of its own: its hat and buttons only enable the axes.
            if (a.axisMask == 0) {
                evaluateHat(in, a, s, send, v);
                evaluateButtons(in, a, s, m, send, v);
            }
            if (in.buttons == 0) a.reservedD = 0;
            if (a.axisMask != 0) evaluateAxes(in, a, s, m, send, v);
        } else {
            const bool anyHand = std::any_of(a.handAxisSelect.begin(), a.handAxisSelect.end(),
                                             [](std::int16_t h) { return h != 0; });
            if (!anyHand) evaluateFingers(in, a, s, send, v);
            evaluateHand(in, a, s, send, v);
        }
        if (send) sendValue(io, a, v);
    }

    previousButtons_ = in.buttons;
    previousPov_ = in.pov;
}

} // namespace vantaro
