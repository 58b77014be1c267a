// The glove bridge as the program meets it: the built shared library, loaded with dlopen.
#include "palmlet/sdk/p5sim.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kExports = {"plm_Init",
                                           "plm_SetMouseState",
                                           "plm_BendIndex",
                                           "plm_BendMiddle",
                                           "plm_BendRing",
                                           "plm_BendPinky",
                                           "plm_BendThumb",
                                           "plm_Button1",
                                           "plm_Button2",
                                           "plm_Button3",
                                           "plm_X",
                                           "plm_Y",
                                           "plm_Z",
                                           "plm_Yaw",
                                           "plm_Pitch",
                                           "plm_Roll",
                                           "plm_Close",
                                           "plm_SaveBendSensors",
                                           "plm_CalibrateBendSensors",
                                           "plm_CalibratePositionData"};

std::filesystem::path libraryPath() {
    const char* bin = std::getenv("VANTARO_BIN");
    std::filesystem::path dir = bin ? bin : std::filesystem::read_symlink("/proc/self/exe").parent_path();
    return dir / "libpalmlet.so";
}

std::vector<std::string> recordedCalls() {
    std::vector<std::string> calls;
    for (int i = 0; i < p5sim_call_count(); ++i)
        calls.emplace_back(p5sim_call(i));
    return calls;
}

