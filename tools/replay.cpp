#include "tools/replay.h"

#include "devices/glove.h"
#include "devices/joystick.h"
#include "engine/texts.h"
#include "storage/file_io.h"
#include "storage/record_codec.h"

#include <charconv>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

namespace vantaro {

std::optional<std::string> loadReplayActions(const std::filesystem::path& path, ActionList& list) {
    // Read through the helper that refuses FIFOs and devices: an ifstream would wait on a FIFO forever.
    const std::optional<FileHead> head = readFileHead(path, (kMaxActions + 1) * kRecordBytes);
    if (!head) return "cannot open " + path.string() + " (not a readable file)";
    std::istringstream in(head->bytes);
    const auto size = head->size;
    if (size % kRecordBytes != 0)
        return path.string() + ": length " + std::to_string(size) +
               " is not a whole number of 84-byte records";
    const auto count = size / kRecordBytes;
    if (count > static_cast<std::uintmax_t>(kMaxActions))
        return path.string() + ": " + std::to_string(count) + " records, at most 999 can be used";
    ActionList loaded;
    for (std::uintmax_t n = 1; n <= count; ++n) {
        std::array<std::uint8_t, kRecordBytes> bytes{};
        if (!in.read(reinterpret_cast<char*>(bytes.data()), bytes.size()))
            return "cannot read record " + std::to_string(n) + " of " + path.string();
        ActionRecord r = decodeRecord(bytes);
        if (r.recordVersion != kRecordVersion)
            return path.string() + ": record " + std::to_string(n) + " has version " +
                   std::to_string(r.recordVersion) + ", not 3";
        loaded[static_cast<int>(n)] = r;
    }
    loaded.actionCount = static_cast<std::int16_t>(count);
    list = loaded;
    return std::nullopt;
}

namespace {

// "fail CODE" overrides the result of every send; 0 gives the real output back.
class ScriptedSender final : public ShortMessageSender {
public:
    explicit ScriptedSender(ShortMessageSender& real) : real_(real) {}
    std::int16_t sendShortMessage(std::uint32_t message) override {
        return failCode == 0 ? real_.sendShortMessage(message) : failCode;
    }
    std::int16_t failCode = 0;

private:
    ShortMessageSender& real_;
};

// Prints each engine log line with the number of the tick that made it.
class TickPrinter final : public MessageLog::Listener {
public:
    explicit TickPrinter(std::ostream& out) : out_(out) {}
    void lineAdded(std::string_view line) override { out_ << tick << ' ' << line << '\n'; }
    long long tick = 0;

private:
    std::ostream& out_;
};

struct Malformed {
    std::string what;
};

class Args {
public:
    explicit Args(std::vector<std::string> words) : words_(std::move(words)) {}
    std::size_t size() const { return words_.size() - 1; }
    void expect(std::size_t n) const {
        if (size() != n)
            throw Malformed{"'" + words_[0] + "' takes " + std::to_string(n) + " values, got " +
                            std::to_string(size())};
    }
    template <typename T> T integer(std::size_t i) const {
        const std::string& w = words_.at(i);
        T v{};
        auto [p, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
        if (ec != std::errc{} || p != w.data() + w.size())
            throw Malformed{"'" + w + "' is not a valid number here"};
        return v;
    }
    double real(std::size_t i) const {
        const std::string& w = words_.at(i);
        double v{};
        auto [p, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
        if (ec != std::errc{} || p != w.data() + w.size()) throw Malformed{"'" + w + "' is not a number"};
        return v;
    }

private:
    std::vector<std::string> words_;
};

} // namespace

struct Replay::State {
    ActionList& list;
    std::ostream& out;
    ScriptedSender sender;
    TickPrinter printer;
    ActionRecord capture;
    JoystickState joystick;
    GloveState glove;
    std::int16_t expandedView = 1; // the log is what the replay prints
    MessageLog log;
    ManualClock clock{1000.0};
    ActionEngine engine;
    EngineIo io{list, capture, joystick, glove, expandedView, log, clock, sender};
    bool joystickListed = false;

    State(ActionList& l, ShortMessageSender& s, std::ostream& o) : list(l), out(o), sender(s), printer(o) {
        capture.povDirection = kPovCentred;
        log.setListener(&printer);
    }

