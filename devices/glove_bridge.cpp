#include "devices/glove_bridge.h"

#include "palmlet/palmlet.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <system_error>

namespace vantaro {

bool isGloveBridgeFailure(std::string_view description) {
    if (description.size() < kPalmletFileName.size()) return false;
    const std::string_view tail = description.substr(description.size() - kPalmletFileName.size());
    return std::equal(tail.begin(), tail.end(), kPalmletFileName.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

std::filesystem::path programFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec);
    return exe.parent_path();
}

GloveBridge::GloveBridge(std::filesystem::path folder) : path_(std::move(folder) / kPalmletFileName) {}

GloveBridge::~GloveBridge() {
    // Unloading destroys the SDK object the library owns.
    if (library_) dlclose(library_);
}

void* GloveBridge::resolve(std::size_t slot, const char* name) {
    if (!library_) {
        library_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library_)
            throw GloveBridgeError("File not found: " + std::string(kPalmletFileName), kLibraryNotFound);
    }
    void* p = dlsym(library_, name);
    if (!p) {
        throw GloveBridgeError("Can't find entry point " + std::string(name) + " in " +
                                   std::string(kPalmletFileName),
                               kEntryPointNotFound);
    }
    slots_[slot] = p;
    return p;
}

// Each call binds its export on first use; the types come from the bridge's own header.
#define VANTARO_PLM_CALL(slot, name, ...) bind<decltype(&::name)>(slot, #name)(__VA_ARGS__)

std::uint32_t GloveBridge::plm_Init() {
    return VANTARO_PLM_CALL(0, plm_Init);
}
void GloveBridge::plm_SetMouseState(std::int32_t glove, std::uint32_t state) {
    VANTARO_PLM_CALL(1, plm_SetMouseState, glove, state);
}
std::uint8_t GloveBridge::plm_BendIndex() {
    return VANTARO_PLM_CALL(2, plm_BendIndex);
}
std::uint8_t GloveBridge::plm_BendMiddle() {
    return VANTARO_PLM_CALL(3, plm_BendMiddle);
}
std::uint8_t GloveBridge::plm_BendRing() {
    return VANTARO_PLM_CALL(4, plm_BendRing);
}
std::uint8_t GloveBridge::plm_BendPinky() {
    return VANTARO_PLM_CALL(5, plm_BendPinky);
}
std::uint8_t GloveBridge::plm_BendThumb() {
    return VANTARO_PLM_CALL(6, plm_BendThumb);
}
std::uint8_t GloveBridge::plm_Button1() {
    return VANTARO_PLM_CALL(7, plm_Button1);
}
std::uint8_t GloveBridge::plm_Button2() {
    return VANTARO_PLM_CALL(8, plm_Button2);
}
std::uint8_t GloveBridge::plm_Button3() {
    return VANTARO_PLM_CALL(9, plm_Button3);
}
float GloveBridge::plm_X() {
    return VANTARO_PLM_CALL(10, plm_X);
}
float GloveBridge::plm_Y() {
    return VANTARO_PLM_CALL(11, plm_Y);
}
float GloveBridge::plm_Z() {
    return VANTARO_PLM_CALL(12, plm_Z);
}
float GloveBridge::plm_Yaw() {
    return VANTARO_PLM_CALL(13, plm_Yaw);
}
float GloveBridge::plm_Pitch() {
    return VANTARO_PLM_CALL(14, plm_Pitch);
}
float GloveBridge::plm_Roll() {
    return VANTARO_PLM_CALL(15, plm_Roll);
}
void GloveBridge::plm_Close() {
    VANTARO_PLM_CALL(16, plm_Close);
}
void GloveBridge::plm_SaveBendSensors(std::int32_t glove) {
    VANTARO_PLM_CALL(17, plm_SaveBendSensors, glove);
}
void GloveBridge::plm_CalibrateBendSensors(std::int32_t glove) {
    VANTARO_PLM_CALL(18, plm_CalibrateBendSensors, glove);
}
void GloveBridge::plm_CalibratePositionData(std::int32_t glove) {
    VANTARO_PLM_CALL(19, plm_CalibratePositionData, glove);
}

#undef VANTARO_PLM_CALL

} // namespace vantaro
