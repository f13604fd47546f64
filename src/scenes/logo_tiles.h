#pragma once
// The logo cut into 16 x 16 tiles that fly apart.

inline constexpr int logoTileCount = 16;

struct LogoTileRates {
    float depthRate[logoTileCount][logoTileCount] = {};  // ms per unit of depth, 40..49
    float spinRate[logoTileCount][logoTileCount] = {};   // ms per degree of spin
};

extern LogoTileRates logoTileRates;

// Draws the per-tile rates from the demo's own random sequence; once, at
// start-up, after the textures are loaded.
void buildTileRates(LogoTileRates& rates = logoTileRates);

void drawLogoTiles();
