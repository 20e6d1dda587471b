#pragma once

namespace svod {

// Keeps Qt's own debug, information and warning messages (a missing XDG_RUNTIME_DIR, platform
// plugin notes) off standard error: the programs report what matters through their own messages.
// Critical and fatal messages still go out. SVOD_QT_MESSAGES=1 lets everything through, for
// diagnosing a machine.
void quietQtMessages();

} // namespace svod
