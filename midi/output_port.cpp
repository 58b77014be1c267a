#include "midi/output_port.h"

#include "engine/numbers.h"
#include "midi/port_name.h"

#include <algorithm>
#include <cstring>

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

void OutputPort::show() {
    fillList();
    showWanted();
}

void OutputPort::fillList() {
    view_.clear();
    for (const std::string& name : names_)
        view_.addItem(name);
}

void OutputPort::showWanted() {
    if (wantedName_.empty()) return;
    // A wanted device that is away stays in sight, after the real ones, as the choice.
    if (!wantedPresent_) view_.addItem(wantedName_);
    view_.setCurrentIndex(wantedPresent_ ? wantedPosition() : static_cast<int>(names_.size()));
}

int OutputPort::listDevices(std::optional<std::int16_t> stored,
                            const std::optional<std::string>& storedName) {
    names_ = readNames();
    fillList();
    if (storedName && !storedName->empty()) {
        const int p = findPort(names_, *storedName, stored.value_or(-1));
        if (p >= 0) return select(p), 0;
        wantedName_ = portBaseName(*storedName);
        wantedEntry_.clear();
        wantedPosition_ = stored.value_or(-1);
        wantedPresent_ = false;
        showWanted();
        return 0;
    }
    if (!stored) return kOverflowError;
    if (*stored >= 0 && *stored < static_cast<int>(names_.size())) select(*stored);
    return 0;
}

bool OutputPort::select(int position) {
    const int devices = static_cast<int>(names_.size());
    if (position == devices && !wantedPresent_ && !wantedName_.empty()) return true; // the one away: wait on
    if (position < 0 || position >= devices) return false;
    int p = position;
    for (;;) {
        view_.setCurrentIndex(p);
        chosenDevice_ = p;
        lastResult_ = sender_.open(static_cast<std::uint32_t>(p));
        if (lastResult_ == MMSYSERR_NOERROR) break;
        // On to the next real device: the program's own port is never taken for one that
        // failed, since nothing may listen there.
        int next = p + 1;
        while (next < devices && names_[static_cast<std::size_t>(next)] == kVirtualOutputName)
            ++next;
        if (next >= devices) {
            ui_.showMessage("Couldn't open midi out, rc = " + std::to_string(lastResult_));
            break;
        }
        p = next;
    }
    wantedEntry_ = names_[static_cast<std::size_t>(p)];
    wantedName_ = portBaseName(wantedEntry_);
    wantedPosition_ = p;
    wantedPresent_ = true;
    // The entry of a device that was away is gone now that another one is chosen.
    if (view_.count() != devices) show();
    chosenDevice_ = view_.currentIndex();
    return true;
}

bool OutputPort::refresh(bool restarted) {
    std::vector<std::string> names = readNames();
    if (names == names_ && !restarted) return false;
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
    show();
    // The port it writes to is still there. (One that left and came back since the last look has
    // other sequencer numbers: it is a new port.)
    if (p < 0 || (wasPresent && !restarted && sender_.isOpen() && wantedEntry_ == openEntry)) return false;
    // Back after being away, or every port is new: open it again, and only it.
    lastResult_ = sender_.open(static_cast<std::uint32_t>(p));
    return lastResult_ == MMSYSERR_NOERROR;
}

void OutputPort::lose() {
    sender_.close();
    wantedPresent_ = false;
}

void OutputPort::close() {
    sender_.close();
}

} // namespace vantaro
