#include "scenes/credits_field.h"

#include <GL/gl.h>

#include <cmath>

#include "music/musicsync.h"
#include "common/font8x8.h"
#include "scenes/primitives.h"
#include "scenes/framedelta.h"
#include "textures/textures.h"

CreditsFieldState creditsField;

const CreditLine creditLines[creditLineCount] = {
    {"CREDITS", 16, 0, 0, 4},   {"CODE", 8, 16, 10, 2},    {"BY", 3, 24, 22, 5},   {"VORPIN", 5, 27, 7, 9},
    {"MUSIC", 8, 32, 50, 20},   {"BY", 3, 40, 24, 14},     {"QUILLMOT", 5, 43, 4, 32}, {"GFX", 8, 48, 16, 8},
    {"BY", 3, 56, 6, 7},        {"SKADOW", 5, 59, 56, 60}, {"...", 8, 64, 40, 23}, {"...", 8, 72, 50, 17},
    {"DO", 6, 80, 11, 10},      {"DE", 2, 86, 15, 18},     {"DU", 4, 88, 37, 19},  {"DI", 4, 92, 42, 58},
    {"DO", 6, 96, 31, 70},      {"DE", 2, 102, 47, 39},    {"DU", 4, 104, 52, 1},  {"DI", 4, 108, 11, 55},
};

float musicBeats() {
    const float seconds = musicSeconds();
    // Left to right in double from the float operands, as the music row is.
    const double beats =
        (static_cast<double>(seconds) - static_cast<double>(musicSync.file.offset)) * static_cast<double>(musicSync.file.bpm) / 60.0;
    return static_cast<float>(beats);
}

void stampTextLine(std::string text, int x, int y) {
    for (std::size_t k = 0; k < text.size(); ++k) {
        const std::uint8_t* glyph = glyphRows(text[k]);
        for (int b = 0; b < 8; ++b)
            for (int j = 0; j < 8; ++j) {
                if (!((glyph[b] >> j) & 1)) continue;
                const long column = x + 8 * static_cast<long>(k) + 8 - j;
                const long row = y + 8 - b;
                if (column < 0 || column >= creditMaskColumns || row < 0 || row >= creditRows) continue;
                creditsField.textMask[column][row] = 1.0f;
            }
    }
}

