#pragma once
// Shared by the sync tests: sync files built from rows of fields, read and
// laid out on a song of a chosen length. No audio is involved.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "sync/playback.h"
#include "sync/reader.h"

namespace synctest {

inline constexpr std::uint32_t rate = 48000;

// Lines of tab-separated fields, each ended by CR LF.
inline std::string crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// The example file: one FLOAT pattern "fade" placed twice by a repeating channel.
inline std::string exampleFile() {
    return crlf({"Tarnwick\tDemo sync", "bpm\t125", "offset\t0.5", "PATTERNS", "res\t4", "type\tFLOAT",
                 "fade\t0\t\t\t1", "CHANNELS", "main\tfade\tfade", "repeat\t1"});
}

// A sync file read, laid out, and ready to play, with a music position
// that the test sets itself (in sample frames at 48 kHz).
struct Loaded {
    SyncFile file;
    SyncTimeline timeline;
    SyncPlayback playback;
    std::uint64_t frame = 0;
};

// `text` parsed and laid out on a song of `seconds`.
inline std::unique_ptr<Loaded> load(const std::string& text, double seconds,
                                    SyncWarnings* warnings = nullptr) {
    auto s = std::make_unique<Loaded>();
    parseSync(text.data(), text.size(), '\t', static_cast<float>(seconds), s->file, s->timeline, warnings);
    return s;
}

// Playback from the start, as the music starting does.
inline void startPlayback(Loaded& s) { rewindSyncPlayback(s.playback, s.timeline, s.file.channelCount); }

// Puts the music at an exact sample frame.
inline void setFrame(Loaded& s, std::uint64_t frame) { s.frame = frame; }

// The sync row of the music position, as the music clock gives it (seconds
// rounded to float).
inline std::int32_t currentRow(const Loaded& s) {
    return syncRowAt(static_cast<float>(static_cast<double>(s.frame) / rate), s.file.bpm, s.timeline.rowsPerBeat);
}

// One frame's advance at the music position.
inline std::vector<const SyncValue*> advanceSync(Loaded& s) {
    return advanceSyncTo(s.playback, s.timeline, currentRow(s));
}

// A jump of the music, as the start-up makes: re-arm, then move (down to a
// whole sample frame).
inline void seekToSeconds(float target, Loaded& s) {
    rearmSyncPlayback(s.playback, s.timeline, currentRow(s));
    s.frame = static_cast<std::uint64_t>(static_cast<double>(target) * rate);
}

inline const Pattern* findPattern(const Loaded& s, const std::string& name) {
    for (const auto& p : s.file.patterns) {
        if (p->name == name) return p.get();
    }
    return nullptr;
}

inline std::string warningsText(const SyncWarnings& warnings) {
    std::string text;
    for (const SyncWarning& w : warnings) text += std::to_string(w.line) + ": " + w.message + "\n";
    return text;
}

inline float asFloat(const SyncValue* v) { return std::get<float>(v->data); }
inline std::int32_t asInt(const SyncValue* v) { return std::get<std::int32_t>(v->data); }
inline bool asBool(const SyncValue* v) { return std::get<bool>(v->data); }

}  // namespace synctest
