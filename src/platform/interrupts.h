#pragma once
// Requests to end the program from outside it (SIGINT, SIGTERM, SIGHUP on the
// desktop; none in a browser, where only setInterruptRequested raises one).

namespace platform {

// SIGINT, SIGTERM and SIGHUP from now on ask the program to end (pollEvent
// reports Quit; tools poll interruptRequested) instead of killing it. A signal
// that was ignored when the program started (nohup, background jobs) stays
// ignored.
void catchInterrupts();
bool interruptRequested();
// Raises or clears the request as a signal would (tests).
void setInterruptRequested(bool requested);

}  // namespace platform
