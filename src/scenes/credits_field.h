#pragma once
// The credits: a tilted field of 104 x 80 small textured cubes rippling with
// a travelling wave and tinted by three drifting ring patterns. One credit
// line at a time is spelled into the field in the 8 x 8 font; the cubes under
// its letters jump up, turn cyan and sink back over the line's duration.
#include <string>

constexpr int creditColumns = 104;  // field columns, left to right
constexpr int creditRows = 80;      // field rows, near to far
constexpr int creditMaskColumns = 112;  // 8 spare columns for a glyph running past the field

struct CreditsFieldState {
    bool creditsStarted = false;
    float plasmaTime = 0.0f;  // grows by 0.5 per ms of frames

    // Rebuilt every frame, indexed [column][row].
    float cellHeight[creditColumns][creditRows] = {};  // above the field plane, field units
    float cellRed[creditColumns][creditRows] = {};
    float cellGreen[creditColumns][creditRows] = {};
    float cellBlue[creditColumns][creditRows] = {};
    float textMask[creditMaskColumns][creditRows] = {};  // 1 under a pixel of the current line

    // True draws every cube on its own with all six faces, each inside its own
    // matrix push. False (the demo) draws the same picture in four batches,
    // leaving out the faces that are turned away from the eye or lie against a
    // neighbour of the same height.
    bool drawEveryFace = false;
};

extern CreditsFieldState creditsField;

struct CreditLine {
    const char* text;
    int rows;   // duration in music rows
    int start;  // music rows after the scene's first row
    int x, y;   // mask column and row of the line's lower left corner
};

constexpr int creditLineCount = 20;
extern const CreditLine creditLines[creditLineCount];

// The music position in beats since row 0, in single precision; four times
// its truncated value is the music row.
float musicBeats();

// Writes 1 into textMask under every set pixel of `text`: character k fills
// columns x + 8k + 1 to x + 8k + 8 and rows y + 1 to y + 8, its top pixel row
// at the highest row. Never clears; stays inside the mask for every line of
// creditLines.
void stampTextLine(std::string text, int x, int y);

// The field's arithmetic for one frame at `beats` (music beats since row 0)
// and music row `row`, without drawing: the wave into creditsField's
// cellHeight, its rings into the cell colours, the current line into textMask. Returns the progress
// through that line (0 at its first row, 1 at its end). Allocates nothing.
float buildCreditsFrame(float beats, int row);

// One frame of the scene; advances plasmaTime by frameDeltaMs.
void drawCreditsField();
