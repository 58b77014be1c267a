#include "engine/texts.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace vantaro;

TEST(InputTexts, ButtonsAreListedWithLeadingBlanksAndNoTrailingComma) {
    EXPECT_EQ(buttonStr(0), "");
    EXPECT_EQ(buttonStr(0b101), " 1, 3");
    EXPECT_EQ(buttonStr(1 << 9), " 10");
    EXPECT_EQ(buttonStr(std::numeric_limits<std::int32_t>::min()), ""); // button 32 alone
    std::string all;
    for (int n = 1; n <= 31; ++n)
        all += (n > 1 ? ", " : " ") + std::to_string(n);
    EXPECT_EQ(buttonStr(0x7FFFFFFF), all);
    EXPECT_EQ(buttonStr(-1), all);
}

TEST(InputTexts, AxesHatAndGlove) {
    EXPECT_EQ(axisStr(63), "x,y,z,r,u,v");
    EXPECT_EQ(axisStr(5), "x,z");
    EXPECT_EQ(axisStr(0), "");
    EXPECT_EQ(axisStr(64), ""); // no seventh axis

    const std::pair<std::int32_t, const char*> directions[] = {
        {0, "Up"},       {4500, "Up-Right"},   {9000, "Right"}, {13500, "Down-Right"},
        {18000, "Down"}, {22500, "Down-Left"}, {27000, "Left"}, {31500, "Up-Left"}};
    for (const auto& [pov, text] : directions)
        EXPECT_EQ(povStr(pov), text) << pov;
    EXPECT_EQ(povStr(65535), "");
    EXPECT_EQ(povStr(4000), "");
    EXPECT_EQ(povStr(-1), "");

    GloveSelection s;
    EXPECT_EQ(handStr(s), "");
    EXPECT_EQ(fingerStr(s), "");
    s.fingers = {0, 0, 0, 0, 1};
    EXPECT_EQ(fingerStr(s), "Thumb");
    s.fingers = {1, 2, 3, 4, 255};
    EXPECT_EQ(fingerStr(s), "Index,Middle,Ring,Pinky,Thumb");
    s.hand = {-1, 0, 0, 0.25f, 0, 1};
    EXPECT_EQ(handStr(s), "X,Yaw,Roll");
    s.hand = {1, 1, 1, 1, 1, 1};
    EXPECT_EQ(handStr(s), "X,Y,Z,Yaw,Pitch,Roll");
}

namespace {

ActionRecord joystickAction() {
    ActionRecord r;
    r.povDirection = kPovCentred;
    r.recordVersion = kRecordVersion;
    r.high = 127;
    return r;
}

} // namespace

TEST(DescribeAction, JoystickActions) {
    ActionRecord r = joystickAction();
    r.buttonMask = 1;
    r.messageKind = kNoteOn;
    r.dataNumber = 60;
    EXPECT_EQ(describeAction(r), "Button:  1  Note On:  0 Controller:  60 Low:  0 High:  127 ");

    r = joystickAction();
    r.channel = 3;
    r.dataNumber = 7;
    EXPECT_EQ(describeAction(r), " Channel:  3 Controller:  7 Low:  0 High:  127 ");

    r = joystickAction();
    r.povDirection = 9000;
    r.buttonMask = 0b110;
    r.axisMask = 9;
    r.messageKind = kNoteOff;
    r.channel = 15;
    r.dataNumber = 127;
    r.increment = -0.25;
    r.low = 10;
    r.high = 5;
    r.delay = 250;
    r.wrap = 5;   // any non-zero wrap counts
    r.toggle = 2; // a grey check box counts as on
    EXPECT_EQ(describeAction(r), "POV: Right Button:  2, 3 Axis: x,r  Note Off:  15 Controller:  127 "
                                 "Inc: -.25 Low:  10 High:  5 Delay:  250ms Wrap On Toggle On");

    r = joystickAction();
    r.povDirection = 4000; // not a standard direction: the direction text is empty
    r.buttonMask = std::numeric_limits<std::int32_t>::min(); // negative mask: no Button part
    r.axisMask = -1;
    r.increment = 16;
    r.toggle = -1;
    r.messageKind = 7; // unknown kind: no kind text, the numbers still follow
    EXPECT_EQ(describeAction(r), "POV:   0 Controller:  0 Inc:  16 Low:  0 High:  127 ");
}

TEST(DescribeAction, GloveActions) {
    ActionRecord r = joystickAction();
    r.isGlove = 1;
    r.fingerSelect = {1, 0, 0, 0, 0};
    r.messageKind = kNoteOn;
    EXPECT_EQ(describeAction(r), "P5: Index Note On:  0 Controller:  0 Low:  0 High:  127 ");

    r.handAxisSelect = {0, 0, 0, -1, 0, 1};
    r.fingerSelect = {0, 0, 0, 256, 1}; // any non-zero entry selects, also one that does not fit 8 bits
    EXPECT_EQ(describeAction(r), "P5: Yaw,Roll, Pinky,Thumb Note On:  0 Controller:  0 Low:  0 High:  127 ");

    r.fingerSelect = {};
    EXPECT_EQ(describeAction(r), "P5: Yaw,Roll Note On:  0 Controller:  0 Low:  0 High:  127 ");
}

