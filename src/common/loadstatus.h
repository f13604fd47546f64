#pragma once
// Set when the music or an image fails to load; the entry routine examines it
// once the start-up has run, and ends the run before the first frame.
extern bool loadFailed;
