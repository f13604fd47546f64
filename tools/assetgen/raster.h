#pragma once
// Float RGBA images and coverage masks, and the few operations the pictures
// are made of: gradients, outlines, glows and compositing (the lettering is
// in typeface.h). Colours are straight (not premultiplied), 0 to 1.
#include <functional>
#include <string>
#include <vector>

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};

Rgba rgb(int r, int g, int b, float a = 1.0f);  // from 0-255 components
Rgba mix(const Rgba& x, const Rgba& y, float t);
Rgba withAlpha(Rgba c, float a);

struct Image {
    int w = 0, h = 0;
    std::vector<Rgba> px;
    Image() = default;
    Image(int width, int height, Rgba fill = Rgba{0, 0, 0, 0});
    Rgba& at(int x, int y) { return px[static_cast<size_t>(y) * w + x]; }
    const Rgba& at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
};

// Coverage 0 to 1 per pixel.
struct Mask {
    int w = 0, h = 0;
    std::vector<float> v;
    Mask() = default;
    Mask(int width, int height) : w(width), h(height), v(static_cast<size_t>(width) * height, 0.0f) {}
    float& at(int x, int y) { return v[static_cast<size_t>(y) * w + x]; }
    float at(int x, int y) const { return v[static_cast<size_t>(y) * w + x]; }
    float get(int x, int y) const { return (x < 0 || y < 0 || x >= w || y >= h) ? 0.0f : at(x, y); }
};

// Where a line of lettering lands: the pixel box of its set pixels.
struct TextBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // x1, y1 exclusive
};

// Coverage of everything within `radius` pixels of the mask's inside
// (coverage >= 0.5), with a one-pixel soft edge; the mask itself included.
Mask outline(const Mask& m, float radius);

// Gaussian-like blur (three box passes) of the given radius.
Mask blur(const Mask& m, int radius);

Mask scaled(const Mask& m, float k);  // coverage times k, clamped to 0..1

// Paints `colour(x, y)` over the image through the coverage `m`.
void paint(Image& img, const Mask& m, const std::function<Rgba(int, int)>& colour);
void paint(Image& img, const Mask& m, Rgba colour);

// Adds colour × coverage to the image (for glows on black).
void addLight(Image& img, const Mask& m, Rgba colour);

// Vertical gradient through evenly spaced stops, top to bottom, over [y0, y1).
Rgba verticalStops(const std::vector<Rgba>& stops, float y, float y0, float y1);

// Pixels whose alpha is (nearly) zero take this colour so that linear
// filtering at the edges of shapes blends towards it and not towards black.
void fillTransparent(Image& img, Rgba colour);

// Box-filtered reduction to the given size (for the contact sheet).
Image resized(const Image& img, int w, int h);

// Writes an 8-bit PNG, RGBA when `alpha`, else RGB (alpha dropped), with
// fixed encoder settings so the same image gives the same bytes. Returns
// an empty string on success, else the reason.
std::string writePng(const Image& img, bool alpha, const std::string& path);
