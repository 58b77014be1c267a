// The bridge owns the one SDK object of the process and does nothing but forward and read:
// no checks, no state of its own. Queries are valid only after plm_Init returned 1.
#include "palmlet/palmlet.h"
#include "palmlet/sdk/p5dll.h"

namespace {

// Constructed when the library is loaded, destroyed when it is unloaded.
CP5DLL theGlove;

const P5DeviceRecord& gloveDeviceRecord() {
    return theGlove.devices[0];
}

} // namespace

extern "C" {

std::uint32_t PLM_CALL plm_Init() {
    return static_cast<std::uint32_t>(theGlove.P5_Init());
}
void PLM_CALL plm_SetMouseState(std::int32_t glove, std::uint32_t state) {
    theGlove.P5_SetMouseState(glove, state);
}
void PLM_CALL plm_Close() {
    theGlove.P5_Close();
}
void PLM_CALL plm_SaveBendSensors(std::int32_t glove) {
    theGlove.P5_SaveBendSensors(glove);
}
void PLM_CALL plm_CalibrateBendSensors(std::int32_t glove) {
    theGlove.P5_CalibrateBendSensors(glove);
}
void PLM_CALL plm_CalibratePositionData(std::int32_t glove) {
    theGlove.P5_CalibratePositionData(glove);
}

std::uint8_t PLM_CALL plm_BendIndex() {
    return gloveDeviceRecord().bendIndex;
}
std::uint8_t PLM_CALL plm_BendMiddle() {
    return gloveDeviceRecord().bendMiddle;
}
std::uint8_t PLM_CALL plm_BendRing() {
    return gloveDeviceRecord().bendRing;
}
std::uint8_t PLM_CALL plm_BendPinky() {
    return gloveDeviceRecord().bendPinky;
}
std::uint8_t PLM_CALL plm_BendThumb() {
    return gloveDeviceRecord().bendThumb;
}
std::uint8_t PLM_CALL plm_Button1() {
    return gloveDeviceRecord().button1;
}
std::uint8_t PLM_CALL plm_Button2() {
    return gloveDeviceRecord().button2;
}
std::uint8_t PLM_CALL plm_Button3() {
    return gloveDeviceRecord().button3;
}
float PLM_CALL plm_X() {
    return gloveDeviceRecord().x;
}
float PLM_CALL plm_Y() {
    return gloveDeviceRecord().y;
}
float PLM_CALL plm_Z() {
    return gloveDeviceRecord().z;
}
float PLM_CALL plm_Yaw() {
    return gloveDeviceRecord().yaw;
}
float PLM_CALL plm_Pitch() {
    return gloveDeviceRecord().pitch;
}
float PLM_CALL plm_Roll() {
    return gloveDeviceRecord().roll;
}
}
