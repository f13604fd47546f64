#pragma once
// The third scene: the logo cut into 16 x 16 tiles, built up column by
// column on the beat while it approaches, then bursting apart.

inline constexpr int logoTileCount = 16;

struct LogoTileRates {
    float depthRate[logoTileCount][logoTileCount] = {};  // ms per unit of depth, 40..49
    float spinRate[logoTileCount][logoTileCount] = {};   // ms per degree of spin
};

extern LogoTileRates logoTileRates;

// Where each tile has flown to during the burst, indexed [row from the
// bottom][column from the left].
struct LogoTilesState {
    float tileDepth[logoTileCount][logoTileCount] = {};  // towards the viewer
    float tileSpin[logoTileCount][logoTileCount] = {};   // degrees about the tile's vertical axis
};

extern LogoTilesState logoTiles;

// Draws the per-tile rates from the demo's own random sequence; once, at
// start-up, after the textures are loaded.
void buildTileRates(LogoTileRates& rates = logoTileRates);

// One tile as a GL_QUADS quad at z = 0, centred on the origin, showing the
// logo's cell in `column` (from the left) and `row` (from the bottom)
// upright. Half-extents in GL units.
void drawLogoTile(int column, int row, float halfWidth, float halfHeight);

// Per frame, music rows 192 to 223. Binds the logo, blends by alpha without
// depth test and leaves the matrix translated.
void drawLogoTiles();
