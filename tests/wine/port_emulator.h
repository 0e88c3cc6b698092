// Emulates the board's I/O ports inside a Windows test process. Under Wine
// (and on the NT family) a user-mode "in al, dx" or "out dx, al" raises a
// privileged-instruction exception; a vectored exception handler answers it
// from a port device (the simulated board), records the access, and resumes
// after the one-byte instruction.
#pragma once

#include <vector>

#include "port_device.h"
#include "trace.h"

namespace emu {

void InstallPortEmulator(sim::PortDevice *device);
void RemovePortEmulator();

// Every access since the last ClearTrace, as port events.
const std::vector<sim::Event> &PortEvents();
void ClearTrace();
// The recorded accesses as text, in the host tests' trace format.
std::string PortTraceText();

}  // namespace emu
