#pragma once
// The duration of the last frame in milliseconds. The frame routine sets it
// before the scenes draw; every scene animates by it.
extern double frameDeltaMs;
