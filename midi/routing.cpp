#include "midi/routing.h"

#include "midi/port_name.h"

#include <charconv>

namespace vantaro {

namespace {
constexpr std::int16_t kActiveSensing = 254;

// Upper-case hexadecimal without leading zeros; returns the end of what was written.
char* hexText(char* out, std::int16_t value) {
    char* end = std::to_chars(out, out + 8, static_cast<unsigned>(static_cast<std::uint16_t>(value)), 16).ptr;
    for (char* c = out; c != end; ++c)
        if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
    return end;
}
} // namespace

Routing::~Routing() {
    closeAll();
}

std::vector<std::string> Routing::inputNames() {
    const auto n = static_cast<std::int16_t>(io_.inputs.midiInGetNumDevs());
    // Ports past the last slot cannot be routed, so they are not offered.
    const int shown = n < kSlots ? n : kSlots;
    std::vector<std::string> names;
    for (int id = 0; id < shown; ++id) {
        std::string name;
        (void)io_.inputs.midiInGetDevCaps(static_cast<std::uint32_t>(id), name);
        names.push_back(name);
    }
    return names;
}

RoutePickerList Routing::loadPicker() {
    RoutePickerList list;
    list.names = pickerNames_ = inputNames();
    for (std::size_t id = 0; id < list.names.size(); ++id)
        list.selected.push_back(routeSelected_[id]);
    return list;
}

void Routing::confirmPicker(const std::vector<bool>& selected) {
    const int count = static_cast<int>(selected.size()) < kSlots ? static_cast<int>(selected.size()) : kSlots;
    routed_.clear();
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const bool on = selected[at];
        routeSelected_[at] = on;
        if (on) {
            openRoutePort(i);
            if (at < pickerNames_.size()) routed_.push_back({slots_[at].portName = pickerNames_[at], i});
        } else {
            closeSlot(slots_[at]);
        }
    }
}

void Routing::closeSlot(Slot& slot) {
    if (slot.reader && slot.reader->state() >= 1) slot.reader->command(MidiInReader::Close);
    slot.portName.clear();
}

void Routing::refresh(bool restarted) {
    if (routed_.empty()) return;
    const std::vector<std::string> names = inputNames();
    std::array<bool, kSlots> wantedAt{};
    for (RoutedPort& r : routed_) {
        const int p = findPort(names, r.name, r.position);
        if (p < 0) continue;
        wantedAt[static_cast<std::size_t>(p)] = true;
        r = {names[static_cast<std::size_t>(p)], p};
    }
    for (int i = 0; i < kSlots; ++i) {
        const auto at = static_cast<std::size_t>(i);
        Slot& slot = slots_[at];
        const std::string* name = at < names.size() ? &names[at] : nullptr;
        const bool wanted = wantedAt[at];
        const bool openOnIt = slot.reader && slot.reader->state() >= 1 && name && slot.portName == *name;
        routeSelected_[at] = wanted;
        if (wanted && (restarted || !openOnIt)) {
            openRoutePort(i);
            slot.portName = *name;
        } else if (!wanted && !slot.portName.empty()) {
            closeSlot(slot);
        }
    }
}

void Routing::openRoutePort(int n) {
    if (n < 0 || n >= kSlots) return;
    Slot& slot = slots_[static_cast<std::size_t>(n)];
    if (!slot.reader) {
        slot.reader = io_.inputs.createReader();
        slot.reader->onArrival = [this, n] { messageArrived(n); };
        slot.reader->onError = [this](std::int32_t, const std::string& text) {
            if (io_.readerFailed) io_.readerFailed(text);
        };
    }
    MidiInReader& r = *slot.reader;
    if (r.state() >= 1) r.command(MidiInReader::Close);
    r.setPortIndex(n);
    r.command(MidiInReader::Open);
    r.command(MidiInReader::Start);
    r.ignoreStatus(kActiveSensing, true);
}

void Routing::messageArrived(int n) {
    if (n < 0 || n >= kSlots) return;
    Slot& slot = slots_[static_cast<std::size_t>(n)];
    // Re-entered from a yield below: the running loop forwards these too, in order.
    if (!slot.reader || slot.forwarding) return;
    slot.forwarding = true;
    const auto yield = [this] {
        if (io_.yieldToMessageLoop) io_.yieldToMessageLoop();
    };
    while (slot.reader && slot.reader->pendingCount() > 0) {
        yield();
        // The port may have been closed, reopened or released while the loop was away.
        if (!slot.reader || slot.reader->pendingCount() == 0) break;
        const std::int16_t s = slot.reader->status();
        const std::int16_t d1 = slot.reader->data1();
        const std::int16_t d2 = slot.reader->data2();
        slot.reader->command(MidiInReader::RemoveCurrent);
        // A failed send is reported by the sender; the message is dropped and we go on.
        (void)io_.sender.sendShortMessage(packShortMessage(
            static_cast<std::uint32_t>(s), static_cast<std::uint32_t>(d1), static_cast<std::uint32_t>(d2)));
        if (io_.expandedView) logForward(s, d1, d2);
        yield();
    }
    slot.forwarding = false;
}

void Routing::logForward(std::int16_t s, std::int16_t d1, std::int16_t d2) {
    char line[40] = "Routing : ";
    char* p = line + 10;
    p = hexText(p, s);
    *p++ = ' ';
    p = hexText(p, d1);
    *p++ = ' ';
    p = hexText(p, d2);
    io_.log.appendLine(std::string_view(line, static_cast<std::size_t>(p - line)));
}

void Routing::suspend() {
    for (Slot& slot : slots_) {
        closeSlot(slot);
        slot.reader.reset();
    }
    routeSelected_.fill(false);
}

void Routing::closeAll() {
    for (Slot& slot : slots_) {
        if (!slot.reader) continue;
        if (slot.reader->state() >= 1) {
            slot.reader->command(MidiInReader::Stop);
            slot.reader->command(MidiInReader::Close);
        }
        if (slot.reader->state() >= 1) slot.reader->command(MidiInReader::Close);
        slot.reader.reset();
    }
}

std::int16_t Routing::portState(int n) const {
    if (n < 0 || n >= kSlots) return 0;
    const auto& r = slots_[static_cast<std::size_t>(n)].reader;
    return r ? r->state() : 0;
}

} // namespace vantaro
