#include "engine/texts.h"

#include "engine/numbers.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace vantaro {

namespace {

// Text built in a fixed buffer, so that the per-tick refresh allocates nothing.
struct Builder {
    std::array<char, ShownTexts::kCapacity> buf{};
    std::size_t len = 0;

    void append(std::string_view s) {
        const std::size_t n = std::min(s.size(), buf.size() - len);
        s.copy(buf.data() + len, n);
        len += n;
    }
    void appendNumber(std::int64_t value) {
        char digits[24];
        append(std::string_view(digits, formatNumber(digits, value)));
    }
    void clear() { len = 0; }
    void dropLast() {
        if (len > 0) --len;
    }
    std::string_view view() const { return {buf.data(), len}; }
};

void buildButtons(Builder& b, std::int32_t buttons) {
    const auto word = static_cast<std::uint32_t>(buttons);
    for (int n = 1; n <= 31; ++n) {
        if (word & (1u << (n - 1))) {
            b.appendNumber(n);
            b.append(",");
        }
    }
    b.dropLast();
}

void buildAxes(Builder& b, std::int16_t axis) {
    static constexpr std::string_view names[6] = {"x,", "y,", "z,", "r,", "u,", "v,"};
    for (int k = 0; k < 6; ++k)
        if (axis & (1 << k)) b.append(names[k]);
    b.dropLast();
}

std::string_view povName(std::int32_t pov) {
    switch (pov) {
    case 0:
        return "Up";
    case 4500:
        return "Up-Right";
    case 9000:
        return "Right";
    case 13500:
        return "Down-Right";
    case 18000:
        return "Down";
    case 22500:
        return "Down-Left";
    case 27000:
        return "Left";
    case 31500:
        return "Up-Left";
    default:
        return {};
    }
}

void buildHand(Builder& b, const GloveSelection& s) {
    static constexpr std::string_view names[6] = {"X,", "Y,", "Z,", "Yaw,", "Pitch,", "Roll,"};
    for (std::size_t k = 0; k < 6; ++k)
        if (s.hand[k] != 0) b.append(names[k]);
    b.dropLast();
}

void buildFingers(Builder& b, const GloveSelection& s) {
    static constexpr std::string_view names[5] = {"Index,", "Middle,", "Ring,", "Pinky,", "Thumb,"};
    for (std::size_t k = 0; k < 5; ++k)
        if (s.fingers[k] != 0) b.append(names[k]);
    b.dropLast();
}

// The largest whole number not above a hand value, in the number form.
void buildFloor(Builder& b, float value) {
    const double whole = std::floor(static_cast<double>(value));
    if (std::fabs(whole) < 1e15) {
        b.appendNumber(static_cast<std::int64_t>(whole));
    } else if (std::isnan(whole)) {
        b.append(" NaN");
    } else if (std::isinf(whole)) {
        b.append(whole < 0 ? "-Inf" : " Inf");
    } else {
        // An absurd reading still shows as a number, in the exponent form, without allocating.
        char digits[32];
        const int n = std::snprintf(digits, sizeof digits, "%.15G", whole);
        if (whole >= 0) b.append(" ");
        b.append(std::string_view(digits, n > 0 ? static_cast<std::size_t>(n) : 0));
    }
}

template <typename Build> std::string toString(Build build) {
    Builder b;
    build(b);
    return std::string(b.view());
}

GloveSelection selectionOf(const ActionRecord& r) {
    GloveSelection s;
    // Any non-zero entry selects the finger, as everywhere else; a narrowing cast would lose 256.
    for (std::size_t k = 0; k < 5; ++k)
        s.fingers[k] = r.fingerSelect[k] != 0 ? 1 : 0;
    for (std::size_t k = 0; k < 6; ++k)
        s.hand[k] = static_cast<float>(r.handAxisSelect[k]);
    return s;
}

GloveSelection selectionOf(const GloveState& g) {
    return GloveSelection{g.fingerBent, g.handDirection};
}

void show(ShownTexts::Slot& slot, const Builder& b) {
    if (slot.known && slot.view() == b.view()) return;
    b.view().copy(slot.text.data(), b.len);
    slot.length = b.len;
    slot.known = true;
    slot.changed = true;
}

} // namespace

