#include "devices/glove.h"

#include "devices/glove_bridge.h"

#include <exception>

namespace vantaro {

void deriveGloveGesture(GloveState& glove, ActionRecord& capture) {
    // The sliders hold 16-bit values (0..100 and 0..63).
    const auto h = static_cast<std::int16_t>(glove.handThreshold);
    const auto f = static_cast<std::int16_t>(glove.fingerThreshold);

    glove.fingerBent.fill(0);
    glove.handDirection.fill(0.0f);

    for (std::size_t k = 0; k < glove.gloveBends.size(); ++k)
        glove.fingerBent[k] = glove.gloveBends[k] > f ? 1 : 0;

    // Whole-number position threshold: exact for every slider value, at most 2000.
    const std::int32_t t = 20 * static_cast<std::int32_t>(h);
    for (std::size_t k = 0; k < 3; ++k) {
        const float p = glove.glovePose[k];
        glove.handDirection[k] = p > static_cast<float>(t) ? 1.0f : p < static_cast<float>(-t) ? -1.0f : 0.0f;
    }

    // The angle threshold is taken in single precision, like the readings it is compared with.
    const auto a = static_cast<float>(1.8 * h);
    const auto minusA = static_cast<float>(-1.8 * h);
    for (std::size_t k = 3; k < 6; ++k) {
        const float p = glove.glovePose[k];
        glove.handDirection[k] = p > a ? 1.0f : p < minusA ? -1.0f : 0.0f;
    }

    for (std::size_t k = 0; k < 5; ++k)
        capture.fingerSelect[k] = glove.fingerBent[k];
    for (std::size_t k = 0; k < 6; ++k)
        capture.handAxisSelect[k] = static_cast<std::int16_t>(glove.handDirection[k]);
}

void doP5(GloveBridge& bridge, GloveState& glove, ActionRecord& capture) {
    try {
        glove.gloveBends[0] = bridge.plm_BendIndex();
        glove.gloveBends[1] = bridge.plm_BendMiddle();
        glove.gloveBends[2] = bridge.plm_BendRing();
        glove.gloveBends[3] = bridge.plm_BendPinky();
        glove.gloveBends[4] = bridge.plm_BendThumb();
        glove.gloveButtons[0] = bridge.plm_Button1();
        glove.gloveButtons[1] = bridge.plm_Button2();
        glove.gloveButtons[2] = bridge.plm_Button3();
        glove.glovePose[0] = bridge.plm_X();
        glove.glovePose[1] = bridge.plm_Y();
        glove.glovePose[2] = bridge.plm_Z();
        glove.glovePose[3] = bridge.plm_Yaw();
        glove.glovePose[4] = bridge.plm_Pitch();
        glove.glovePose[5] = bridge.plm_Roll();
    } catch (const GloveBridgeError&) {
        // A bridge without one of its queries cannot be read on any tick: stop polling it
        // rather than fail every millisecond. The readings of the last good tick stay.
        glove.glovePresent = false;
        return;
    }
    deriveGloveGesture(glove, capture);
}

bool centreGlove(GloveBridge& bridge) {
    try {
        bridge.plm_CalibratePositionData(0);
        return true;
    } catch (const GloveBridgeError&) {
        return false;
    }
}

namespace {

// Runs one glove call; a failure is kept and the next call still runs.
template <typename Statement> void attempt(std::vector<GloveFailure>& failures, Statement&& statement) {
    try {
        statement();
    } catch (const GloveBridgeError& e) {
        failures.push_back({e.what(), e.number()});
    } catch (const std::exception& e) {
        failures.push_back({e.what(), 0});
    }
}

} // namespace

GloveStart gloveStartUp(GloveBridge& bridge, GloveState& glove) {
    GloveStart start;
    std::uint32_t found = 0;
    attempt(start.failures, [&] { found = bridge.plm_Init(); });
    if (found != 1) {
        glove.glovePresent = false;
        return start;
    }
    start.widgets = GloveWidgets{false, false, true, true};
    glove.glovePresent = true;
    attempt(start.failures, [&] { bridge.plm_SetMouseState(0, 0); });
    return start;
}

void gloveShutDown(GloveBridge& bridge, const GloveState& glove) {
    if (!glove.glovePresent) return;
    // Each step on its own: a failing one is skipped and the next still runs.
    try {
        bridge.plm_SetMouseState(0, 1);
    } catch (...) {
    }
    try {
        bridge.plm_Close();
    } catch (...) {
    }
}

} // namespace vantaro
