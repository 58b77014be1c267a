#pragma once
// Control of the SDK layer's simulated glove, for tests and for running without hardware:
// attach a glove, set what it reports, and read back the calls the SDK received.
#include "palmlet/sdk/p5dll.h"

extern "C" {

// Gloves the next P5_Init finds (0 detaches them).
P5DLL_API void p5sim_attach(int gloves);
// Bends in the order Index, Middle, Ring, Pinky, Thumb.
P5DLL_API void p5sim_set_bends(int index, int middle, int ring, int pinky, int thumb);
P5DLL_API void p5sim_set_buttons(int button1, int button2, int button3);
// Raw hand position (before the calibrated reference is taken off) and angles.
P5DLL_API void p5sim_set_pose(float x, float y, float z, float yaw, float pitch, float roll);

// How many CP5DLL objects were constructed and destroyed in this process.
P5DLL_API int p5sim_constructed();
P5DLL_API int p5sim_destroyed();

// The calls received, oldest first, as "P5_SetMouseState 0 1"; index beyond the end gives "".
P5DLL_API int p5sim_call_count();
P5DLL_API const char* p5sim_call(int index);
P5DLL_API void p5sim_clear_calls();
// Back to no glove, zero readings, no reference, no recorded calls (counters stay).
P5DLL_API void p5sim_reset();
}
