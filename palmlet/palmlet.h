#pragma once
// The glove bridge: twenty plain functions over the glove SDK's CP5DLL object, for callers
// that bind functions by name. 8-bit queries return 8-bit results, the pose queries floats.
#include <cstdint>

#if defined(_WIN32)
#define PLM_EXPORT __declspec(dllexport)
#else
#define PLM_EXPORT __attribute__((visibility("default")))
#endif

// 32-bit Windows callers expect the callee to clear its arguments; elsewhere the platform's
// one calling convention applies.
#if defined(_WIN32) && !defined(_WIN64)
#define PLM_CALL __stdcall
#else
#define PLM_CALL
#endif

extern "C" {

// Control calls, forwarded to the SDK object.
PLM_EXPORT std::uint32_t PLM_CALL plm_Init();
PLM_EXPORT void PLM_CALL plm_SetMouseState(std::int32_t glove, std::uint32_t state);
PLM_EXPORT void PLM_CALL plm_Close();
PLM_EXPORT void PLM_CALL plm_SaveBendSensors(std::int32_t glove);
PLM_EXPORT void PLM_CALL plm_CalibrateBendSensors(std::int32_t glove);
PLM_EXPORT void PLM_CALL plm_CalibratePositionData(std::int32_t glove);

// Data queries: one field of the first glove's device record each.
PLM_EXPORT std::uint8_t PLM_CALL plm_BendIndex();
PLM_EXPORT std::uint8_t PLM_CALL plm_BendMiddle();
PLM_EXPORT std::uint8_t PLM_CALL plm_BendRing();
PLM_EXPORT std::uint8_t PLM_CALL plm_BendPinky();
PLM_EXPORT std::uint8_t PLM_CALL plm_BendThumb();
PLM_EXPORT std::uint8_t PLM_CALL plm_Button1();
PLM_EXPORT std::uint8_t PLM_CALL plm_Button2();
PLM_EXPORT std::uint8_t PLM_CALL plm_Button3();
PLM_EXPORT float PLM_CALL plm_X();
PLM_EXPORT float PLM_CALL plm_Y();
PLM_EXPORT float PLM_CALL plm_Z();
PLM_EXPORT float PLM_CALL plm_Yaw();
PLM_EXPORT float PLM_CALL plm_Pitch();
PLM_EXPORT float PLM_CALL plm_Roll();
}
