#include "midi/output_port.h"

#include "midi/port_name.h"

#include <algorithm>

namespace vantaro {

std::vector<std::string> OutputPort::readNames() {
    MidiOutApi& api = sender_.api();
    const auto n = static_cast<std::int16_t>(api.midiOutGetNumDevs());
    std::vector<std::string> names;
    for (std::int16_t id = 0; id < n; ++id) {
        std::string name;
        // Every id gets an entry, so list positions and device ids stay equal.
        (void)api.midiOutGetDevCaps(static_cast<std::uint32_t>(id), name);
        names.push_back(name);
    }
    return names;
}

int OutputPort::wantedPosition() const {
    return findPort(names_, wantedEntry_.empty() ? wantedName_ : wantedEntry_, wantedPosition_);
}

std::vector<std::string> OutputPort::entries() const {
    std::vector<std::string> shown = names_;
    // A wanted device that is away stays in sight, after the real ones, as the choice.
    if (!wantedName_.empty() && !wantedPresent_) shown.push_back(wantedName_);
    return shown;
}

int OutputPort::shownEntry() const {
    if (!wantedName_.empty() && !wantedPresent_) return static_cast<int>(names_.size());
    return chosenDevice_;
}

OutputPort::Listed OutputPort::listDevices(std::optional<std::int16_t> stored,
                                           const std::optional<std::string>& storedName) {
    names_ = readNames();
    if (storedName && !storedName->empty()) {
        const int p = findPort(names_, *storedName, stored.value_or(-1));
        if (p >= 0) return {false, select(p)};
        wantedName_ = portBaseName(*storedName);
        wantedEntry_.clear();
        wantedPosition_ = stored.value_or(-1);
        wantedPresent_ = false;
        return {false, Opened::Waiting};
    }
    if (!stored) return {true, Opened::NotListed};
    if (*stored >= 0 && *stored < static_cast<int>(names_.size())) return {false, select(*stored)};
    return {};
}

OutputPort::Opened OutputPort::select(int position, bool moveOn) {
    const int devices = static_cast<int>(names_.size());
    if (position == devices && !wantedPresent_ && !wantedName_.empty()) return Opened::Waiting;
    if (position < 0 || position >= devices) return Opened::NotListed;
    int p = position;
    Opened opened = Opened::Yes;
    for (;;) {
        chosenDevice_ = p;
        lastResult_ = sender_.open(static_cast<std::uint32_t>(p));
        if (lastResult_ == MMSYSERR_NOERROR) break;
        // On to the next real device: the program's own port is never taken for one that
        // failed, since nothing may listen there.
        int next = p + 1;
        while (next < devices && names_[static_cast<std::size_t>(next)] == kVirtualOutputName)
            ++next;
        if (!moveOn || next >= devices) {
            opened = Opened::None;
            break;
        }
        p = next;
    }
    wantedEntry_ = names_[static_cast<std::size_t>(p)];
    wantedName_ = portBaseName(wantedEntry_);
    wantedPosition_ = p;
    wantedPresent_ = true;
    return opened;
}

OutputPort::Refreshed OutputPort::refresh(bool restarted) {
    std::vector<std::string> names = readNames();
    if (names == names_ && !restarted) return Refreshed::Unchanged;
    const bool wasPresent = wantedPresent_;
    const std::string openEntry = wantedEntry_;
    names_ = std::move(names);
    const int p = wantedName_.empty() ? -1 : wantedPosition();
    wantedPresent_ = p >= 0;
    if (wantedPresent_) {
        wantedEntry_ = names_[static_cast<std::size_t>(p)];
        wantedPosition_ = p;
    }
    chosenDevice_ = p;
    // The port it writes to is still there. (One that left and came back since the last look has
    // other sequencer numbers: it is a new port.)
    if (p < 0 || (wasPresent && !restarted && sender_.isOpen() && wantedEntry_ == openEntry))
        return Refreshed::Unchanged;
    // Back after being away, or every port is new: open it again, and only it.
    lastResult_ = sender_.open(static_cast<std::uint32_t>(p));
    return lastResult_ == MMSYSERR_NOERROR ? Refreshed::Reopened : Refreshed::ReopenFailed;
}

void OutputPort::lose() {
    sender_.close();
    wantedPresent_ = false;
}

void OutputPort::close() {
    sender_.close();
}

} // namespace vantaro
