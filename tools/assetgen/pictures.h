#pragma once
// The demo's pictures, all drawn in code in one palette.
#include <string>
#include <vector>

#include "raster.h"
#include "typeface.h"

struct Picture {
    std::string file;  // name under Grafik/
    Image image;
    bool alpha;        // written with an alpha channel (the scene blends by it)
};

// The names of the invented groups greeted by greet1.png to greet8.png, in order.
const std::vector<std::string>& greetingNames();

// The pixel sizes of the typeface's strikes that the lettering uses.
const std::vector<int>& letteringStrikes();

// Draws every picture, in the order of the texture set, lettered in `face`.
// `progress` is told the file name before each picture is drawn.
std::vector<Picture> makePictures(const Typeface& face, const std::function<void(const std::string&)>& progress);

// The program's icon, size x size with alpha: the sliced sun in its cyan ring
// over a dusk tile with rounded corners.
Image makeIcon(int size);

// One overview image of all pictures with their names and sizes.
Image makeContactSheet(const Typeface& face, const std::vector<Picture>& pictures);
