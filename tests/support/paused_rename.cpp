// Preloaded into the program under test (LD_PRELOAD) to hold one save at its most delicate
// moment: the first rename() whose source path contains $VANTARO_PAUSE_RENAME makes the file
// $VANTARO_PAUSE_DIR/paused and waits until the test makes $VANTARO_PAUSE_DIR/go.
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int rename(const char* from, const char* to) {
    using Rename = int (*)(const char*, const char*);
    static const auto real = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "rename"));
    static std::atomic<bool> pausedOnce{false};
    const char* match = std::getenv("VANTARO_PAUSE_RENAME");
    const char* folder = std::getenv("VANTARO_PAUSE_DIR");
    if (match && folder && std::strstr(from, match) && !pausedOnce.exchange(true)) {
        const std::string paused = std::string(folder) + "/paused";
        const std::string go = std::string(folder) + "/go";
        ::close(::open(paused.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        while (::access(go.c_str(), F_OK) != 0) {
            const timespec step{0, 1000000};
            ::nanosleep(&step, nullptr);
        }
    }
    return real(from, to);
}
