// The glove SDK layer. There is no glove driver on this platform: the gloves it finds are
// the simulated ones attached through p5sim_attach, whose readings the caller sets.
#include "palmlet/sdk/p5dll.h"
#include "palmlet/sdk/p5sim.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kMaxGloves = 4;

struct SimulatedGloves {
    std::array<P5DeviceRecord, kMaxGloves> records{};
    int attached = 0;
    std::array<float, 3> rawPosition{};
    std::array<float, 3> reference{};
    std::vector<std::string> calls;
    int constructed = 0;
    int destroyed = 0;

    void updatePosition() {
        P5DeviceRecord& r = records[0];
        r.x = rawPosition[0] - reference[0];
        r.y = rawPosition[1] - reference[1];
        r.z = rawPosition[2] - reference[2];
    }
    void record(const char* name) { calls.emplace_back(name); }
    void record(const char* name, long a) { calls.push_back(std::string(name) + ' ' + std::to_string(a)); }
    void record(const char* name, long a, unsigned long b) {
        calls.push_back(std::string(name) + ' ' + std::to_string(a) + ' ' + std::to_string(b));
    }
};

// The SDK keeps its gloves process-wide, like a driver would.
SimulatedGloves& sim() {
    static SimulatedGloves s;
    return s;
}

} // namespace

CP5DLL::CP5DLL() : devices(sim().records.data()) {
    ++sim().constructed;
}

CP5DLL::~CP5DLL() {
    ++sim().destroyed;
}

int CP5DLL::P5_Init() {
    sim().record("P5_Init");
    gloveCount = sim().attached;
    return gloveCount;
}

void CP5DLL::P5_Close() {
    sim().record("P5_Close");
    gloveCount = 0;
}

void CP5DLL::P5_SetMouseState(int glove, unsigned int state) {
    sim().record("P5_SetMouseState", glove, state);
}

void CP5DLL::P5_SaveBendSensors(int glove) {
    sim().record("P5_SaveBendSensors", glove);
}

void CP5DLL::P5_CalibrateBendSensors(int glove) {
    sim().record("P5_CalibrateBendSensors", glove);
}

void CP5DLL::P5_CalibratePositionData(int glove) {
    sim().record("P5_CalibratePositionData", glove);
    if (glove == 0 && sim().attached > 0) {
        sim().reference = sim().rawPosition;
        sim().updatePosition();
    }
}

extern "C" {

void p5sim_attach(int gloves) {
    sim().attached = gloves < 0 ? 0 : gloves;
}

void p5sim_set_bends(int index, int middle, int ring, int pinky, int thumb) {
    P5DeviceRecord& r = sim().records[0];
    r.bendIndex = static_cast<std::uint8_t>(index);
    r.bendMiddle = static_cast<std::uint8_t>(middle);
    r.bendRing = static_cast<std::uint8_t>(ring);
    r.bendPinky = static_cast<std::uint8_t>(pinky);
    r.bendThumb = static_cast<std::uint8_t>(thumb);
}

void p5sim_set_buttons(int button1, int button2, int button3) {
    P5DeviceRecord& r = sim().records[0];
    r.button1 = static_cast<std::uint8_t>(button1);
    r.button2 = static_cast<std::uint8_t>(button2);
    r.button3 = static_cast<std::uint8_t>(button3);
}

void p5sim_set_pose(float x, float y, float z, float yaw, float pitch, float roll) {
    SimulatedGloves& s = sim();
    s.rawPosition = {x, y, z};
    s.updatePosition();
    s.records[0].yaw = yaw;
    s.records[0].pitch = pitch;
    s.records[0].roll = roll;
}

int p5sim_constructed() {
    return sim().constructed;
}
int p5sim_destroyed() {
    return sim().destroyed;
}

int p5sim_call_count() {
    return static_cast<int>(sim().calls.size());
}

const char* p5sim_call(int index) {
    const auto& calls = sim().calls;
    if (index < 0 || static_cast<std::size_t>(index) >= calls.size()) return "";
    return calls[static_cast<std::size_t>(index)].c_str();
}

void p5sim_clear_calls() {
    sim().calls.clear();
}

void p5sim_reset() {
    SimulatedGloves& s = sim();
    std::memset(s.records.data(), 0, sizeof(P5DeviceRecord) * s.records.size());
    s.attached = 0;
    s.rawPosition = {};
    s.reference = {};
    s.calls.clear();
}
}
