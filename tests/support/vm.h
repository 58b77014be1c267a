#pragma once
// The tests that need a real kernel run in the virtual machine of scripts/vm-test (ctest label
// "vm"), where the kernel has the ALSA sequencer and uinput.
#include <gtest/gtest.h>
#include <unistd.h>

#define VANTARO_REQUIRE_VM()                                                                                 \
    ASSERT_TRUE(::access("/dev/snd/seq", R_OK | W_OK) == 0 && ::access("/dev/uinput", W_OK) == 0)            \
        << "needs the ALSA sequencer and uinput of the virtual machine: run scripts/vm-test"
