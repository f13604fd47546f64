#pragma once
// Shared by the sync tests: sync files built from rows of fields, and music
// objects on a manual-clock stream of a chosen length.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "musicsync/musicsync.h"
#include "musicsync/syncfile.h"

namespace synctest {

inline constexpr std::uint32_t rate = 48000;
inline constexpr std::uint64_t frameBytes = 8;  // two float channels

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

inline void useManualClock() {
    audio::selectClock(audio::Clock::Manual);
    audio::initOutput(-1, rate);
}

// A music object whose stream lasts `seconds`, with `text` parsed into it.
inline std::unique_ptr<MusicSync> load(const std::string& text, double seconds,
                                       std::vector<SyncWarning>* warnings = nullptr) {
    useManualClock();
    auto ms = std::make_unique<MusicSync>();
    ms->stream = audio::createBlankStream(rate, 2, static_cast<std::uint64_t>(std::llround(seconds * rate)));
    ms->streamOpen = true;
    parseSync(text.data(), text.size(), '\t', *ms, warnings);
    return ms;
}

// Puts the manual clock at an exact sample frame.
inline void setFrame(const MusicSync& ms, std::uint64_t frame) { audio::setPosition(ms.stream, frame * frameBytes); }

inline const Pattern* findPattern(const MusicSync& ms, const std::string& name) {
    for (const auto& p : ms.patterns) {
        if (p->name == name) return p.get();
    }
    return nullptr;
}

inline std::string warningsText(const std::vector<SyncWarning>& warnings) {
    std::string text;
    for (const SyncWarning& w : warnings) text += std::to_string(w.line) + ": " + w.message + "\n";
    return text;
}

inline float asFloat(const SyncValue* v) { return std::get<float>(v->data); }
inline std::int32_t asInt(const SyncValue* v) { return std::get<std::int32_t>(v->data); }
inline bool asBool(const SyncValue* v) { return std::get<bool>(v->data); }

}  // namespace synctest
