#pragma once
// Where every run begins. The run's state is process-wide, as the demo is
// designed (the scenes' states, frameDeltaMs and the frame statistics,
// loadFailed, the keys and window flags, the music and its sync playback);
// this is the one place that gives it its start values, so that a second run
// in one process (the page's next Play, a second capture) draws exactly what
// the first did.

// Puts all of the run's state back to its start values: every scene afresh,
// the frame timer and statistics at zero, no key down, the window flags as a
// new process has them (fullscreen asked for, 1280 x 720, no display chosen),
// nothing failed and no message waiting, the music closed with its sync data
// forgotten and the audio clock back at its default, start row 0. The caller
// then applies its own options (a window, a size, a start row).
void beginRun();