std::string buttonStr(std::int32_t buttons) {
    return toString([&](Builder& b) { buildButtons(b, buttons); });
}
std::string axisStr(std::int16_t axis) {
    return toString([&](Builder& b) { buildAxes(b, axis); });
}
std::string povStr(std::int32_t pov) {
    return std::string(povName(pov));
}
std::string handStr(const GloveSelection& selection) {
    return toString([&](Builder& b) { buildHand(b, selection); });
}
std::string fingerStr(const GloveSelection& selection) {
    return toString([&](Builder& b) { buildFingers(b, selection); });
}

std::string describeAction(const ActionRecord& r) {
    std::string text;
    if (r.povDirection != kPovCentred) text += "POV: " + povStr(r.povDirection) + " ";
    if (r.buttonMask > 0) text += "Button: " + buttonStr(r.buttonMask) + " ";
    if (r.axisMask > 0) text += "Axis: " + axisStr(r.axisMask) + " ";
    if (r.isGlove != 0) {
        const GloveSelection s = selectionOf(r);
        const std::string hand = handStr(s);
        const std::string fingers = fingerStr(s);
        text += "P5: " + hand;
        if (!fingers.empty()) {
            if (!hand.empty()) text += ", ";
            text += fingers;
        }
    }
    switch (r.messageKind) {
    case kControllerChange:
        text += " Channel: ";
        break;
    case kNoteOn:
        text += " Note On: ";
        break;
    case kNoteOff:
        text += " Note Off: ";
        break;
    default:
        break;
    }
    text += numberText(r.channel) + " Controller: " + numberText(r.dataNumber) + " ";
    if (r.increment != 0) text += "Inc: " + numberText(r.increment) + " ";
    text += "Low: " + numberText(r.low) + " ";
    text += "High: " + numberText(r.high) + " ";
    if (r.delay != 0) text += "Delay: " + numberText(r.delay) + "ms ";
    if (r.wrap != 0) text += "Wrap On ";
    if (r.toggle > 0) text += "Toggle On";
    return text;
}

bool widenListExtent(std::int32_t& widest, double measuredWidth) {
    const std::optional<std::int32_t> width = toInt32(measuredWidth);
    // Capped so that adding the spare pixels cannot overflow.
    if (!width || *width <= widest || *width > std::numeric_limits<std::int32_t>::max() - 25) return false;
    widest = *width;
    return true;
}

void updateStatus(ShownTexts& shown, const ActionRecord& captureRecord, bool joystickListed,
                  const GloveState& glove, bool expandedView) {
    if (joystickListed) {
        Builder b;
        buildButtons(b, captureRecord.buttonMask);
        show(shown.box(LiveText::Button), b);
        b.clear();
        buildAxes(b, captureRecord.axisMask);
        show(shown.box(LiveText::Axis), b);
        b.clear();
        b.append(povName(captureRecord.povDirection));
        show(shown.box(LiveText::Pov), b);
    }
    if (glove.glovePresent == 0) return;

    const GloveSelection moved = selectionOf(glove);
    Builder b;
    buildHand(b, moved);
    show(shown.box(LiveText::Hand), b);
    b.clear();
    buildFingers(b, moved);
    show(shown.box(LiveText::Fingers), b);
    if (!expandedView) return;

    int element = kFirstValueLabel;
    for (std::uint8_t bend : glove.gloveBends) {
        b.clear();
        b.appendNumber(bend);
        show(shown.label(element++), b);
    }
    for (std::uint8_t button : glove.gloveButtons) {
        b.clear();
        b.appendNumber(button);
        show(shown.label(element++), b);
    }
    for (float value : glove.glovePose) {
        b.clear();
        buildFloor(b, value);
        show(shown.label(element++), b);
    }
}

} // namespace vantaro
