#include "tools/replay.h"

#include "core/program_core.h"
#include "devices/scripted_joystick.h"

#include <charconv>
#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>
#include <vector>

namespace vantaro {

namespace {

// "fail CODE" makes every send return CODE; 0 gives the real output back. Refusals of the real
// output are counted.
class ScriptedOutput final : public MidiOutApi {
public:
    explicit ScriptedOutput(MidiOutApi& real) : real_(real) {}
    std::uint32_t midiOutGetNumDevs() override { return real_.midiOutGetNumDevs(); }
    MmResult midiOutGetDevCaps(std::uint32_t id, std::string& name) override {
        return real_.midiOutGetDevCaps(id, name);
    }
    MmResult midiOutOpen(MidiOutHandle* handle, std::uint32_t id) override {
        return real_.midiOutOpen(handle, id);
    }
    MmResult midiOutClose(MidiOutHandle handle) override { return real_.midiOutClose(handle); }
    MmResult midiOutShortMsg(MidiOutHandle handle, std::uint32_t message) override {
        if (failCode != 0) return failCode;
        const MmResult r = real_.midiOutShortMsg(handle, message);
        if (r != MMSYSERR_NOERROR) ++realFailures;
        return r;
    }

    MmResult failCode = 0;
    long long realFailures = 0;

private:
    MidiOutApi& real_;
};

// The MIDI error window has no screen here: the first real refusal is said on err, once; the
// count comes at the end. Failures a script asked for are what it wanted: nothing is said.
class ConsoleUi final : public UiPort {
public:
    ConsoleUi(std::ostream& err, const ScriptedOutput& output) : err_(err), output_(output) {}
    bool askYesNo(const std::string&) override { return false; }
    void showMessage(const std::string& text) override { err_ << "vantaro-replay: " << text << '\n'; }
    MidiErrorChoice showMidiError(const std::string& codeText) override {
        if (output_.failCode != 0) return MidiErrorChoice::Okay;
        err_ << "vantaro-replay: problem sending MIDI commands:" << codeText << '\n';
        return MidiErrorChoice::StopWarnings;
    }
    void endProgram() override {}

private:
    std::ostream& err_;
    const ScriptedOutput& output_;
};

// Without a counter the tick skips its lag measurement: a scripted run shows no lag.
class NoCounter final : public PerformanceCounter {
public:
    bool frequency(std::int64_t&) const override { return false; }
    bool read(std::int64_t&) const override { return false; }
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

// Six axis values from words first..first+5.
void readAxes(const Args& a, std::size_t first, JoyInfoEx& r) {
    std::uint32_t* axes[6] = {&r.dwXpos, &r.dwYpos, &r.dwZpos, &r.dwRpos, &r.dwUpos, &r.dwVpos};
    for (std::size_t k = 0; k < 6; ++k)
        *axes[k] = static_cast<std::uint32_t>(a.integer<std::int32_t>(first + k));
}

// One line, without its end; false at the end of the script. A line longer than the limit is
// malformed: reading it whole could take all memory (a script of endless bytes).
bool readLine(std::istream& in, std::string& line) {
    line.clear();
    for (int c; (c = in.get()) != std::char_traits<char>::eof();) {
        if (c == '\n') return true;
        if (line.size() == kMaxScriptLine)
            throw Malformed{"the line is longer than " + std::to_string(kMaxScriptLine) + " characters"};
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();
}

} // namespace

struct Replay::State {
    State(MidiOutApi* real, std::ostream& o, std::ostream& e, const std::filesystem::path& settings)
        : out(o), output(real ? *real : accepting), ui(e, output), printer(o),
          core(CoreDevices{joystick, output, inputs, nullptr}, views.views(), ui, clock,
               coreOptions(settings)) {
        core.start();
        core.setExpandedView(1); // the log is what the replay prints
        core.setLogListener(&printer);
    }

    ~State() { core.shutDown(); } // waits for the messages still on their way to a real port

    CoreOptions coreOptions(const std::filesystem::path& settings) {
        CoreOptions o;
        o.readOnlySettings = settings;
        o.openStoredDevices = false; // the script's joystick and the named output are the devices
        o.counter = &noCounter;
        return o;
    }

    void tick() {
        clock.advanceMs(1);
        ++printer.tick;
        core.tick();
        core.clearLog(); // lines were printed as they came; keep the buffer small
    }

