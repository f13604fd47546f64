#include "scenes/logo_tiles.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>

#include "music/musicsync.h"
#include "scenes/framedelta.h"
#include "textures/textures.h"

LogoTileRates logoTileRates;
LogoTilesState logoTiles;

namespace {

// The demo's one random sequence: a linear congruential generator that is
// never seeded and that nothing else draws from.
struct TileRandom {
    std::uint32_t state = 1;
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state / 65536u) % 32768u);
    }
};

}  // namespace

void buildTileRates(LogoTileRates& rates) {
    TileRandom random;
    for (int i = 0; i < logoTileCount; ++i) {
        for (int j = 0; j < logoTileCount; ++j) {
            random.next();  // drawn but not used
            rates.depthRate[i][j] = static_cast<float>((random.next() % 100 + 400) / 10);
            rates.spinRate[i][j] = static_cast<float>((random.next() % 3 + 20) / 10);
        }
    }
}

void drawLogoTile(int column, int row, float halfWidth, float halfHeight) {
    const float cell = 1.0f / logoTileCount;
    const float s0 = column / static_cast<float>(logoTileCount), s1 = s0 + cell;
    const float t0 = (logoTileCount - 1 - row) / static_cast<float>(logoTileCount), t1 = t0 + cell;
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t1); glVertex3f(-halfWidth, -halfHeight, 0.0f);
    glTexCoord2f(s1, t1); glVertex3f(halfWidth, -halfHeight, 0.0f);
    glTexCoord2f(s1, t0); glVertex3f(halfWidth, halfHeight, 0.0f);
    glTexCoord2f(s0, t0); glVertex3f(-halfWidth, halfHeight, 0.0f);
    glEnd();
}

void drawLogoTiles() {
    LogoTilesState& s = logoTiles;
    const LogoTileRates& rates = logoTileRates;
    const double delta = frameDeltaMs;

    glTranslatef(-6.0f, -3.0f, -26.0f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, logoTexture.glName);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);

    // One column per row from row 193, and the logo one unit nearer per row,
    // until it is whole at row 208.
    const int columns = std::min(musicRow() - 192, logoTileCount);
    glTranslatef(0.0f, 0.0f, static_cast<float>(columns));

    if (musicRow() >= 216) {
        for (int i = 0; i < logoTileCount; ++i) {
            for (int j = 0; j < logoTileCount; ++j) {
                // A zero rate never comes out of the set-up; it would leave the tile still.
                if (rates.depthRate[i][j] != 0)
                    s.tileDepth[i][j] = static_cast<float>(s.tileDepth[i][j] + delta / rates.depthRate[i][j]);
                if (rates.spinRate[i][j] != 0)
                    s.tileSpin[i][j] = static_cast<float>(s.tileSpin[i][j] + delta / rates.spinRate[i][j]);
            }
        }
    }

    // With the depth test off, later tiles paint over earlier ones: bottom
    // row first, left to right.
    for (int i = 0; i < logoTileCount; ++i) {
        for (int j = 0; j < columns; ++j) {
            glPushMatrix();
            glTranslatef(static_cast<float>(0.8 * j), static_cast<float>(0.4 * i), 0.0f);
            glTranslatef(0.0f, 0.0f, s.tileDepth[i][j]);
            glRotatef(s.tileSpin[i][j], 0.0f, 1.0f, 0.0f);
            drawLogoTile(j, i, 0.4f, 0.2f);
            glPopMatrix();
        }
    }
}
