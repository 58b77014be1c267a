#pragma once
// The glove SDK layer: the CP5DLL class the bridge owns, and the device record it keeps
// current for each glove. Field offsets are part of the contract with the bridge.
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define P5DLL_API __declspec(dllexport)
#else
#define P5DLL_API __attribute__((visibility("default")))
#endif

// One glove's live data. Only the fields from 0x3A4 on are read from outside the SDK.
struct P5DeviceRecord {
    std::uint8_t internal[0x3A4]; // the SDK's own bookkeeping
    float x;                      // hand position, relative to the calibrated reference
    float y;
    float z;
    float yaw; // hand angles in degrees
    float pitch;
    float roll;
    std::uint8_t bendThumb; // bends 0..63; the thumb comes first
    std::uint8_t bendIndex;
    std::uint8_t bendMiddle;
    std::uint8_t bendRing;
    std::uint8_t bendPinky;
    std::uint8_t button1;
    std::uint8_t button2;
    std::uint8_t button3;
};

static_assert(offsetof(P5DeviceRecord, x) == 0x3A4);
static_assert(offsetof(P5DeviceRecord, y) == 0x3A8);
static_assert(offsetof(P5DeviceRecord, z) == 0x3AC);
static_assert(offsetof(P5DeviceRecord, yaw) == 0x3B0);
static_assert(offsetof(P5DeviceRecord, pitch) == 0x3B4);
static_assert(offsetof(P5DeviceRecord, roll) == 0x3B8);
static_assert(offsetof(P5DeviceRecord, bendThumb) == 0x3BC);
static_assert(offsetof(P5DeviceRecord, bendIndex) == 0x3BD);
static_assert(offsetof(P5DeviceRecord, bendMiddle) == 0x3BE);
static_assert(offsetof(P5DeviceRecord, bendRing) == 0x3BF);
static_assert(offsetof(P5DeviceRecord, bendPinky) == 0x3C0);
static_assert(offsetof(P5DeviceRecord, button1) == 0x3C1);
static_assert(offsetof(P5DeviceRecord, button2) == 0x3C2);
static_assert(offsetof(P5DeviceRecord, button3) == 0x3C3);

class P5DLL_API CP5DLL {
  public:
    CP5DLL();
    ~CP5DLL();
    CP5DLL(const CP5DLL&) = delete;
    CP5DLL& operator=(const CP5DLL&) = delete;

    // Looks for gloves; returns how many are ready (0 = none).
    int P5_Init();
    void P5_Close();
    // Whether the glove drives the mouse pointer (state non-zero) or not.
    void P5_SetMouseState(int glove, unsigned int state);
    void P5_SaveBendSensors(int glove);
    void P5_CalibrateBendSensors(int glove);
    // Takes the hand's current position as the origin of x, y and z.
    void P5_CalibratePositionData(int glove);

    // Layout read by the bridge: the count first, then the array of device records
    // (glove 0 first). The array stays valid for the object's life, glove or not.
    std::int32_t gloveCount = 0;
    P5DeviceRecord* devices = nullptr;
};

static_assert(offsetof(CP5DLL, devices) >= sizeof(std::int32_t));