// Names of the symbols the library file defines for other modules.
std::set<std::string> definedDynamicSymbols(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (image.size() < sizeof(Elf64_Ehdr)) return names;
    const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(image.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(image.data() + eh->e_shoff);
    for (int s = 0; s < eh->e_shnum; ++s) {
        if (sections[s].sh_type != SHT_DYNSYM) continue;
        const char* strings = image.data() + sections[sections[s].sh_link].sh_offset;
        const auto* syms = reinterpret_cast<const Elf64_Sym*>(image.data() + sections[s].sh_offset);
        const std::size_t count = sections[s].sh_size / sizeof(Elf64_Sym);
        for (std::size_t i = 0; i < count; ++i) {
            const int bind = ELF64_ST_BIND(syms[i].st_info);
            if (syms[i].st_shndx != SHN_UNDEF && (bind == STB_GLOBAL || bind == STB_WEAK))
                names.insert(strings + syms[i].st_name);
        }
    }
    return names;
}

class Palmlet : public ::testing::Test {
  protected:
    void SetUp() override {
        p5sim_reset();
        handle = dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
    }
    void TearDown() override {
        if (handle) dlclose(handle);
    }
    template <typename Fn> Fn fn(const char* name) {
        void* p = dlsym(handle, name);
        EXPECT_NE(p, nullptr) << name;
        return reinterpret_cast<Fn>(p);
    }
    std::uint8_t byte(const char* name) { return fn<std::uint8_t (*)()>(name)(); }
    float single(const char* name) { return fn<float (*)()>(name)(); }

    void* handle = nullptr;
};

TEST(PalmletLibrary, ExportsExactlyTheTwentyBridgeFunctions) {
    const auto file = libraryPath();
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    for (const auto& name : kExports)
        EXPECT_NE(dlsym(handle, name.c_str()), nullptr) << name;
    dlclose(handle);

    const std::set<std::string> expected(kExports.begin(), kExports.end());
    EXPECT_EQ(definedDynamicSymbols(file), expected);
}

TEST(PalmletLibrary, LoadingAndUnloadingMakesAndEndsTheGloveObjectOnce) {
    const int made = p5sim_constructed();
    const int ended = p5sim_destroyed();
    void* handle = dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_EQ(p5sim_constructed(), made + 1);
    EXPECT_EQ(p5sim_destroyed(), ended);

    // A second load of the same library shares the one object.
    void* again = dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_EQ(again, handle);
    dlclose(again);
    EXPECT_EQ(p5sim_constructed(), made + 1);
    EXPECT_EQ(p5sim_destroyed(), ended);

    dlclose(handle);
    EXPECT_EQ(dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "library still loaded";
    EXPECT_EQ(p5sim_constructed(), made + 1);
    EXPECT_EQ(p5sim_destroyed(), ended + 1);
    EXPECT_EQ(p5sim_call_count(), 0) << "loading alone calls nothing in the SDK";
}

TEST_F(Palmlet, InitReportsWhetherOneGloveIsReady) {
    auto init = fn<std::uint32_t (*)()>("plm_Init");
    EXPECT_EQ(init(), 0u);
    p5sim_attach(1);
    EXPECT_EQ(init(), 1u);
    EXPECT_EQ(recordedCalls(), (std::vector<std::string>{"P5_Init", "P5_Init"}));
}

TEST_F(Palmlet, ControlCallsReachTheSdkWithTheirArguments) {
    p5sim_attach(1);
    fn<std::uint32_t (*)()>("plm_Init")();
    fn<void (*)(std::int32_t, std::uint32_t)>("plm_SetMouseState")(0, 0);
    fn<void (*)(std::int32_t, std::uint32_t)>("plm_SetMouseState")(1, 1);
    fn<void (*)(std::int32_t)>("plm_SaveBendSensors")(2);
    fn<void (*)(std::int32_t)>("plm_CalibrateBendSensors")(3);
    fn<void (*)(std::int32_t)>("plm_CalibratePositionData")(0);
    fn<void (*)()>("plm_Close")();
    EXPECT_EQ(recordedCalls(),
              (std::vector<std::string>{"P5_Init", "P5_SetMouseState 0 0", "P5_SetMouseState 1 1",
                                        "P5_SaveBendSensors 2", "P5_CalibrateBendSensors 3",
                                        "P5_CalibratePositionData 0", "P5_Close"}));
}

TEST_F(Palmlet, EachQueryReadsItsOwnField) {
    p5sim_attach(1);
    ASSERT_EQ(fn<std::uint32_t (*)()>("plm_Init")(), 1u);
    p5sim_set_bends(11, 22, 33, 44, 55);
    p5sim_set_buttons(1, 0, 200);
    p5sim_set_pose(-480.25f, 12.5f, 301.0f, -89.5f, 45.75f, 3.0f);

    EXPECT_EQ(byte("plm_BendIndex"), 11);
    EXPECT_EQ(byte("plm_BendMiddle"), 22);
    EXPECT_EQ(byte("plm_BendRing"), 33);
    EXPECT_EQ(byte("plm_BendPinky"), 44);
    EXPECT_EQ(byte("plm_BendThumb"), 55);
    EXPECT_EQ(byte("plm_Button1"), 1);
    EXPECT_EQ(byte("plm_Button2"), 0);
    EXPECT_EQ(byte("plm_Button3"), 200);
    EXPECT_FLOAT_EQ(single("plm_X"), -480.25f);
    EXPECT_FLOAT_EQ(single("plm_Y"), 12.5f);
    EXPECT_FLOAT_EQ(single("plm_Z"), 301.0f);
    EXPECT_FLOAT_EQ(single("plm_Yaw"), -89.5f);
    EXPECT_FLOAT_EQ(single("plm_Pitch"), 45.75f);
    EXPECT_FLOAT_EQ(single("plm_Roll"), 3.0f);

    // Readings follow the glove with no update call in between.
    p5sim_set_bends(63, 0, 0, 0, 7);
    EXPECT_EQ(byte("plm_BendIndex"), 63);
    EXPECT_EQ(byte("plm_BendThumb"), 7);
}

TEST_F(Palmlet, CentringMakesTheCurrentHandPositionTheOrigin) {
    p5sim_attach(1);
    fn<std::uint32_t (*)()>("plm_Init")();
    p5sim_set_pose(100.0f, -50.0f, 20.0f, 0, 0, 0);
    fn<void (*)(std::int32_t)>("plm_CalibratePositionData")(0);
    EXPECT_FLOAT_EQ(single("plm_X"), 0.0f);
    EXPECT_FLOAT_EQ(single("plm_Y"), 0.0f);
    p5sim_set_pose(130.0f, -50.0f, 0.0f, 0, 0, 0);
    EXPECT_FLOAT_EQ(single("plm_X"), 30.0f);
    EXPECT_FLOAT_EQ(single("plm_Z"), -20.0f);
}

} // namespace
