#pragma once
// The name a MIDI port is known by. The ALSA sequencer's port names end in the client and port
// numbers ("aseqdump:aseqdump 128:0"), and a program's client number changes whenever it starts
// after another one: a port is stored and found again by its name without them.
#include <string>
#include <string_view>
#include <vector>

namespace vantaro {

// The longest name the device lists show (the platform's 32-byte product name field).
inline constexpr std::size_t kListedNameChars = 31;

// The name without the trailing " client:port" numbers. A name that fills the listed width
// may have lost part of them to the cut: what is left of them goes too.
std::string_view portBaseName(std::string_view name);

// The position of the port `name` (stored with or without the numbers) in `names`: the entry of
// exactly that text, else among the entries of that name the one at `position`, else the first
// of them; -1 when there is none.
int findPort(const std::vector<std::string>& names, std::string_view name, int position = -1);

} // namespace vantaro
