#include "syncfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

namespace {

// One channel of the sync file laid out on its own grid: `cellsPerBeat`
// cells per beat over the whole song, each empty or holding the text of a value.
struct ChannelGrid {
    std::string name;
    std::string type;  // BOOLEAN, INTEGER, FLOAT or STRING
    int cellsPerBeat = 4;
    std::vector<std::optional<std::string>> cells;
};

constexpr int kBeatsPerPage = 8;  // one pattern covers two bars

ChannelGrid grid(const Score& s, const std::string& name, const std::string& type, int cellsPerBeat) {
    ChannelGrid g{name, type, cellsPerBeat, {}};
    g.cells.resize(static_cast<size_t>(s.totalRows / kRowsPerBeat * cellsPerBeat));
    return g;
}

// The cell that a music row falls on; the rows of the tables fall on cell
// starts by construction, anything else is a mistake in the score.
bool setAtRow(ChannelGrid& g, double row, const std::string& value, std::string& err) {
    double cell = row * g.cellsPerBeat / kRowsPerBeat;
    if (cell != static_cast<double>(static_cast<long>(cell)) || cell < 0 || cell >= g.cells.size()) {
        err = "row " + std::to_string(row) + " of channel " + g.name + " does not fall on its grid";
        return false;
    }
    g.cells[static_cast<size_t>(cell)] = value;
    return true;
}

std::string formatFloat(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

struct PatternOut {
    std::string name, type;
    int resolution;
    std::vector<std::optional<std::string>> cells;
};

}  // namespace

std::string syncFileText(const Score& s, std::string& err) {
    err.clear();
    std::vector<ChannelGrid> channels;

    ChannelGrid section = grid(s, "section", "STRING", 4);
    for (const Section& sec : s.sections) setAtRow(section, sec.row, sec.name, err);
    ChannelGrid kick = grid(s, "kick", "BOOLEAN", 4), snare = grid(s, "snare", "BOOLEAN", 4), hihat = grid(s, "hihat", "BOOLEAN", 4);
    ChannelGrid bass = grid(s, "bass", "INTEGER", 2), lead = grid(s, "lead", "STRING", 4);
    for (const NoteEvent& e : s.notes) {
        switch (e.voice) {
            case Voice::Kick: setAtRow(kick, e.row, "1", err); break;
            case Voice::Snare:
            case Voice::Clap: setAtRow(snare, e.row, "1", err); break;
            case Voice::HatClosed:
            case Voice::HatOpen: setAtRow(hihat, e.row, "1", err); break;
            case Voice::Bass: setAtRow(bass, e.row, std::to_string(e.pitch), err); break;
            default: break;
        }
    }
    // The sung syllables, with "-" where the singer rests.
    for (const NoteEvent& e : s.notes)
        if (e.voice == Voice::Lead) {
            double end = e.row + e.length;
            if (end < s.totalRows && !lead.cells[static_cast<size_t>(end)]) setAtRow(lead, end, "-", err);
        }
    for (const NoteEvent& e : s.notes)
        if (e.voice == Voice::Lead) setAtRow(lead, e.row, syllableNames()[e.syllable], err);
    ChannelGrid accent = grid(s, "accent", "BOOLEAN", 4);
    for (int r : s.accents) setAtRow(accent, r, "1", err);
    ChannelGrid chord = grid(s, "chord", "INTEGER", 4);
    for (const auto& c : s.chords) setAtRow(chord, c.first, std::to_string(c.second), err);
    ChannelGrid filter = grid(s, "filter", "FLOAT", 1);
    for (size_t b = 0; b < s.filterPerBeat.size(); ++b) filter.cells[b] = formatFloat(s.filterPerBeat[b]);
    if (!err.empty()) return "";

    channels = {section, kick, snare, hihat, accent, bass, chord, filter, lead};

    // Cut every channel into pages of two bars; identical pages share one
    // pattern, as in a tracker. A page's last cell always holds a value so
    // that the page keeps its full length: triggers write 0 there, other
    // channels repeat the value in effect.
    std::vector<PatternOut> patterns;
    std::vector<std::pair<std::string, std::vector<std::string>>> placements;
    for (const ChannelGrid& g : channels) {
        std::map<std::vector<std::optional<std::string>>, std::string> seen;
        std::vector<std::string> order;
        const size_t page = static_cast<size_t>(kBeatsPerPage * g.cellsPerBeat);
        std::optional<std::string> carry;
        for (size_t start = 0; start < g.cells.size(); start += page) {
            std::vector<std::optional<std::string>> cells(g.cells.begin() + start,
                                                          g.cells.begin() + std::min(start + page, g.cells.size()));
            for (const auto& c : cells)
                if (c) carry = c;
            if (!cells.back()) {
                if (g.type == "BOOLEAN") cells.back() = "0";
                else cells.back() = carry ? *carry : (g.type == "STRING" ? "-" : "0");
            }
            auto it = seen.find(cells);
            if (it == seen.end()) {
                char name[64];
                std::snprintf(name, sizeof name, "%s%02zu", g.name.c_str(), seen.size() + 1);
                it = seen.emplace(cells, name).first;
                patterns.push_back(PatternOut{name, g.type, g.cellsPerBeat, cells});
            }
            order.push_back(it->second);
        }
        placements.push_back({g.name, order});
    }

    const std::string eol = "\r\n";
    std::string out;
    out += "title\tTarnwick demo music" + eol;
    out += "bpm\t120" + eol;
    out += "offset\t0" + eol;
    out += "PATTERNS" + eol;
    for (const PatternOut& p : patterns) {
        out += "resolution\t" + std::to_string(p.resolution) + eol;
        out += "type\t" + p.type + eol;
        out += p.name;
        for (const auto& c : p.cells) out += "\t" + (c ? *c : std::string());
        out += eol;
    }
    // Two looping channels: a trigger on every beat, and a ramp that falls
    // over each beat (for pulsing on the beat).
    out += "resolution\t1" + eol + "type\tBOOLEAN" + eol + "beat\t1" + eol;
    out += "resolution\t4" + eol + "type\tFLOAT" + eol + "pulse\t1.00\t0.75\t0.50\t0.25" + eol;
    out += "CHANNELS" + eol;
    for (const auto& [name, order] : placements) {
        out += name;
        for (const std::string& p : order) out += "\t" + p;
        out += eol + "repeat\t0" + eol;
    }
    out += "beat\tbeat" + eol + "repeat\t1" + eol;
    out += "pulse\tpulse" + eol + "repeat\t1" + eol;
    return out;
}

std::string writeSyncFile(const Score& score, const std::string& path) {
    std::string err;
    std::string text = syncFileText(score, err);
    if (text.empty()) return "cannot lay out the score: " + err;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return std::string("cannot write the file: ") + std::strerror(errno);
    size_t wrote = std::fwrite(text.data(), 1, text.size(), f);
    if (std::fclose(f) != 0 || wrote != text.size()) return std::string("cannot write the file: ") + std::strerror(errno);
    return "";
}
