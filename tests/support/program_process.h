#pragma once
// A program of this build run as a process of its own, from a folder of its own (which therefore
// holds its data files), with no display and none of the desktop's folders, its output going to a
// log file in that folder; and the socket a service manager offers for its readiness.
#include "support/temp_folder.h"
#include "support/wait.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace vantaro::test {

// The socket a service manager offers for the program's readiness (NOTIFY_SOCKET).
class NotifySocket {
public:
    explicit NotifySocket(const std::filesystem::path& path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path_.size() >= sizeof address.sun_path) return;
        std::memcpy(address.sun_path, path_.c_str(), path_.size());
        bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::close(fd_); }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    bool bound() const { return bound_; }
    // The variable that offers it to a program.
    std::string variable() const { return "NOTIFY_SOCKET=" + path_; }
    // Whether "READY=1" has come (reads what is waiting, never blocks).
    bool ready() {
        char message[256];
        for (ssize_t n; (n = ::recv(fd_, message, sizeof message, 0)) > 0;) {
            const std::string_view text(message, static_cast<std::size_t>(n));
            if (text.find("READY=1") != std::string_view::npos) ready_ = true;
        }
        return ready_;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool bound_ = false;
    bool ready_ = false;
};

class ProgramProcess {
public:
    // program: the file name in the build's bin folder; env: NAME=value entries set on top of
    // this process's environment, from which the display variables are taken out; binFolder: the
    // folder under the test's folder that holds the binary ("bin" for an installed program's layout).
    ProgramProcess(const TempFolder& folder, const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env, const std::string& binFolder = {})
        : log_(folder / (program + ".log")) {
        std::filesystem::create_directories(folder / binFolder);
        const std::filesystem::path binary = folder / binFolder / program;
        std::error_code ec;
        std::filesystem::create_hard_link(std::filesystem::path(std::getenv("VANTARO_BIN")) / program, binary,
                                          ec);
        if (ec)
            std::filesystem::copy_file(std::filesystem::path(std::getenv("VANTARO_BIN")) / program, binary);

        // Everything the child needs is made before fork: it only runs async-signal-safe calls.
        for (char** e = environ; *e; ++e) {
            const std::string_view entry = *e;
            bool kept = true;
            for (std::string_view dropped :
                 {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "XDG_", "HOME=", "NOTIFY_SOCKET="})
                kept = kept && entry.rfind(dropped, 0) != 0;
            for (const std::string& set : env)
                kept = kept && entry.rfind(set.substr(0, set.find('=') + 1), 0) != 0;
            if (kept) env_.emplace_back(entry);
        }
        env_.insert(env_.end(), env.begin(), env.end());
        args_.push_back(program);
        args_.insert(args_.end(), args.begin(), args.end());
        std::vector<char*> argv, envp;
        for (std::string& a : args_)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string& e : env_)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string path = binary.string();

        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives a test that crashes
            const int out = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::execve(path.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
    }
    ~ProgramProcess() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    std::string log() const { return fileBytes(log_); }
    // Waits until the program has its own handler for sig.
    bool handles(int sig) {
        return waitUntil(
            [&] {
                const std::string text = fileBytes("/proc/" + std::to_string(pid_) + "/status");
                const auto at = text.find("SigCgt:");
                if (!running() || at == std::string::npos) return false;
                return (std::stoull(text.substr(at + 7), nullptr, 16) >> (sig - 1) & 1) != 0;
            },
            30000);
    }
    // Sends sig (none: 0) and waits up to limit for the program to end: its wait status, or
    // nothing while it still runs.
    std::optional<int> endWith(int sig, std::chrono::milliseconds limit) {
        send(sig);
        waitUntil([&] { return !running(); }, static_cast<int>(limit.count()),
                  [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); });
        return status_;
    }
    void send(int sig) {
        if (sig != 0 && running()) ::kill(pid_, sig);
    }
    // SIGALRM waits on the program's main thread (held back there) while the program runs.
    bool alarmWaiting() {
        const std::string text =
            fileBytes("/proc/" + std::to_string(pid_) + "/task/" + std::to_string(pid_) + "/status");
        const auto at = text.find("SigPnd:");
        if (!running() || at == std::string::npos) return false;
        return (std::stoull(text.substr(at + 7), nullptr, 16) >> (SIGALRM - 1) & 1) != 0;
    }

    bool running() {
        if (status_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        status_ = status;
        pid_ = 0;
        return false;
    }

private:
    std::filesystem::path log_;
    std::vector<std::string> args_, env_;
    pid_t pid_ = 0;
    std::optional<int> status_;
};

// "exit status 0", "killed by Terminated", ...
inline std::string describeStatus(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string("killed by ") + strsignal(WTERMSIG(status));
    return "wait status " + std::to_string(status);
}

} // namespace vantaro::test
