#include "score.h"

#include <algorithm>
#include <cmath>

#include "scenes/schedule.h"

const std::vector<std::string>& syllableNames() {
    static const std::vector<std::string> names = {"DO", "DE", "DU", "DI"};
    return names;
}

namespace {

// Note numbers (MIDI): the piece is in A minor.
enum : int {
    E1 = 28, F1 = 29, G1 = 31, A1 = 33, C2 = 36, D2 = 38, E2 = 40,
    A2 = 45, C3 = 48, D3 = 50, E3 = 52, F3 = 53, G3 = 55, A3 = 57, B3 = 59,
    C4 = 60, D4 = 62, E4 = 64, F4 = 65, G4 = 67, A4 = 69, B4 = 71,
    C5 = 72, D5 = 74, E5 = 76, F5 = 77, G5 = 79, A5 = 81, C6 = 84
};

struct Chord {
    int bassRoot;              // bass register root
    std::vector<int> tones;    // pad voicing, low to high
};

const Chord Am{A1, {A3, C4, E4}};
const Chord F{F1, {F3, A3, C4}};
const Chord C{C2, {G3, C4, E4}};
const Chord G{G1, {G3, B3, D4}};
const Chord Em{E1, {G3, B3, E4}};
const Chord Dm{D2, {F3, A3, D4}};

class Composer {
public:
    Score score;

    void note(double row, Voice v, int pitch, double length, float velocity) {
        NoteEvent e;
        e.row = row, e.voice = v, e.pitch = pitch, e.length = length, e.velocity = velocity;
        score.notes.push_back(e);
    }
    void hit(double row, Voice v, float velocity) { note(row, v, 0, 1, velocity); }
    void section(int row, const std::string& name) { score.sections.push_back({row, name}); }
    void accent(int row) { score.accents.push_back(row); }
    void chord(int row, const Chord& c, double length, float velocity, bool pad = true) {
        score.chords.push_back({row, c.bassRoot});
        if (pad)
            for (int t : c.tones) note(row, Voice::Pad, t, length, velocity);
    }
    // Eighth-note bass line over one bar (16 rows) from `row`.
    void bassBar(int row, const Chord& c, const std::vector<int>& shape, float velocity, int endRow) {
        for (size_t k = 0; k < shape.size(); ++k) {
            int r = row + static_cast<int>(k) * 2;
            if (r >= endRow) break;
            note(r, Voice::Bass, c.bassRoot + shape[k], 1.6, velocity * (k % 2 ? 0.85f : 1.0f));
        }
    }
    void filterRamp(int fromRow, int toRow, float from, float to) {
        for (int b = fromRow / kRowsPerBeat; b < toRow / kRowsPerBeat; ++b) {
            float t = static_cast<float>(b * kRowsPerBeat - fromRow) / (toRow - fromRow);
            score.filterPerBeat[b] = from + (to - from) * t;
        }
    }
};

}  // namespace

