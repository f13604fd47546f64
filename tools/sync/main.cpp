// tarnwick-sync: checks a sync file the way the demo reads it, and shows what
// the demo would make of it.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/exitstatus.h"
#include "common/json.h"
#include "common/loadstatus.h"
#include "common/warnings.h"
#include "music/musicsync.h"
#include "scenes/schedule.h"
#include "sync/reader.h"

namespace {

const char* usageText =
    "usage: tarnwick-sync FILE [--music MP3 | --length SECONDS] [--json]\n"
    "\n"
    "Reads a sync file (tab-separated, CR LF lines) as the demo does and prints\n"
    "its header, tempo, patterns and channels after the timeline is laid out,\n"
    "and its warnings with their line numbers: the first 20 of each kind, then\n"
    "how many more of the kind there are (--json gives the total as warningCount,\n"
    "and the count of the rest as \"more\" on each kind's last warning).\n"
    "\n"
    "  --music MP3       take the song length from this MP3 file\n"
    "  --length SECONDS  take the song length as given (default: 0 s)\n"
    "                    with either, also tell whether the music lasts past\n"
    "                    the demo's last row (754) at the file's tempo and offset\n"
    "  --json            print one JSON object instead of the report\n"
    "  --help            print this help\n"
    "\n"
    "Exit status: 0 the file is within the format's limits, 1 it has warnings\n"
    "or the report could not be written, 2 a usage error or a music file that\n"
    "cannot be opened.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "tarnwick-sync: %s\n%s", message.c_str(), usageText);
    return 2;
}

std::string jsonNumber(double value) {
    return std::isfinite(value) ? formatNumber(value) : jsonString(formatNumber(value));
}

std::string valueText(const SyncValue* v, bool json) {
    if (!v) return json ? "null" : ".";
    if (const bool* b = std::get_if<bool>(&v->data)) return json ? (*b ? "true" : "false") : (*b ? "1" : "0");
    if (const std::int32_t* i = std::get_if<std::int32_t>(&v->data)) return std::to_string(*i);
    if (const float* f = std::get_if<float>(&v->data)) return json ? jsonNumber(*f) : formatNumber(*f);
    return jsonString(std::get<std::string>(v->data));
}

struct Report {
    std::string file;
    bool haveLength = false;
    double lengthSeconds = 0;
    std::int32_t endRow = 0;
    SyncWarnings warnings;
};

void printText(const SyncFile& file, const SyncTimeline& timeline, const Report& r) {
    std::printf("%s\n", r.file.c_str());
    std::printf("  header         %s\n", file.headerText.c_str());
    std::printf("  bpm            %s\n", formatNumber(file.bpm).c_str());
    std::printf("  offset         %s s\n", formatNumber(file.offset).c_str());
    std::printf("  rows per beat  %d\n", timeline.rowsPerBeat);
    std::printf("  song           %s s, %d sync rows%s\n", formatNumber(r.lengthSeconds).c_str(), timeline.totalRows,
                r.haveLength ? "" : " (no --music or --length given)");
    std::printf("patterns (%zu)\n", file.patterns.size());
    for (const auto& p : file.patterns) {
        std::printf("  %s  %s  resolution %s  %zu rows:", p->name.c_str(), p->typeText.c_str(),
                    formatNumber(p->resolution).c_str(), p->values.size());
        for (const SyncValue* v : p->values) std::printf(" %s", valueText(v, false).c_str());
        std::printf("\n");
    }
    std::printf("channels (%zu)\n", file.channels.size());
    for (std::size_t i = 0; i < file.channels.size(); ++i) {
        const Channel& f = file.channels[i];
        const ChannelLayout& c = timeline.channels[i];
        std::printf("  %s  %s  %zu placements:", f.name.c_str(), f.repeat ? "repeat" : "no repeat",
                    c.placements.size());
        // Runs of one pattern are shown once, with their count and first row.
        for (std::size_t k = 0; k < c.placements.size();) {
            std::size_t run = k;
            while (run < c.placements.size() && c.placements[run] == c.placements[k]) ++run;
            std::printf("%s %s", k == 0 ? "" : ",", c.placements[k]->name.c_str());
            if (run - k > 1) std::printf(" x%zu", run - k);
            std::printf(" from row %d", c.rowStarts[k]);
            k = run;
        }
        std::printf("\n");
    }
    if (r.haveLength) {
        if (r.endRow > lastDemoRow) {
            std::printf("music: ends at music row %d, so the demo ends by itself (after row %d)\n", r.endRow,
                        lastDemoRow);
        } else {
            std::printf("music: ends at music row %d, before row %d: the demo would not reach its end\n",
                        r.endRow, lastDemoRow + 1);
        }
    }
    std::printf("warnings (%zu)\n", r.warnings.total());
    for (const SyncWarning& w : r.warnings) {
        std::printf("  %s: %s\n", warningPlace(r.file, w.line).c_str(), w.message.c_str());
        if (w.more > 0) std::printf("  %s: %s\n", r.file.c_str(), moreWarningsText(w.more).c_str());
    }
}

