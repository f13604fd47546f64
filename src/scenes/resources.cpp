#include "scenes/resources.h"

#include "scenes/logo_tiles.h"
#include "textures/textures.h"

void loadSceneResources() {
    loadTexture(plimPath, plimTexture);
    loadTexture(logoPath, logoTexture);
    loadTexture(bordPath, bord2Texture);
    for (int i = 0; i < greetTextureCount; ++i) loadTexture(greetPaths[i], greetTextures[i]);
    // Filled after every load and before anything else draws random numbers.
    buildTileRates();
}
