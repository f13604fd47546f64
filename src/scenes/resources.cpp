#include "scenes/resources.h"

#include "common/datafolder.h"
#include "scenes/logo_tiles.h"
#include "textures/textures.h"

void loadSceneResources() {
    loadTexture(dataFile(plimPath).c_str(), plimTexture);
    loadTexture(dataFile(logoPath).c_str(), logoTexture);
    loadTexture(dataFile(bordPath).c_str(), bord2Texture);
    for (int i = 0; i < greetTextureCount; ++i) loadTexture(dataFile(greetPaths[i]).c_str(), greetTextures[i]);
    // Filled after every load and before anything else draws random numbers.
    buildTileRates();
}