Score composeScore() {
    Composer m;
    Score& s = m.score;
    s.totalRows = 800;  // 100 s
    s.filterPerBeat.assign(s.totalRows / kRowsPerBeat, 0.0f);
    // Where the scenes start and end, from the demo's cue table: the sections
    // follow the pictures.
    constexpr int breakRow = scene("opening squares").lastRow + 1;
    constexpr int groove = scene("arc bands").firstRow;
    constexpr int logo = scene("logo tiles").firstRow, figure = logo + 1;  // the figure starts with the first column
    constexpr int cubes = scene("tumbling cubes").firstRow;
    constexpr int credits = scene("credits field").firstRow, creditsEnd = scene("credits field").lastRow + 1;
    constexpr int greets = scene("greetings").firstRow, greetsEnd = scene("greetings").lastRow + 1;
    constexpr int finale = scene("closing wheels").firstRow, silence = scene("closing wheels").lastRow + 1;
    const std::vector<int> octaveBass = {0, 0, 12, 0, 0, 12, 0, 7};
    const std::vector<int> rollingBass = {0, 12, 0, 0, 12, 0, 7, 12};

    // Intro, rows 0-43: a drone, and a struck note over a soft low hit where
    // each square appears, climbing through the A minor chord.
    m.section(0, "intro");
    const int squareRows[] = {0, 6, 8, 12, 16, 22, 24, 28};
    const int squareNotes[] = {A3, C4, E4, G4, A4, C5, E5, G5};
    for (int i = 0; i < 8; ++i) {
        float v = 0.65f + 0.05f * i;
        m.hit(squareRows[i], Voice::Thump, v);
        m.note(squareRows[i], Voice::Pluck, squareNotes[i], 3, v);
        m.note(squareRows[i], Voice::Bell, squareNotes[i] + 12, 4, 0.25f + 0.03f * i);
        m.accent(squareRows[i]);
    }
    m.note(0, Voice::Drone, A1, 40, 0.8f);
    m.chord(0, Am, 0, 0, false);
    m.filterRamp(0, 32, 0.05f, 0.3f);
    // The swell into the flash, then the flash itself.
    m.note(18, Voice::Swell, 0, 14, 0.7f);
    m.section(32, "flash");
    m.accent(32);
    m.hit(32, Voice::Crash, 1.0f);
    m.note(32, Voice::Boom, A1, 8, 0.8f);
    m.hit(32, Voice::Kick, 1.0f);
    m.hit(36, Voice::Kick, 0.8f);
    for (int t : {A3, C4, E4, A4}) m.note(32, Voice::Stab, t, 2, 0.9f);
    for (int t : {A3, C4, E4, A4}) m.note(32, Voice::Pad, t, 8, 0.55f);
    m.filterRamp(32, 40, 0.8f, 0.8f);
    // The drop as the picture fades to black.
    m.section(40, "drop");
    m.accent(40);
    m.note(40, Voice::Boom, E1, 8, 1.0f);
    m.hit(40, Voice::Crash, 0.7f);
    m.note(40, Voice::Bass, A1, 4, 0.9f);
    m.filterRamp(40, breakRow, 0.2f, 0.2f);

    // Break, rows 44-63: soft chords and a quiet arpeggio, a short riser.
    m.section(breakRow, "break");
    m.chord(breakRow, F, 8, 0.35f);
    m.chord(52, G, 12, 0.35f);
    for (int r = breakRow; r < groove; r += 2) {
        const Chord& c = r < 52 ? F : G;
        m.note(r, Voice::Pluck, c.tones[(r / 2) % 3] + 12, 1.5, 0.3f);
    }
    for (int r = 56; r < groove; r += 2) m.hit(r, Voice::HatClosed, 0.3f);
    m.note(56, Voice::Riser, A2, 8, 0.35f);
    m.filterRamp(breakRow, groove, 0.1f, 0.25f);

    // Main groove, rows 64-191: four on the floor, bass, hats and chords;
    // claps join at 95, stabs at 126, a sixteenth arpeggio at 154.
    m.section(groove, "groove");
    m.accent(groove);
    m.hit(groove, Voice::Crash, 0.9f);
    const Chord* grooveChords[] = {&Am, &F, &C, &G, &Am, &F, &G, &Em};
    for (int bar = 0; bar < 8; ++bar) {
        int r0 = groove + bar * 16;
        const Chord& c = *grooveChords[bar];
        m.chord(r0, c, 16, 0.25f);
        m.bassBar(r0, c, octaveBass, 0.85f, 190);
        for (int r = r0; r < r0 + 16 && r < 190; ++r) {
            if (r % 4 == 0) m.hit(r, Voice::Kick, 0.95f);
            if (r % 4 == 2) m.hit(r, Voice::HatClosed, 0.55f);
            if (r >= 126 && r % 2 == 1) m.hit(r, Voice::HatClosed, 0.22f);
            if (r >= 154 && r % 8 == 6) m.hit(r, Voice::HatOpen, 0.4f);
            if (r >= 100 && (r - groove) % 8 == 4) m.hit(r, Voice::Clap, 0.75f);
            int inBar = r - r0;
            if (r >= 126 && (inBar == 6 || inBar == 14))
                for (int t : c.tones) m.note(r, Voice::Stab, t + 12, 1, r == 126 ? 1.0f : 0.55f);
            if (r >= 154) {
                static const int arp[] = {0, 1, 2, 1, 0, 2, 1, 2};
                int octave = (inBar / 8) ? 24 : 12;
                m.note(r, Voice::Pluck, c.tones[arp[inBar % 8]] + octave, 1, r == 154 ? 1.0f : 0.42f);
            }
        }
    }
    m.section(95, "claps");
    m.accent(95);
    m.hit(95, Voice::Clap, 1.0f);
    m.hit(95, Voice::Snare, 0.9f);
    m.hit(95, Voice::Thump, 0.8f);
    m.section(126, "stabs");
    m.accent(126);
    m.hit(126, Voice::Crash, 0.8f);
    m.hit(126, Voice::Thump, 0.8f);
    m.section(154, "arpeggio");
    m.accent(154);
    m.hit(154, Voice::Crash, 0.8f);
    m.hit(154, Voice::Thump, 0.8f);
    m.section(164, "turn");
    for (int r = 184; r < 190; ++r) m.hit(r, Voice::Snare, 0.35f + 0.1f * (r - 184));
    m.filterRamp(groove, 96, 0.2f, 0.45f);
    m.filterRamp(96, 128, 0.45f, 0.6f);
    m.filterRamp(128, 156, 0.6f, 0.4f);
    m.filterRamp(156, logo, 0.4f, 0.95f);

    // Logo, rows 192-223: a sixteenth-note figure from 193 as the columns
    // build, an impact at 216 when the tiles burst.
    m.section(logo, "stop");
    m.section(figure, "figure");
    m.accent(figure);
    m.hit(figure, Voice::Thump, 1.0f);
    m.chord(figure, Am, 15, 0.3f);
    m.chord(208, F, 8, 0.3f);
    static const int figureAm[] = {A3, E4, A4, C5, E5, C5, A4, E4};
    static const int figureF[] = {F3, C4, F4, A4, C5, A4, F4, C4};
    for (int r = figure; r < 216; ++r) {
        int k = r - figure;
        int p = r < 208 ? figureAm[k % 8] : figureF[k % 8] + 12;
        m.note(r, Voice::Pluck, p, 1, r == figure ? 1.0f : 0.45f + 0.4f * k / 23.0f);
        if (r % 4 == 0) m.hit(r, Voice::Kick, 0.7f);
        if (r % 4 == 2) m.hit(r, Voice::HatClosed, 0.4f);
    }
    for (int r = 196; r < 216; r += 4) m.note(r, Voice::Bass, r < 208 ? A1 : F1, 3, 0.7f);
    m.note(204, Voice::Riser, A2, 12, 0.4f);
    m.filterRamp(logo, 216, 0.3f, 0.9f);
    m.section(216, "impact");
    m.accent(216);
    m.note(216, Voice::Boom, A1, 10, 1.0f);
    m.hit(216, Voice::Crash, 1.0f);
    m.hit(216, Voice::Kick, 1.0f);
    m.chord(216, Am, 8, 0.45f);
    for (int t : {A3, C4, E4, A4}) m.note(216, Voice::Stab, t, 2, 1.0f);
    m.filterRamp(216, cubes, 0.3f, 0.3f);

    // Cubes, rows 228-275: a low bed and a metallic hit for each cube, then
    // a riser from 264.
    m.section(cubes, "cubes");
    m.chord(cubes, Am, 36, 0.2f);
    m.note(cubes, Voice::Drone, A1, 36, 0.5f);
    const int cubeRows[] = {232, 236, 240, 242, 243, 248, 252, 256, 258, 259};
    const int cubeNotes[] = {A4, C5, E5, D5, G5, E5, A5, G5, C6, E5 + 12};
    for (int i = 0; i < 10; ++i) {
        m.note(cubeRows[i], Voice::Clank, cubeNotes[i], 2, 0.9f);
        m.hit(cubeRows[i], Voice::Thump, 0.85f);
        m.accent(cubeRows[i]);
    }
    for (int r = 244; r < 264; r += 2) m.hit(r, Voice::HatClosed, 0.25f);
    m.section(264, "riser");
    // The riser stops one row short of the downbeat, so that the credits land on a breath.
    m.note(264, Voice::Riser, A2, 15, 0.8f);
    for (int r = 264; r < credits; r += 4) m.hit(r, Voice::Kick, 0.6f + 0.02f * (r - 264));
    for (int r = 272; r < 279; ++r) m.hit(r, Voice::Snare, 0.3f + 0.08f * (r - 272));
    m.filterRamp(cubes, 264, 0.15f, 0.3f);
    m.filterRamp(264, credits, 0.3f, 1.0f);

    // Credits, rows 280-471: the second groove; from 360 the sung lead
    // "DO DE DU DI", looping every 32 rows with the picture.
    m.section(credits, "credits");
    m.accent(credits);
    m.hit(credits, Voice::Crash, 1.0f);
    m.note(credits, Voice::Boom, A1, 4, 0.7f);
    const Chord* creditChords[] = {&Dm, &Am, &F, &G};
    for (int bar = 0; bar < 12; ++bar) {
        int r0 = credits + bar * 16;
        const Chord& c = *creditChords[bar % 4];
        m.chord(r0, c, 16, 0.22f);
        m.bassBar(r0, c, rollingBass, 0.8f, creditsEnd);
        for (int r = r0; r < r0 + 16 && r < creditsEnd; ++r) {
            if (r % 4 == 0) m.hit(r, Voice::Kick, 0.9f);
            if (r % 4 == 2) m.hit(r, Voice::HatClosed, 0.5f);
            if (r % 2 == 1) m.hit(r, Voice::HatClosed, 0.2f);
            if ((r - credits) % 8 == 4) m.hit(r, Voice::Snare, 0.7f);
        }
    }
    // A small chime as each credit line appears.
    for (int r : {296, 304, 307, 312, 320, 323, 328, 336, 339, 344, 352}) m.note(r, Voice::Bell, E5 + (r % 3) * 3, 2, 0.25f);
    m.section(360, "dodedudi");
    m.accent(360);
    struct Syllable {
        int offset, syllable, rows, pitch;
    };
    const Syllable lead[] = {{0, 0, 6, E5},  {6, 1, 2, D5},  {8, 2, 4, C5},  {12, 3, 4, A4},
                             {16, 0, 6, E5}, {22, 1, 2, G5}, {24, 2, 4, E5}, {28, 3, 4, D5}};
    for (int loop = 360; loop < creditsEnd; loop += 32)
        for (const Syllable& sy : lead) {
            int r = loop + sy.offset;
            if (r >= creditsEnd) break;
            NoteEvent e;
            e.row = r, e.voice = Voice::Lead, e.pitch = sy.pitch, e.velocity = 0.85f, e.syllable = sy.syllable;
            e.length = std::min(sy.rows, creditsEnd - r);
            s.notes.push_back(e);
        }
    m.filterRamp(credits, 360, 0.35f, 0.6f);
    m.filterRamp(360, creditsEnd, 0.55f, 0.8f);

    // Greetings, rows 473-606: a calmer bed and a bell chord on every name.
    m.section(creditsEnd, "gap");
    m.section(greets, "greetings");
    const Chord* greetChords[] = {&F, &Am, &Dm, &Em};
    for (int bar = 0; bar < 9; ++bar) {
        int r0 = creditsEnd + bar * 16;
        const Chord& c = *greetChords[bar % 4];
        int len = std::min(16, 606 - r0);
        if (len <= 0) break;
        m.chord(r0 == creditsEnd ? greets : r0, c, len, 0.3f);
        for (int r = r0; r < r0 + 16 && r < 600; ++r) {
            if (r < 476) continue;
            if (r % 4 == 0) m.hit(r, Voice::Kick, 0.42f);
            if (r % 4 == 2) m.hit(r, Voice::HatClosed, 0.3f);
            if (r % 8 == 0) m.note(r, Voice::Bass, c.bassRoot + 12, 3, 0.35f);
        }
    }
    const int greetRows[] = {483, 494, 505, 514, 526, 546, 562, 578, 583};
    const int bellNotes[][3] = {{A4, C5, E5}, {C5, E5, G5}, {A4, D5, F5}, {B4, E5, G5}, {A4, C5, F5},
                                {C5, E5, A5}, {D5, F5, A5}, {E5, G5, C6}, {A4, E5, A5}};
    for (int i = 0; i < 9; ++i) {
        for (int p : bellNotes[i]) m.note(greetRows[i], Voice::Bell, p, 8, 0.95f);
        m.hit(greetRows[i], Voice::Thump, 0.8f);
        m.accent(greetRows[i]);
    }
    m.section(600, "fade");
    m.filterRamp(creditsEnd, finale, 0.3f, 0.3f);

    // Finale, rows 608-751: the full groove with a burst every second beat,
    // a closing chord from 720, silence after 752.
    m.section(greetsEnd, "gap");
    m.section(finale, "finale");
    m.accent(finale);
    m.hit(finale, Voice::Crash, 0.8f);
    m.note(finale, Voice::Boom, A1, 4, 0.8f);
    const Chord* finaleChords[] = {&Am, &F, &C, &G, &Am, &F, &G};
    for (int bar = 0; bar < 7; ++bar) {
        int r0 = finale + bar * 16;
        const Chord& c = *finaleChords[bar];
        m.chord(r0, c, 16, 0.25f);
        m.bassBar(r0, c, octaveBass, 0.85f, 720);
        for (int r = r0; r < r0 + 16; ++r) {
            if (r % 4 == 0) m.hit(r, Voice::Kick, 0.95f);
            if (r % 4 == 2) m.hit(r, Voice::HatClosed, 0.5f);
            if (r % 2 == 1) m.hit(r, Voice::HatClosed, 0.2f);
            static const int arp[] = {0, 1, 2, 1, 0, 2, 1, 2};
            int inBar = r - r0;
            m.note(r, Voice::Pluck, c.tones[arp[inBar % 8]] + 12 + (inBar / 8) * 12, 1, 0.35f);
        }
    }
    for (int r = 612; r <= 748; r += 8) {
        m.note(r, Voice::Burst, A1, 2, 0.9f);
        m.accent(r);
    }
    m.section(720, "chord");
    m.accent(720);
    m.hit(720, Voice::Crash, 0.6f);
    m.note(720, Voice::Boom, A1, 4, 0.9f);
    for (int t : {A2, E3, A3, C4, E4, B4}) m.note(720, Voice::Pad, t, 30, 0.55f);
    for (int t : {A3, C4, E4, A4}) m.note(720, Voice::Stab, t, 2, 1.0f);
    m.note(720, Voice::Bass, A1, 28, 0.7f);
    m.chord(720, Am, 0, 0, false);
    m.filterRamp(finale, 720, 0.5f, 0.9f);
    m.filterRamp(720, silence, 0.6f, 0.1f);
    m.section(silence, "silence");

    s.masterGain = {{0, 1}, {600, 1}, {606, 0}, {607.98, 0}, {finale, 1}, {748.5, 1}, {silence, 0}, {800, 0}};
    std::sort(s.accents.begin(), s.accents.end());
    std::stable_sort(s.chords.begin(), s.chords.end());
    std::stable_sort(s.sections.begin(), s.sections.end(), [](const Section& a, const Section& b) { return a.row < b.row; });
    return s;
}
