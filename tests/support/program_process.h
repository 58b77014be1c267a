#pragma once
// The real program binary, run from a folder of its own (which therefore holds its files), with
// its output in a log file there and a socket to report its readiness on, as a service manager
// offers one.
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
#include <cstdlib>
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
    const std::string& path() const { return path_; }
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
    // env: NAME=value entries that replace the inherited ones; args follow the program's name.
    // HOME is the folder's "home", and Qt draws on the offscreen platform.
    explicit ProgramProcess(const TempFolder& folder, std::vector<std::string> env = {},
                            const std::vector<std::string>& args = {})
        : log_(folder / "vantaro.log"), notify_(folder / "notify") {
        const std::filesystem::path built = std::filesystem::path(std::getenv("VANTARO_BIN")) / "vantaro";
        const std::filesystem::path binary = folder / "vantaro";
        std::error_code ec;
        std::filesystem::create_hard_link(built, binary, ec);
        if (ec) std::filesystem::copy_file(built, binary);

        // Everything the child needs is made before fork: it only runs async-signal-safe calls.
        env.push_back("HOME=" + (folder / "home").string());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("NOTIFY_SOCKET=" + notify_.path());
        const auto given = [&](std::string_view entry) {
            for (const std::string& e : env)
                if (entry.substr(0, entry.find('=') + 1) == std::string_view(e).substr(0, e.find('=') + 1))
                    return true;
            return entry.rfind("XDG_", 0) == 0;
        };
        for (char** e = environ; *e; ++e)
            if (!given(*e)) env.emplace_back(*e);
        env_ = std::move(env);
        std::vector<char*> envp;
        for (std::string& e : env_)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        args_ = args;
        std::vector<char*> argv{const_cast<char*>("vantaro")};
        for (std::string& a : args_)
            argv.push_back(a.data());
        argv.push_back(nullptr);
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

    // Waits until the program has its own handler for sig, which it sets up right after the
    // application object, before the splash window.
    bool handles(int sig) {
        const std::string status = "/proc/" + std::to_string(pid_) + "/status";
        return waitUntil(
            [&] {
                const std::string text = fileBytes(status);
                const auto at = text.find("SigCgt:");
                if (!running() || at == std::string::npos) return false;
                return (std::stoull(text.substr(at + 7), nullptr, 16) >> (sig - 1) & 1) != 0;
            },
            30000);
    }

    // Sends sig and waits up to limit for the program to end: its wait status, or nothing while it
    // still runs.
    std::optional<int> endWith(int sig, std::chrono::milliseconds limit) {
        ::kill(pid_, sig);
        waitUntil([&] { return !running(); }, static_cast<int>(limit.count()),
                  [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); });
        return status_;
    }

    // Waits until the program reports that start-up is done; false when it ended first (or the
    // socket could not be offered).
    bool waitReady(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        if (!notify_.bound()) return false;
        waitUntil([&] { return !running() || notify_.ready(); }, static_cast<int>(limit.count()),
                  [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); });
        return running() && notify_.ready();
    }
    bool reportedReady() { return notify_.ready(); }

    bool running() {
        if (status_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        status_ = status;
        pid_ = 0;
        return false;
    }

    std::string log() const { return fileBytes(log_); }

    static std::string describe(int status) {
        if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
        if (WIFSIGNALED(status)) return std::string("killed by ") + strsignal(WTERMSIG(status));
        return "wait status " + std::to_string(status);
    }

private:
    std::filesystem::path log_;
    NotifySocket notify_;
    std::vector<std::string> env_, args_;
    pid_t pid_ = 0;
    std::optional<int> status_;
};

} // namespace vantaro::test
