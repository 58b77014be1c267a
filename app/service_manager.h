#pragma once
// Readiness for a service manager (systemd's Type=notify, or anything else that speaks the
// sd_notify protocol): once start-up is done the program says so, and whoever started it may
// rely on the devices being open and the stored list loaded.

namespace vantaro {

// Sends "READY=1" to the datagram socket named in NOTIFY_SOCKET (a path, or "@name" in the
// abstract namespace). Does nothing when the variable is unset or unusable; a manager that does
// not listen is no reason to stop playing.
void notifyServiceManagerReady();

} // namespace vantaro