namespace {

using Writes = std::vector<std::pair<std::string, std::string>>;

// The texts that changed since the last look, named after the widgets they go to.
Writes take(ShownTexts& shown) {
    static const char* names[] = {"Text1", "Text2", "Text7", "Text11", "Text12"};
    Writes writes;
    shown.takeChanged(
        [&](LiveText box, std::string_view text) { writes.emplace_back(names[static_cast<int>(box)], text); },
        [&](int element, std::string_view text) {
            writes.emplace_back("Label11(" + std::to_string(element) + ")", text);
        });
    return writes;
}

} // namespace

TEST(UpdateStatus, JoystickBoxesAreWrittenOnlyWhenTheirTextChanges) {
    ShownTexts shown;
    ActionRecord capture;
    capture.povDirection = kPovCentred;
    GloveState glove; // no glove

    updateStatus(shown, capture, false, glove, true);
    EXPECT_TRUE(take(shown).empty()); // no joystick listed: nothing is touched

    updateStatus(shown, capture, true, glove, true);
    EXPECT_EQ(take(shown), (Writes{{"Text1", ""}, {"Text2", ""}, {"Text7", ""}}));
    updateStatus(shown, capture, true, glove, true);
    EXPECT_TRUE(take(shown).empty());

    capture.buttonMask = 0b101;
    capture.axisMask = 2;
    updateStatus(shown, capture, true, glove, true);
    EXPECT_EQ(take(shown), (Writes{{"Text1", " 1, 3"}, {"Text2", "y"}}));

    capture.povDirection = 31500;
    updateStatus(shown, capture, true, glove, true);
    EXPECT_EQ(take(shown), (Writes{{"Text7", "Up-Left"}}));

    // Without a joystick the boxes keep what they showed; when it comes back only changes are written.
    capture.buttonMask = 0;
    updateStatus(shown, capture, false, glove, true);
    EXPECT_TRUE(take(shown).empty());
    updateStatus(shown, capture, true, glove, true);
    EXPECT_EQ(take(shown), (Writes{{"Text1", ""}}));

    shown.forget(); // widgets made anew: everything is written once more
    updateStatus(shown, capture, true, glove, true);
    EXPECT_EQ(take(shown), (Writes{{"Text1", ""}, {"Text2", "y"}, {"Text7", "Up-Left"}}));
}

TEST(UpdateStatus, GloveBoxesAndValueLabels) {
    ShownTexts shown;
    ActionRecord capture;
    GloveState glove;
    glove.glovePresent = 1;
    glove.fingerBent = {0, 1, 0, 0, 1};
    glove.handDirection = {0, -1, 0, 0, 0, 1};
    glove.gloveBends = {0, 63, 12, 5, 40};
    glove.gloveButtons = {1, 0, 255};
    glove.glovePose = {-0.5f, 0.9f, 100.25f, -3.0f, 1e20f, std::numeric_limits<float>::quiet_NaN()};

    updateStatus(shown, capture, false, glove, false); // collapsed view: no labels
    EXPECT_EQ(take(shown), (Writes{{"Text11", "Y,Roll"}, {"Text12", "Middle,Thumb"}}));

    updateStatus(shown, capture, false, glove, true);
    EXPECT_EQ(take(shown), (Writes{{"Label11(14)", " 0"},
                                   {"Label11(15)", " 63"},
                                   {"Label11(16)", " 12"},
                                   {"Label11(17)", " 5"},
                                   {"Label11(18)", " 40"},
                                   {"Label11(19)", " 1"},
                                   {"Label11(20)", " 0"},
                                   {"Label11(21)", " 255"},
                                   {"Label11(22)", "-1"},
                                   {"Label11(23)", " 0"},
                                   {"Label11(24)", " 100"},
                                   {"Label11(25)", "-3"},
                                   {"Label11(26)", " 1.00000002004088E+20"},
                                   {"Label11(27)", " NaN"}}));

    glove.glovePose[1] = 0.2f; // floor unchanged
    glove.glovePose[3] = -3.5f;
    glove.fingerBent = {};
    updateStatus(shown, capture, false, glove, true);
    EXPECT_EQ(take(shown), (Writes{{"Text12", ""}, {"Label11(25)", "-4"}}));

    glove.glovePresent = 0; // not found at start-up: never written
    glove.fingerBent = {1, 1, 1, 1, 1};
    updateStatus(shown, capture, false, glove, true);
    EXPECT_TRUE(take(shown).empty());
}
