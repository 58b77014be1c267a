#pragma once
// A game pad made in the kernel through uinput (in the virtual machine): an evdev device under
// /dev/input that SDL finds as it finds one plugged in, with eight buttons, six axes and a hat.
#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace vantaro::test {

class UinputPad {
public:
    static constexpr int kButtons = 8; // BTN_SOUTH onwards: SDL's buttons 0 to 7
    static constexpr int kAxes[6] = {ABS_X, ABS_Y, ABS_Z, ABS_RX, ABS_RY, ABS_RZ};

    explicit UinputPad(const std::string& name, int product = 1) {
        fd_ = ::open("/dev/uinput", O_WRONLY | O_NONBLOCK);
        if (fd_ < 0) throw std::runtime_error("/dev/uinput cannot be opened (is the uinput module loaded?)");
        ::ioctl(fd_, UI_SET_EVBIT, EV_KEY);
        ::ioctl(fd_, UI_SET_EVBIT, EV_ABS);
        ::ioctl(fd_, UI_SET_EVBIT, EV_SYN);
        for (int b = 0; b < kButtons; ++b)
            ::ioctl(fd_, UI_SET_KEYBIT, BTN_SOUTH + b);
        for (int axis : kAxes)
            setupAxis(axis, -32768, 32767);
        setupAxis(ABS_HAT0X, -1, 1);
        setupAxis(ABS_HAT0Y, -1, 1);
        uinput_setup setup{};
        setup.id.bustype = BUS_USB;
        setup.id.vendor = 0x1209; // an id for open hardware projects, no real pad's
        setup.id.product = static_cast<__u16>(product);
        std::strncpy(setup.name, name.c_str(), UINPUT_MAX_NAME_SIZE - 1);
        if (::ioctl(fd_, UI_DEV_SETUP, &setup) < 0 || ::ioctl(fd_, UI_DEV_CREATE) < 0) {
            ::close(fd_);
            throw std::runtime_error("uinput refused the pad");
        }
    }
    ~UinputPad() { unplug(); }
    UinputPad(const UinputPad&) = delete;
    UinputPad& operator=(const UinputPad&) = delete;

    // Button b (0 to 7) down or up.
    void button(int b, bool down) { emit(EV_KEY, BTN_SOUTH + b, down ? 1 : 0); }
    // Axis a (0 to 5: X, Y, Z, RX, RY, RZ) to value (-32768 to 32767).
    void axis(int a, int value) { emit(EV_ABS, kAxes[a], value); }
    // The hat: x and y each -1, 0 or 1 (y -1 is up).
    void hat(int x, int y) {
        write(EV_ABS, ABS_HAT0X, x);
        emit(EV_ABS, ABS_HAT0Y, y);
    }
    // Pulled out, as a user does mid-run.
    void unplug() {
        if (fd_ < 0) return;
        ::ioctl(fd_, UI_DEV_DESTROY);
        ::close(fd_);
        fd_ = -1;
    }

private:
    void setupAxis(int code, int min, int max) {
        ::ioctl(fd_, UI_SET_ABSBIT, code);
        uinput_abs_setup abs{};
        abs.code = static_cast<__u16>(code);
        abs.absinfo.minimum = min;
        abs.absinfo.maximum = max;
        ::ioctl(fd_, UI_ABS_SETUP, &abs);
    }
    void write(int type, int code, int value) {
        input_event e{};
        e.type = static_cast<__u16>(type);
        e.code = static_cast<__u16>(code);
        e.value = value;
        if (::write(fd_, &e, sizeof e) != static_cast<ssize_t>(sizeof e))
            throw std::runtime_error("the pad's event was not taken");
    }
    void emit(int type, int code, int value) {
        write(type, code, value);
        write(EV_SYN, SYN_REPORT, 0);
    }

    int fd_ = -1;
};

} // namespace vantaro::test
