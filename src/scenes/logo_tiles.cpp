#include "scenes/logo_tiles.h"

#include <cstdint>

LogoTileRates logoTileRates;

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

void drawLogoTiles() {}