namespace {

constexpr float cubeHalf = 0.05f;  // cubes 0.1 on a side, 0.1 apart: neighbours touch
constexpr int totalCreditRows = 112;
constexpr int repeatStart = 80;  // from the end on, the last 32 rows repeat
constexpr int repeatLength = 32;

// sin of an angle in degrees, the angle and the result each rounded to float.
float roundedSin(float degrees) {
    const float angle = static_cast<float>(radians(degrees));
    return static_cast<float>(std::sin(static_cast<double>(angle)));
}

// The field's frame relative to the eye: translated, tilted towards the
// viewer and turned. Applied without a push; it stays for the rest of the frame.
void enterFieldFrame() {
    glTranslatef(-3.0f, -2.0f, -5.0f);
    glRotatef(42.0f, 1.0f, 0.3f, 0.0f);
    glRotatef(18.0f, 0.0f, 1.0f, 0.0f);
}

// Where the eye stands in the field's frame when the scene starts from the
// identity (the frame loop's matrix): the inverse of enterFieldFrame applied
// to the origin. A box face can only be seen from the side its normal points to.
struct Point {
    double x, y, z;
};

Point rotateBack(Point p, double angleDegrees, double ax, double ay, double az) {
    const double len = std::sqrt(ax * ax + ay * ay + az * az);
    ax /= len;
    ay /= len;
    az /= len;
    // Rotating by the negative angle undoes the rotation.
    const double a = -angleDegrees * M_PI / 180.0, c = std::cos(a), s = std::sin(a), t = 1 - c;
    return {(t * ax * ax + c) * p.x + (t * ax * ay - s * az) * p.y + (t * ax * az + s * ay) * p.z,
            (t * ax * ay + s * az) * p.x + (t * ay * ay + c) * p.y + (t * ay * az - s * ax) * p.z,
            (t * ax * az - s * ay) * p.x + (t * ay * az + s * ax) * p.y + (t * az * az + c) * p.z};
}

Point eyeInFieldFrame() {
    Point p{3.0, 2.0, 5.0};
    p = rotateBack(p, 42.0, 1.0, 0.3, 0.0);
    return rotateBack(p, 18.0, 0.0, 1.0, 0.0);
}

const Point fieldEye = eyeInFieldFrame();

// A face counts as turned towards the eye unless the eye is clearly behind
// its plane; the margin keeps faces seen almost edge-on. Drawing a face that
// turns away costs time but never changes a pixel: the box is closed and its
// front faces lie nearer along every ray.
constexpr double edgeOnMargin = 1e-3;

// The box's faces with the corners and texture coordinates drawTexturedBox
// gives them, in its order. Corners are signs of the half-extents.
enum Side { Front, Back, Top, Bottom, Right, Left };
struct BoxFace {
    Side side;
    signed char corner[4][3];
    float tex[4][2];
};
const BoxFace boxFaces[6] = {
    {Front, {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}}, {{0, 1}, {1, 1}, {1, 0}, {0, 0}}},
    {Back, {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
    {Top, {{-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
    {Bottom, {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}, {{0, 1}, {1, 1}, {1, 0}, {0, 0}}},
    {Right, {{1, -1, 1}, {1, -1, -1}, {1, 1, -1}, {1, 1, 1}}, {{0, 0}, {0, 1}, {1, 1}, {1, 0}}},
    {Left, {{-1, -1, 1}, {-1, -1, -1}, {-1, 1, -1}, {-1, 1, 1}}, {{0, 1}, {0, 0}, {1, 0}, {1, 1}}},
};

// The heights of the field: a wave that travels with the beat, the product of
// a column factor and a row factor. The row factor does not depend on the
// column, so it is worked out once per row.
void buildWave(CreditsFieldState& s, float beats) {
    const float phase = 72.0f * beats;  // one turn every 5 beats
    float rowWave[creditRows];
    for (int r = 0; r < creditRows; ++r) rowWave[r] = roundedSin(static_cast<float>(4 * r) + phase);
    for (int c = 0; c < creditColumns; ++c) {
        const float amplitude = static_cast<float>(0.3 * roundedSin(static_cast<float>(6 * c) + phase));
        for (int r = 0; r < creditRows; ++r) s.cellHeight[c][r] = amplitude * rowWave[r];
    }
}

// The field's colours: three sets of rings, one per channel, about far-away
// centres that drift with time. The drift of each pattern is the same for a
// whole row or column, so it is added once per frame.
double ringDistance(float u, float v) { return std::hypot(static_cast<double>(u), static_cast<double>(v)) / 16.0; }

void buildColours(CreditsFieldState& s) {
    const float t = s.plasmaTime;
    float redV[creditRows];
    for (int r = 0; r < creditRows; ++r) redV[r] = 320.0f - static_cast<float>(r) + t / 12.0f;
    for (int c = 0; c < creditColumns; ++c) {
        const float u = 200.0f - static_cast<float>(c);
        const float greenV = 320.0f - static_cast<float>(c) + t / 10.0f;
        const float blueV = 320.0f - static_cast<float>(c) + t / 9.0f;
        for (int r = 0; r < creditRows; ++r) {
            const float w = 200.0f - static_cast<float>(r);
            s.cellRed[c][r] = static_cast<float>(0.5 * std::sin(ringDistance(u, redV[r])));
            s.cellGreen[c][r] = static_cast<float>(0.5 * std::cos(ringDistance(w, greenV)));
            s.cellBlue[c][r] = static_cast<float>(0.125 * std::sin(ringDistance(w, blueV)));
        }
    }
}

// The credit line that owns the music row: lines follow each other from row
// 280; after the last one the last 32 rows repeat.
int currentLine(int row) {
    int u = row - 280;
    if (u >= totalCreditRows) u = repeatStart + (u - repeatStart) % repeatLength;
    int i = creditLineCount - 1;
    while (i > 0 && creditLines[i].start > u) --i;
    return i;
}

// How many rows into the credits the music is, unrounded, wrapped like
// currentLine: the current line's progress comes from it. The tolerance makes
// an exact multiple of the repeat land at its start.
float creditProgressRows(float beats) {
    float f = 4.0f * beats - 280.0f;
    if (f > static_cast<float>(totalCreditRows)) {
        float w = f - static_cast<float>(repeatStart);
        // The second test stops the loop where float steps of 32 no longer change w.
        while (w > -0.01 && w - 32.0f < w) w -= 32.0f;
        f = w + static_cast<float>(totalCreditRows);
    }
    return f;
}

// The cells under the current line's text are lit: they jump up (more towards
// the right) and sink back over the line; cyan until 0.9 of it, then back to
// the field colour.
bool isLit(const CreditsFieldState& s, int c, int r) { return s.textMask[c][r] > 0.9f; }

void liftCell(CreditsFieldState& s, int c, int r, float progress) {
    s.cellHeight[c][r] = static_cast<float>(s.cellHeight[c][r] + 1.1 * (1.0f - progress) * (0.25 + 0.75 * c / 104.0));
}

struct CellColour {
    float r, g, b;
};

CellColour litColour(const CreditsFieldState& s, int c, int r, float progress) {
    if (progress <= 0.9f) return {0.3f, 1.0f, 1.0f};
    const double d = progress - 0.9;
    return {static_cast<float>(s.cellRed[c][r] + 0.3 - 3.0 * d), static_cast<float>(s.cellGreen[c][r] + 1.0 - 10.0 * d),
            static_cast<float>(s.cellBlue[c][r] + 1.0 - 10.0 * d)};
}

// Each cube on its own: a matrix push per column and per cube, all six faces.
void drawFieldCubeByCube(CreditsFieldState& s, float progress) {
    for (int c = 0; c < creditColumns; ++c) {
        glPushMatrix();
        for (int r = 0; r < creditRows; ++r) {
            glPushMatrix();
            glColor3f(s.cellRed[c][r], s.cellGreen[c][r], s.cellBlue[c][r]);
            if (isLit(s, c, r)) {
                liftCell(s, c, r, progress);
                const CellColour lit = litColour(s, c, r, progress);
                glColor3f(lit.r, lit.g, lit.b);
            }
            glTranslatef(0.0f, s.cellHeight[c][r], 0.0f);
            drawTexturedBox(cubeHalf, cubeHalf, cubeHalf);
            glPopMatrix();
            glTranslatef(0.0f, 0.0f, -0.1f);
        }
        glPopMatrix();
        glTranslatef(0.1f, 0.0f, 0.0f);
    }
}

// Whether a face of cell (c, r) can show: the eye stands in front of it and no
// neighbour of exactly the same height lies against it (that neighbour's
// volume would hide all of it).
bool faceShows(const CreditsFieldState& s, Side side, int c, int r, float x, float y, float z) {
    const float h = s.cellHeight[c][r];
    switch (side) {
        case Top: return fieldEye.y > y + cubeHalf - edgeOnMargin;
        case Bottom: return fieldEye.y < y - cubeHalf + edgeOnMargin;
        case Front:  // towards the nearer row
            return fieldEye.z > z + cubeHalf - edgeOnMargin && !(r > 0 && s.cellHeight[c][r - 1] == h);
        case Back:
            return fieldEye.z < z - cubeHalf + edgeOnMargin && !(r + 1 < creditRows && s.cellHeight[c][r + 1] == h);
        case Right:
            return fieldEye.x > x + cubeHalf - edgeOnMargin && !(c + 1 < creditColumns && s.cellHeight[c + 1][r] == h);
        case Left:
            return fieldEye.x < x - cubeHalf + edgeOnMargin && !(c > 0 && s.cellHeight[c - 1][r] == h);
    }
    return true;
}

// The field goes to GL in four parts.
constexpr int columnsPerFlush = 26;

// The same picture in one block: the cube positions are worked out here
// rather than by a matrix push per cube, and only the faces that can show
// are sent.
void drawFieldBatched(CreditsFieldState& s, float progress) {
    // Lift first: which side faces a neighbour covers depends on final heights.
    for (int c = 0; c < creditColumns; ++c)
        for (int r = 0; r < creditRows; ++r)
            if (isLit(s, c, r)) liftCell(s, c, r, progress);
    // Every vertex of a cube has the cube's colour, so flat shading gives the
    // same picture and spares the rasteriser interpolating it.
    glShadeModel(GL_FLAT);
    glBegin(GL_QUADS);
    for (int c = 0; c < creditColumns; ++c) {
        // Each part of the field goes to GL as soon as it is sent: a GL that
        // draws on threads of its own draws it while the next part is sent.
        if (c > 0 && c % columnsPerFlush == 0) {
            glEnd();
            glFlush();
            glBegin(GL_QUADS);
        }
        const float x = 0.1f * static_cast<float>(c);
        for (int r = 0; r < creditRows; ++r) {
            if (isLit(s, c, r)) {
                const CellColour lit = litColour(s, c, r, progress);
                glColor3f(lit.r, lit.g, lit.b);
            } else {
                glColor3f(s.cellRed[c][r], s.cellGreen[c][r], s.cellBlue[c][r]);
            }
            const float y = s.cellHeight[c][r];
            const float z = -0.1f * static_cast<float>(r);
            for (const BoxFace& face : boxFaces) {
                if (!faceShows(s, face.side, c, r, x, y, z)) continue;
                for (int v = 0; v < 4; ++v) {
                    glTexCoord2f(face.tex[v][0], face.tex[v][1]);
                    glVertex3f(x + face.corner[v][0] * cubeHalf, y + face.corner[v][1] * cubeHalf,
                               z + face.corner[v][2] * cubeHalf);
                }
            }
        }
    }
    glEnd();
    glShadeModel(GL_SMOOTH);  // as every other scene expects it
    // Leave what the cube-by-cube drawing leaves: the last box's normal and
    // texture coordinate, and the column steps on the matrix.
    glNormal3f(-1.0f, 0.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    for (int c = 0; c < creditColumns; ++c) glTranslatef(0.1f, 0.0f, 0.0f);
}

}  // namespace

float buildCreditsFrame(float beats, int row) {
    CreditsFieldState& s = creditsField;
    buildWave(s, beats);
    buildColours(s);

    for (int c = 0; c < creditColumns; ++c)
        for (int r = 0; r < creditRows; ++r) s.textMask[c][r] = 0.0f;
    const CreditLine& line = creditLines[currentLine(row)];
    stampTextLine(line.text, line.x, line.y);

    return (creditProgressRows(beats) - static_cast<float>(line.start)) / static_cast<float>(line.rows);
}

void drawCreditsField() {
    CreditsFieldState& s = creditsField;

    if (!s.creditsStarted) glLoadIdentity();
    s.creditsStarted = true;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, bord2Texture.glName);
    s.plasmaTime = static_cast<float>(s.plasmaTime + frameDeltaMs * 0.5);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    enterFieldFrame();

    const float progress = buildCreditsFrame(musicBeats(), musicRow());
    if (s.drawEveryFace)
        drawFieldCubeByCube(s, progress);
    else
        drawFieldBatched(s, progress);
}
