#pragma once
// The action engine: turns the live input state into MIDI short messages, once per tick.
#include "engine/action_record.h"
#include "engine/clock.h"
#include "engine/input_state.h"
#include "engine/message_log.h"
#include "engine/short_message.h"

#include <array>
#include <cstdint>

namespace vantaro {

// Everything the engine reads and writes that it does not own itself.
struct EngineIo {
    ActionList& actionList;
    ActionRecord& captureRecord; // axisMask / buttonMask / povDirection: live joystick state
    const JoystickState& joystick;
    const GloveState& glove;
    const std::int16_t& expandedView;
    MessageLog& log;
    Clock& clock;
    ShortMessageSender& sender;
};

class ActionEngine {
public:
    // Evaluate every live action once; sends at most one message per action.
    void actions(EngineIo& io);

    // Call after a list has been read from a file (start-up, Import), before the next tick. A
    // list saved while a button was held carries that button's edge memory; a fresh list
    // starts with none of its buttons held, so the first press plays and no release comes
    // without its press. Not for the reload that follows a save: its memories are live.
    void listLoaded(ActionList& list);

    double valueAt(int channel, int number) const {
        return valueTable_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(number)];
    }
    std::uint32_t lastMessage() const { return lastMessage_; }

private:
    struct PerAction {
        std::array<double, 6> lastAxisValue{}; // joystick axes, or glove hand axes
        std::array<double, 5> lastFingerValue{};
        double pressStepTime = 0;
        double axisStepTime = 0;
    };
    // Per-call view of the inputs, taken once at the start of actions().
    struct Inputs;

    void prepareAxes(const Inputs& in);
    void evaluateHat(const Inputs& in, ActionRecord& a, PerAction& s, bool& send, double& v);
    void evaluateButtons(const Inputs& in, ActionRecord& a, PerAction& s, std::int32_t m, bool& send,
                         double& v);
    void evaluateAxes(const Inputs& in, ActionRecord& a, PerAction& s, std::int32_t m, bool& send, double& v);
    void evaluateFingers(const Inputs& in, ActionRecord& a, PerAction& s, bool& send, double& v);
    void evaluateHand(const Inputs& in, ActionRecord& a, PerAction& s, bool& send, double& v);
    void pressValue(const Inputs& in, ActionRecord& a, PerAction& s, bool& send, double& v);
    void sendValue(EngineIo& io, const ActionRecord& a, double v);

    std::array<std::array<double, 128>, 16> valueTable_{};
    std::array<PerAction, kActionSlots> perAction_{};
    std::array<bool, 6> axisLock_{};
    std::array<bool, 6> axisInZone_{};
    std::array<bool, 6> axisRecentred_{};
    std::int32_t movedAxes_ = 0;
    std::array<bool, 5> fingerReverse_{};
    std::array<bool, 5> fingerWrapArmed_{};
    std::array<bool, 5> fingerLatch_{};
    std::int32_t previousButtons_ = 0;
    // Starts centred: an untouched hat must not read as a release from "Up" on the first tick.
    std::int32_t previousPov_ = kPovCentred;
    std::uint32_t lastMessage_ = 0;
};

} // namespace vantaro