    void pollJoystick() {
        if (!joystickListed) {
            capture.povDirection = kPovCentred;
            return;
        }
        const JoyInfoEx& r = joystick.joystickReading;
        capture.povDirection = static_cast<std::int32_t>(r.dwPOV);
        capture.buttonMask = static_cast<std::int32_t>(r.dwButtons);
        capture.axisMask = offCentreMask(r, joystick.calibrationCentre, joystick.centreWidth);
    }

    void tick() {
        clock.advanceMs(1);
        ++printer.tick;
        pollJoystick();
        if (glove.glovePresent != 0) deriveGloveGesture(glove, capture);
        engine.actions(io);
        log.clear(); // lines were printed as they came; keep the buffer small
    }

    void directive(const std::string& name, const Args& a) {
        if (name == "centre") {
            a.expect(6);
            JoyInfoEx& c = joystick.calibrationCentre;
            std::uint32_t* axes[6] = {&c.dwXpos, &c.dwYpos, &c.dwZpos, &c.dwRpos, &c.dwUpos, &c.dwVpos};
            for (std::size_t k = 0; k < 6; ++k)
                *axes[k] = static_cast<std::uint32_t>(a.integer<std::int32_t>(k + 1));
        } else if (name == "width") {
            a.expect(1);
            joystick.centreWidth = a.integer<std::int32_t>(1);
        } else if (name == "hand") {
            a.expect(1);
            glove.handThreshold = a.integer<std::int32_t>(1);
        } else if (name == "finger") {
            a.expect(1);
            glove.fingerThreshold = a.integer<std::int32_t>(1);
        } else if (name == "joy") {
            a.expect(8);
            JoyInfoEx& r = joystick.joystickReading;
            std::uint32_t* axes[6] = {&r.dwXpos, &r.dwYpos, &r.dwZpos, &r.dwRpos, &r.dwUpos, &r.dwVpos};
            for (std::size_t k = 0; k < 6; ++k)
                *axes[k] = static_cast<std::uint32_t>(a.integer<std::int32_t>(k + 1));
            r.dwButtons = a.integer<std::uint32_t>(7);
            r.dwPOV = a.integer<std::uint32_t>(8);
            joystickListed = true;
        } else if (name == "nojoy") {
            a.expect(0);
            joystickListed = false;
        } else if (name == "glove") {
            a.expect(11);
            for (std::size_t k = 0; k < 5; ++k) {
                const int bend = a.integer<int>(k + 1);
                if (bend < 0 || bend > 255) throw Malformed{"a bend is 0..255"};
                glove.gloveBends[k] = static_cast<std::uint8_t>(bend);
            }
            for (std::size_t k = 0; k < 6; ++k)
                glove.glovePose[k] = static_cast<float>(a.real(k + 6));
            glove.gloveButtons = {};
            glove.glovePresent = 1;
        } else if (name == "describe") {
            a.expect(0);
            for (int i = 1; i <= list.actionCount; ++i)
                out << i << ": " << describeAction(list[i]) << '\n';
        } else if (name == "fail") {
            a.expect(1);
            sender.failCode = a.integer<std::int16_t>(1);
        } else if (name == "wait") {
            a.expect(1);
            const double ms = a.real(1);
            if (ms < 0) throw Malformed{"time does not run backwards"};
            clock.advanceMs(ms);
        } else if (name == "tick") {
            if (a.size() > 1) a.expect(1);
            const long long n = a.size() == 1 ? a.integer<long long>(1) : 1;
            if (n < 0) throw Malformed{"a tick count is not negative"};
            for (long long i = 0; i < n; ++i)
                tick();
        } else {
            throw Malformed{"unknown directive '" + name + "'"};
        }
    }
};

Replay::Replay(ActionList& list, ShortMessageSender& sender, std::ostream& out)
    : state_(new State(list, sender, out)) {}
Replay::~Replay() {
    delete state_;
}

int Replay::run(std::istream& script, std::ostream& err) {
    std::string line;
    for (long lineNo = 1; std::getline(script, line); ++lineNo) {
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;)
            w.push_back(word);
        if (w.empty()) continue;
        const std::string name = w[0];
        try {
            state_->directive(name, Args(std::move(w)));
        } catch (const Malformed& m) {
            err << "vantaro-replay: line " << lineNo << ": " << m.what << '\n';
            return 2;
        }
    }
    return 0;
}

} // namespace vantaro
