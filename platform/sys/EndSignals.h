// How the system asks the program to end: an interrupt from the terminal is a close, as the
// user closing the program; a termination or hang-up is the end of the session (log-off, shut
// down), after which the program does not come back. The handlers only note the request; the
// program's timer picks it up on its own thread.
#pragma once

namespace plat {

enum class EndRequest {
    None,
    Close,       // SIGINT
    EndSession,  // SIGTERM, SIGHUP
};

// Catches the three signals from now on, in place of whatever handled them.
void CatchEndSignals();
// Puts the handlers that were there before back.
void ReleaseEndSignals();
// The request that came since the last call (EndSession wins over Close); None when nothing.
EndRequest TakeEndRequest();
// Whether a request waits, leaving it for TakeEndRequest: a box waiting for a press gives way.
bool EndRequestPending();

}  // namespace plat