void printJson(const SyncFile& file, const SyncTimeline& timeline, const Report& r) {
    std::string out = "{";
    out += "\"headerText\":" + jsonString(file.headerText);
    out += ",\"bpm\":" + jsonNumber(file.bpm);
    out += ",\"offset\":" + jsonNumber(file.offset);
    out += ",\"rowsPerBeat\":" + std::to_string(timeline.rowsPerBeat);
    out += ",\"totalRows\":" + std::to_string(timeline.totalRows);
    out += ",\"channelCount\":" + std::to_string(file.channelCount);
    if (r.haveLength) {
        out += ",\"lengthSeconds\":" + jsonNumber(r.lengthSeconds);
        out += ",\"musicEndRow\":" + std::to_string(r.endRow);
        out += std::string(",\"musicLastsPastEnd\":") + (r.endRow > lastDemoRow ? "true" : "false");
    }
    out += ",\"patterns\":[";
    for (std::size_t i = 0; i < file.patterns.size(); ++i) {
        const Pattern& p = *file.patterns[i];
        out += i ? ",{" : "{";
        out += "\"name\":" + jsonString(p.name) + ",\"type\":" + jsonString(p.typeText) +
               ",\"resolution\":" + jsonNumber(p.resolution) + ",\"values\":[";
        for (std::size_t k = 0; k < p.values.size(); ++k) out += (k ? "," : "") + valueText(p.values[k], true);
        out += "]}";
    }
    out += "],\"channels\":[";
    for (std::size_t i = 0; i < file.channels.size(); ++i) {
        const Channel& f = file.channels[i];
        const ChannelLayout& c = timeline.channels[i];
        out += i ? ",{" : "{";
        out += "\"name\":" + jsonString(f.name) + ",\"repeat\":" + (f.repeat ? "true" : "false") + ",\"placements\":[";
        for (std::size_t k = 0; k < c.placements.size(); ++k) out += (k ? "," : "") + jsonString(c.placements[k]->name);
        out += "],\"rowStarts\":[";
        for (std::size_t k = 0; k < c.rowStarts.size(); ++k) out += (k ? "," : "") + std::to_string(c.rowStarts[k]);
        out += "]}";
    }
    out += "],\"rowsWithValue\":[";
    bool first = true;
    for (std::size_t row = 0; row < timeline.rowHasValue.size(); ++row) {
        if (!timeline.rowHasValue[row]) continue;
        out += (first ? "" : ",") + std::to_string(row);
        first = false;
    }
    out += "],\"warningCount\":" + std::to_string(r.warnings.total());
    out += ",\"warnings\":[";
    for (std::size_t i = 0; i < r.warnings.size(); ++i) {
        const SyncWarning& w = r.warnings[i];
        out += (i ? ",{" : "{") + std::string("\"line\":") + std::to_string(w.line) +
               ",\"message\":" + jsonString(w.message) + ",\"kind\":" + jsonString(w.kind);
        if (w.more > 0) out += ",\"more\":" + std::to_string(w.more);
        out += "}";
    }
    out += "]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::string file, music, length;
    bool json = false, haveMusic = false, haveLength = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usageText, stdout);
            return exitStatusAfterOutput("tarnwick-sync", 0);
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--music" || arg == "--length") {
            if (i + 1 >= argc) return usageError(arg + " needs a value");
            if (haveMusic || haveLength) return usageError("give --music or --length once, not both");
            (arg == "--music" ? music : length) = argv[++i];
            (arg == "--music" ? haveMusic : haveLength) = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (arg.empty()) {
            return usageError("the sync file's name is empty");
        } else if (file.empty()) {
            file = arg;
        } else {
            return usageError("more than one sync file given");
        }
    }
    if (file.empty()) return usageError("no sync file given");

    Report report;
    report.file = file;
    if (haveLength) {
        errno = 0;
        char* end = nullptr;
        double seconds = std::strtod(length.c_str(), &end);
        if (length.empty() || *end != '\0' || errno != 0 || !(seconds >= 0.0 && seconds <= 1e7)) {
            return usageError("--length needs a number of seconds from 0 to 10000000, not \"" + length + "\"");
        }
        report.lengthSeconds = static_cast<float>(seconds);
    } else if (haveMusic) {
        // Only the length is needed: the stream is opened on the manual clock,
        // which plays nothing.
        audio::selectClock(audio::Clock::Manual);
        audio::initOutput(-1, 48000);
        printLoadMessages(stderr, "tarnwick-sync");
        MusicSync ms;
        std::string why;
        if (!openStream(music, why, ms)) {
            std::fprintf(stderr, "tarnwick-sync: %s: %s\n", music.c_str(), why.c_str());
            return 2;
        }
        report.lengthSeconds = songLengthSeconds(ms);
        haveLength = true;
    }
    report.haveLength = haveLength;

    SyncFile sync;
    SyncTimeline timeline;
    loadSync(file, '\t', report.lengthSeconds, sync, timeline, &report.warnings);
    if (haveLength) report.endRow = musicRowAt(report.lengthSeconds, sync.bpm, sync.offset);

    if (json) {
        printJson(sync, timeline, report);
    } else {
        printText(sync, timeline, report);
    }
    return exitStatusAfterOutput("tarnwick-sync", report.warnings.total() == 0 ? 0 : 1);
}
