#pragma once
// The program's side of the glove bridge library: loaded by name from the program's folder
// at the first glove call, each export bound by name at its own first call.
#include <array>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vantaro {

#ifdef _WIN32
inline constexpr std::string_view kPalmletFileName = "palmlet.dll";
#else
inline constexpr std::string_view kPalmletFileName = "libpalmlet.so";
#endif

// A missing bridge library or export. The description always ends with kPalmletFileName.
class GloveBridgeError : public std::runtime_error {
  public:
    GloveBridgeError(const std::string& description, int number)
        : std::runtime_error(description), number_(number) {}
    int number() const { return number_; }

  private:
    int number_;
};

inline constexpr int kLibraryNotFound = 53;
inline constexpr int kEntryPointNotFound = 453;

// True when a failure's description, in lower case, ends with the bridge's file name: the
// start-up trap passes over these without a message.
bool isGloveBridgeFailure(std::string_view description);

// The folder of the running executable.
std::filesystem::path programFolder();

class GloveBridge {
  public:
    // The library is looked for in folder (the program's folder unless a test says otherwise).
    explicit GloveBridge(std::filesystem::path folder = programFolder());
    ~GloveBridge();
    GloveBridge(const GloveBridge&) = delete;
    GloveBridge& operator=(const GloveBridge&) = delete;

    // Each throws GloveBridgeError when the library or that export cannot be found.
    std::uint32_t plm_Init();
    void plm_SetMouseState(std::int32_t glove, std::uint32_t state);
    std::uint8_t plm_BendIndex();
    std::uint8_t plm_BendMiddle();
    std::uint8_t plm_BendRing();
    std::uint8_t plm_BendPinky();
    std::uint8_t plm_BendThumb();
    std::uint8_t plm_Button1();
    std::uint8_t plm_Button2();
    std::uint8_t plm_Button3();
    float plm_X();
    float plm_Y();
    float plm_Z();
    float plm_Yaw();
    float plm_Pitch();
    float plm_Roll();
    void plm_Close();
    void plm_SaveBendSensors(std::int32_t glove);
    void plm_CalibrateBendSensors(std::int32_t glove);
    void plm_CalibratePositionData(std::int32_t glove);

    bool loaded() const { return library_ != nullptr; }
    const std::filesystem::path& libraryPath() const { return path_; }

  private:
    void* resolve(std::size_t slot, const char* name);
    template <typename Fn> Fn bind(std::size_t slot, const char* name) {
        void* p = slots_[slot] ? slots_[slot] : resolve(slot, name);
        return reinterpret_cast<Fn>(p);
    }

    std::filesystem::path path_;
    void* library_ = nullptr;
    std::array<void*, 20> slots_{};
};

} // namespace vantaro