    // A stick plugged in or pulled out, found by the program's own device check.
    void setJoystickPresent(bool present) {
        if (joystick.present == present) return;
        joystick.present = present;
        core.checkDevices();
        if (present && core.joystick().chosenPosition() < 0) core.selectJoystick(0);
    }

    void directive(const std::string& name, const Args& a) {
        if (name == "centre") {
            // As a calibration would: the centre the dead zones are measured from.
            a.expect(6);
            JoyInfoEx centres;
            readAxes(a, 1, centres);
            core.setCentres(centres);
        } else if (name == "width") {
            a.expect(1);
            core.setCentreWidth(a.integer<std::int32_t>(1), false);
        } else if (name == "hand") {
            a.expect(1);
            core.setHandThreshold(a.integer<std::int32_t>(1), false);
        } else if (name == "finger") {
            a.expect(1);
            core.setFingerThreshold(a.integer<std::int32_t>(1), false);
        } else if (name == "joy") {
            a.expect(8);
            JoyInfoEx r = joystick.reading;
            readAxes(a, 1, r);
            r.dwButtons = a.integer<std::uint32_t>(7);
            r.dwPOV = a.integer<std::uint32_t>(8);
            joystick.reading = r;
            setJoystickPresent(true);
        } else if (name == "nojoy") {
            a.expect(0);
            setJoystickPresent(false);
        } else if (name == "glove") {
            a.expect(11);
            std::array<std::uint8_t, 5> bends{};
            for (std::size_t k = 0; k < 5; ++k) {
                const int bend = a.integer<int>(k + 1);
                if (bend < 0 || bend > 255) throw Malformed{"a bend is 0..255"};
                bends[k] = static_cast<std::uint8_t>(bend);
            }
            std::array<float, 6> pose{};
            for (std::size_t k = 0; k < 6; ++k)
                pose[k] = static_cast<float>(a.real(k + 6));
            core.setGloveReadings(bends, pose);
        } else if (name == "describe") {
            a.expect(0);
            const ActionList& list = core.actionList();
            for (int i = 1; i <= list.actionCount; ++i)
                out << i << ": " << describeAction(list[i]) << '\n';
        } else if (name == "fail") {
            a.expect(1);
            output.failCode = a.integer<std::int16_t>(1);
        } else if (name == "wait") {
            a.expect(1);
            const double ms = a.real(1);
            if (ms < 0) throw Malformed{"time does not run backwards"};
            clock.advanceMs(ms);
        } else if (name == "tick") {
            if (a.size() > 1) a.expect(1);
            const long long n = a.size() == 1 ? a.integer<long long>(1) : 1;
            if (n < 0) throw Malformed{"a tick count is not negative"};
            if (n > kMaxTicks) throw Malformed{"at most " + std::to_string(kMaxTicks) + " ticks at a time"};
            for (long long i = 0; i < n; ++i)
                tick();
        } else {
            throw Malformed{"unknown directive '" + name + "'"};
        }
    }

    std::ostream& out;
    AcceptingMidiOut accepting;
    ScriptedOutput output;
    ConsoleUi ui;
    TickPrinter printer;
    ScriptedJoystick joystick;
    NoMidiInputs inputs;
    NoCounter noCounter;
    NullViews views;
    ManualClock clock{1000.0};
    ProgramCore core;
};

Replay::Replay(MidiOutApi* output, std::ostream& out, std::ostream& err,
               const std::filesystem::path& settings)
    : state_(std::make_unique<State>(output, out, err, settings)), err_(err) {}
Replay::~Replay() = default;

std::optional<std::string> Replay::loadActions(const std::filesystem::path& path) {
    return state_->core.playActionFile(path);
}

MmResult Replay::openOutput(std::uint32_t deviceId) {
    return state_->core.chooseOutput(static_cast<int>(deviceId));
}

long long Replay::failedSends() const {
    return state_->output.realFailures;
}

int Replay::run(std::istream& script) {
    std::string line;
    for (long lineNo = 1;; ++lineNo) {
        try {
            if (!readLine(script, line)) break;
            if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
            std::istringstream words(line);
            std::vector<std::string> w;
            for (std::string word; words >> word;)
                w.push_back(word);
            if (w.empty()) continue;
            const std::string name = w[0];
            state_->directive(name, Args(std::move(w)));
        } catch (const Malformed& m) {
            err_ << "vantaro-replay: line " << lineNo << ": " << m.what << '\n';
            return 2;
        }
    }
    if (script.bad()) {
        err_ << "vantaro-replay: the script could not be read\n";
        return 2;
    }
    return 0;
}

} // namespace vantaro
