#pragma once
// What the scenes need before the first frame, after the start-up's own three
// textures: the other thirteen textures, then the logo's tile rates.
void loadSceneResources();
