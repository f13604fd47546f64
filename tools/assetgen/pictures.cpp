#include "pictures.h"

#include <algorithm>
#include <cmath>

#include "lcg.h"
#include "typeface.h"

namespace {

// The palette: night inks, a violet-to-magenta dusk, gold and a cold cyan.
const Rgba ink = rgb(11, 10, 31);
const Rgba indigo = rgb(35, 28, 92);
const Rgba violet = rgb(91, 42, 134);
const Rgba magenta = rgb(255, 61, 139);
const Rgba gold = rgb(255, 193, 69);
const Rgba cyan = rgb(61, 232, 224);
const Rgba cream = rgb(255, 243, 217);
const Rgba black = rgb(0, 0, 0);

constexpr float kPi = 3.14159265358979f;

// The sizes of every piece of lettering: a strike of the typeface and the
// block of image pixels each of its pixels becomes. The strikes' own
// proportions (a cell twice as tall as wide) are stretched where a word
// keeps the width and height of its place in the picture.
const TextSize logoName{32, 7, 9};    // "TARNWICK", 875 x 180
const TextSize logoTrade{16, 4, 3};   // "DEMO GROUP" under the rule
const TextSize endTitle{32, 6, 6};    // "THE END"
const TextSize endCredit{24, 2, 2};   // "A TARNWICK PRODUCTION"
const TextSize strip{32, 3, 4};       // the greeting strips, narrowed if a name needs it
const TextSize sheetTitle{32, 2, 2};  // the contact sheet's title
const TextSize sheetLabel{12, 2, 2};  // and its captions

float smoothstep(float e0, float e1, float x) {
    float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// Evaluates `f` at n × n points inside every pixel and averages them
// (premultiplied), which gives analytic shapes clean edges.
Image supersample(int w, int h, int n, const std::function<Rgba(float, float)>& f) {
    Image img(w, h);
    const float step = 1.0f / n;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float r = 0, g = 0, b = 0, a = 0;
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i) {
                    Rgba c = f(x + (i + 0.5f) * step, y + (j + 0.5f) * step);
                    r += c.r * c.a, g += c.g * c.a, b += c.b * c.a, a += c.a;
                }
            Rgba& p = img.at(x, y);
            p.a = a / (n * n);
            if (a > 0) p.r = r / a, p.g = g / a, p.b = b / a;
        }
    return img;
}

// Straight-alpha "over" of one colour onto another.
Rgba over(const Rgba& top, const Rgba& under) {
    float a = top.a + under.a * (1 - top.a);
    if (a <= 0) return Rgba{0, 0, 0, 0};
    float k = under.a * (1 - top.a);
    return Rgba{(top.r * top.a + under.r * k) / a, (top.g * top.a + under.g * k) / a,
                (top.b * top.a + under.b * k) / a, a};
}

// The sliced dusk sun used by the emblem and the backdrop: a disc that runs
// gold to magenta, its lower half cut by bands that widen towards the bottom.
// (u, v) are relative to the centre in units of the radius. Returns the
// colour with alpha 0 outside the disc and in the cuts.
Rgba sunDisc(float u, float v) {
    if (u * u + v * v > 1.0f) return Rgba{0, 0, 0, 0};
    if (v > 0.05f) {
        // Band k covers [start, start + period); its cut grows with depth.
        float period = 0.16f;
        float t = (v - 0.05f) / period;
        float frac = t - std::floor(t);
        float cut = 0.12f + 0.45f * (v - 0.05f);
        if (frac < cut) return Rgba{0, 0, 0, 0};
    }
    return verticalStops({gold, gold, rgb(255, 128, 96), magenta, violet}, v, -1.0f, 1.0f);
}

// A four-pointed sparkle of the given size, coverage at offset (dx, dy).
float sparkle(float dx, float dy, float size) {
    float ax = std::fabs(dx) / size, ay = std::fabs(dy) / size;
    float arms = std::max(std::exp(-ay * 18.0f) * std::max(0.0f, 1 - ax), std::exp(-ax * 18.0f) * std::max(0.0f, 1 - ay));
    float core = std::exp(-(ax * ax + ay * ay) * 40.0f);
    return std::min(1.0f, arms + core);
}

// plim.png: the emblem at the left of the opening, blended by its alpha.
Image makeEmblem() {
    const int size = 512;
    const float cx = 256, cy = 250, radius = 196;
    Lcg rng(7);
    struct Spark {
        float x, y, s;
    };
    std::vector<Spark> sparks;
    for (int i = 0; i < 7; ++i) {
        float ang = static_cast<float>(rng.uniform()) * 2 * kPi;
        float dist = radius + 26 + static_cast<float>(rng.uniform()) * 24;
        sparks.push_back({cx + std::cos(ang) * dist, cy + std::sin(ang) * dist, 10 + static_cast<float>(rng.uniform()) * 14});
    }
    return supersample(size, size, 4, [&](float x, float y) {
        float dx = x - cx, dy = y - cy;
        float d = std::sqrt(dx * dx + dy * dy);
        // Halo: magenta fading out beyond the rim.
        float halo = std::exp(-std::pow(std::max(0.0f, d - radius) / 34.0f, 2.0f)) * 0.75f;
        Rgba c = withAlpha(magenta, d < radius ? 0.0f : halo);
        // Ring: a thin cyan circle outside the disc.
        float ring = std::clamp(2.2f - std::fabs(d - (radius + 13)), 0.0f, 1.0f);
        c = over(withAlpha(cyan, ring), c);
        for (const Spark& s : sparks) c = over(withAlpha(cream, sparkle(x - s.x, y - s.y, s.s)), c);
        Rgba sun = sunDisc(dx / radius, dy / radius);
        if (sun.a > 0) {
            // A soft glow inside the cuts keeps the sliced half readable.
            c = over(sun, c);
        } else if (d < radius) {
            c = over(withAlpha(magenta, 0.18f), c);
        }
        return c;
    });
}

// Letters with a chrome fill: a cold sky above the middle line, a warm
// ground below it, split by a bright horizon.
Rgba chrome(float y, const TextBox& box) {
    float t = (y - box.y0) / static_cast<float>(box.y1 - box.y0);
    if (t < 0.5f) return verticalStops({rgb(150, 245, 255), rgb(200, 250, 255), cream}, t, 0.0f, 0.5f);
    if (t < 0.54f) return rgb(255, 255, 255);
    return verticalStops({violet, magenta, rgb(255, 140, 90), gold}, t, 0.54f, 1.0f);
}

// tarnwicklogo.png: the group's name, on a transparent background.
Image makeLogo(const Typeface& face) {
    Image img(1024, 512);
    Mask letters(img.w, img.h);
    TextBox box = stampText(letters, face, "TARNWICK", logoName, 512, 215);
    Mask ring = outline(letters, 11);
    Mask edge = outline(letters, 6);
    paint(img, scaled(blur(ring, 26), 0.9f), withAlpha(magenta, 0.85f));
    paint(img, ring, cyan);
    paint(img, edge, ink);
    paint(img, letters, [&](int, int y) { return chrome(y + 0.5f, box); });
    // A thin dark line every few pixels across the lower half: the scanline look.
    Mask scan(img.w, img.h);
    for (int y = box.y0 + (box.y1 - box.y0) * 6 / 10; y < box.y1; ++y)
        if ((y - box.y0) % 9 == 0)
            for (int x = 0; x < img.w; ++x) scan.at(x, y) = letters.at(x, y);
    paint(img, scan, withAlpha(violet, 0.7f));

    // Rule with a diamond, and the group's trade underneath.
    Mask rule(img.w, img.h), small(img.w, img.h);
    const int ruleY = 388;
    for (int y = ruleY - 2; y <= ruleY + 2; ++y)
        for (int x = 150; x < 874; ++x) {
            float fade = smoothstep(150, 260, x) * smoothstep(874, 764, x);
            rule.at(x, y) = fade;
        }
    for (int y = ruleY - 14; y <= ruleY + 14; ++y)
        for (int x = 512 - 14; x <= 512 + 14; ++x)
            if (std::abs(x - 512) + std::abs(y - ruleY) <= 14) rule.at(x, y) = 1.0f;
    TextBox sub = stampText(small, face, "DEMO GROUP", logoTrade, 512, 440);
    Mask smallEdge = outline(small, 3);
    paint(img, scaled(blur(outline(rule, 3), 10), 0.8f), withAlpha(magenta, 0.8f));
    paint(img, outline(rule, 2), ink);
    paint(img, rule, gold);
    paint(img, smallEdge, ink);
    paint(img, small, [&](int, int y) { return verticalStops({cream, cyan}, y + 0.5f, sub.y0, sub.y1); });
    fillTransparent(img, magenta);
    return img;
}

// bord.png: the framed tile on cubes and wheels. A dark bevelled frame
// reads as an outline on the smallest cubes; inside, a light field (so that
// the scenes' colours tint it) with square rings that become circles and
// spokes on the wheels.
Image makeTile() {
    const int n = 256;
    return supersample(n, n, 2, [&](float x, float y) {
        float edge = std::min(std::min(x, y), std::min(n - x, n - y));  // distance to the border
        if (edge < 22) {
            // Bevel: light on the top and left, dark on the bottom and right.
            Rgba c = indigo;
            bool topLeft = (y < x) ? (y < n - x) : (x < n - y);
            if (edge > 3 && edge < 8) c = topLeft ? rgb(88, 78, 170) : ink;
            if (edge < 2.5f) c = ink;
            return c;
        }
        if (edge < 28) return edge < 24 ? gold : rgb(255, 226, 150);
        float u = (x + y) / (2.0f * n);
        Rgba field = mix(cream, rgb(196, 238, 246), smoothstep(0.2f, 0.8f, u));
        float ringDist = edge - 28;
        float phase = std::fmod(ringDist, 25.0f);
        if (phase > 20.0f && ringDist < 95) field = mix(field, rgb(120, 150, 205), 0.55f);
        float cd = std::fabs(x - n / 2.0f) + std::fabs(y - n / 2.0f);
        if (cd < 18) field = cd < 11 ? magenta : ink;
        return field;
    });
}

// bak.png: the wide dusk behind the closing wheels: sky, stars, the sliced
// sun sinking behind two ridges, and a grid floor running to the horizon.
Image makeBackdrop() {
    const int w = 1536, h = 512;
    const float horizon = 330, sunX = 768, sunY = 262, sunR = 160;
    Lcg rng(2025);
    struct Star {
        float x, y, size, level;
    };
    std::vector<Star> stars;
    for (int i = 0; i < 240; ++i) {
        Star s{static_cast<float>(rng.uniform()) * w, static_cast<float>(rng.uniform()) * (horizon - 90), 0, 0};
        s.size = rng.uniform() < 0.06 ? 7 + static_cast<float>(rng.uniform()) * 8 : 0.8f + static_cast<float>(rng.uniform()) * 0.9f;
        s.level = 0.35f + static_cast<float>(rng.uniform()) * 0.65f;
        stars.push_back(s);
    }
    // Ridge heights from a few sines with fixed phases.
    std::vector<float> farRidge(w), nearRidge(w);
    float ph[6];
    for (float& p : ph) p = static_cast<float>(rng.uniform()) * 2 * kPi;
    for (int x = 0; x < w; ++x) {
        float t = x / static_cast<float>(w);
        farRidge[x] = horizon - 34 - 22 * std::sin(t * 9 + ph[0]) - 12 * std::sin(t * 23 + ph[1]) - 5 * std::sin(t * 61 + ph[2]);
        nearRidge[x] = horizon - 8 - 16 * std::sin(t * 13 + ph[3]) - 9 * std::sin(t * 37 + ph[4]) - 4 * std::sin(t * 97 + ph[5]);
        // Keep the valley open under the sun.
        float open = smoothstep(0.0f, 260.0f, std::fabs(x - sunX));
        farRidge[x] = horizon - (horizon - farRidge[x]) * (0.25f + 0.75f * open);
        nearRidge[x] = horizon - std::max(0.0f, horizon - nearRidge[x]) * open;
    }
    Image img = supersample(w, h, 2, [&](float x, float y) {
        int xi = std::clamp(static_cast<int>(x), 0, w - 1);
        if (y < horizon) {
            Rgba c = verticalStops({ink, indigo, violet, rgb(200, 50, 130), magenta}, y, 0, horizon);
            float glow = std::exp(-(horizon - y) / 40.0f);
            c = mix(c, gold, glow * 0.45f);
            float du = (x - sunX) / sunR, dv = (y - sunY) / sunR;
            float dsun = std::sqrt(du * du + dv * dv);
            c = mix(c, rgb(255, 120, 140), std::clamp((1.35f - dsun) / 0.35f, 0.0f, 1.0f) * 0.35f * (dsun > 1));
            Rgba sun = sunDisc(du, dv);
            if (sun.a > 0) c = sun;
            if (y > farRidge[xi]) c = mix(violet, indigo, smoothstep(farRidge[xi], horizon, y) * 0.6f);
            if (y > farRidge[xi] && y < farRidge[xi] + 1.5f) c = rgb(255, 110, 170);
            if (y > nearRidge[xi]) c = y < nearRidge[xi] + 1.5f ? magenta : ink;
            return c;
        }
        // The floor: lines of a square grid seen from just above it.
        float dy = y - horizon;
        Rgba c = mix(rgb(40, 12, 60), ink, smoothstep(0, 120, dy));
        const float k = 0.9f, eye = 60;
        float z = eye / dy;
        float gz = z * k * 10, gx = (x - sunX) / dy * k;
        float pxZ = std::fabs(gz - std::round(gz)) / (k * 10 * eye / (dy * dy));
        float pxX = std::fabs(gx - std::round(gx)) / (k / dy);
        float line = std::max(std::clamp(1.6f - pxZ, 0.0f, 1.0f), std::clamp(1.6f - pxX, 0.0f, 1.0f));
        float halo = std::max(std::exp(-pxZ * 0.6f), std::exp(-pxX * 0.6f)) * 0.35f;
        float fog = smoothstep(4, 110, dy) * smoothstep(4, 110, dy);
        c = mix(c, magenta, std::min(1.0f, halo * fog));
        c = mix(c, mix(rgb(255, 120, 200), cream, 0.3f), line * (0.25f + 0.75f * fog));
        return c;
    });
    for (const Star& s : stars) {
        float sd = std::hypot(s.x - sunX, s.y - sunY);
        if (sd < sunR + 40) continue;  // no stars in front of the sun or its glow
        int r = static_cast<int>(std::ceil(s.size)) + 1;
        for (int y = static_cast<int>(s.y) - r; y <= static_cast<int>(s.y) + r; ++y)
            for (int x = static_cast<int>(s.x) - r; x <= static_cast<int>(s.x) + r; ++x) {
                if (x < 0 || y < 0 || x >= w || y >= h) continue;
                float dx = x + 0.5f - s.x, dy = y + 0.5f - s.y;
                float cov = s.size > 3 ? sparkle(dx, dy, s.size) : std::exp(-(dx * dx + dy * dy) / (s.size * s.size));
                Rgba& p = img.at(x, y);
                Rgba tint = (static_cast<int>(s.x) % 3 == 0) ? cyan : cream;
                p = mix(p, tint, std::min(1.0f, cov * s.level));
            }
    }
    return img;
}

// Light lettering on black, for the pictures that the scenes add to the frame.
struct GlowStyle {
    std::vector<Rgba> fill;  // top to bottom
    Rgba rim;                // thin outline
    Rgba glow;               // wide halo
};

void glowLettering(Image& img, const Mask& letters, const TextBox& box, const GlowStyle& style, int rimRadius, int glowRadius) {
    Mask rim = outline(letters, static_cast<float>(rimRadius));
    addLight(img, blur(rim, glowRadius), withAlpha(style.glow, 0.9f));
    addLight(img, blur(letters, glowRadius / 3 + 1), withAlpha(style.glow, 0.5f));
    Mask rimOnly = rim;
    for (size_t i = 0; i < rimOnly.v.size(); ++i) rimOnly.v[i] = std::max(0.0f, rim.v[i] - letters.v[i]);
    paint(img, rimOnly, style.rim);
    paint(img, letters, [&](int, int y) { return verticalStops(style.fill, y + 0.5f, box.y0, box.y1); });
}

void addDiamond(Mask& m, float cx, float cy, float r) {
    for (int y = static_cast<int>(cy - r - 1); y <= static_cast<int>(cy + r + 1); ++y)
        for (int x = static_cast<int>(cx - r - 1); x <= static_cast<int>(cx + r + 1); ++x) {
            if (x < 0 || y < 0 || x >= m.w || y >= m.h) continue;
            float d = std::fabs(x + 0.5f - cx) + std::fabs(y + 0.5f - cy);
            m.at(x, y) = std::max(m.at(x, y), std::clamp(r + 0.5f - d, 0.0f, 1.0f));
        }
}

Image finish(Image img) {
    for (Rgba& p : img.px) p.a = 1.0f;
    return img;
}

// end.png: the closing caption.
Image makeEndCaption(const Typeface& face) {
    Image img(960, 256, black);
    Mask big(img.w, img.h), small(img.w, img.h), rule(img.w, img.h);
    TextBox box = stampText(big, face, "THE END", endTitle, 480, 100);
    glowLettering(img, big, box, {{cream, cream, gold, rgb(255, 150, 80)}, magenta, magenta}, 3, 22);
    for (int y = 187; y < 190; ++y)
        for (int x = 200; x < 760; ++x) rule.at(x, y) = smoothstep(200, 330, x) * smoothstep(760, 630, x);
    addDiamond(rule, 480, 188.5f, 7);
    addLight(img, blur(rule, 8), withAlpha(magenta, 0.9f));
    paint(img, rule, gold);
    TextBox sub = stampText(small, face, "A TARNWICK PRODUCTION", endCredit, 480, 222);
    addLight(img, blur(small, 5), withAlpha(cyan, 0.5f));
    paint(img, small, [&](int, int y) { return verticalStops({cream, cyan}, y + 0.5f, sub.y0, sub.y1); });
    return finish(img);
}

// A 5:1 strip with one line of lettering, fitted to the width.
Image makeStrip(const Typeface& face, const std::string& text, const GlowStyle& style, bool ornaments) {
    Image img(640, 128, black);
    Mask letters(img.w, img.h);
    TextSize size = strip;
    auto width = [&] { return measureText(face, text, size).x1 - measureText(face, text, size).x0; };
    while (size.sx > 1 && width() > (ornaments ? 540 : 590)) --size.sx;
    TextBox box = stampText(letters, face, text, size, 320, 64);
    glowLettering(img, letters, box, style, 2, 14);
    if (ornaments) {
        Mask dots(img.w, img.h);
        addDiamond(dots, box.x0 - 22.0f, 64, 6);
        addDiamond(dots, box.x1 + 22.0f, 64, 6);
        addLight(img, blur(dots, 6), withAlpha(style.glow, 0.9f));
        paint(img, dots, gold);
    }
    return finish(img);
}

// krund.png: the thin line that closes the greetings column.
Image makeClosingLine() {
    const int w = 1024, h = 64;
    Image img(w, h, black);
    return finish(supersample(w, h, 2, [&](float x, float y) {
        float taper = smoothstep(0, 300, x) * smoothstep(w, w - 300.0f, x);
        float dy = std::fabs(y - h / 2.0f);
        float core = std::clamp(1.8f - dy, 0.0f, 1.0f) * taper;
        float warm = std::exp(-(dy * dy) / (2 * 4.0f * 4.0f)) * taper;
        float wide = std::exp(-(dy * dy) / (2 * 8.0f * 8.0f)) * taper;
        float dd = std::fabs(x - w / 2.0f) + std::fabs(y - h / 2.0f) * 1.6f;
        float diamond = std::clamp(16.5f - dd, 0.0f, 1.0f);
        float diamondGlow = std::exp(-dd / 10.0f);
        float beads = 0;
        for (int k = -6; k <= 6; ++k) {
            if (k == 0) continue;
            float bx = w / 2.0f + k * 56.0f, d2 = (x - bx) * (x - bx) + dy * dy;
            beads = std::max(beads, std::exp(-d2 / 6.0f) * taper);
        }
        Rgba c = black;
        auto add = [&](const Rgba& col, float k) { c.r += col.r * k, c.g += col.g * k, c.b += col.b * k; };
        add(magenta, wide * 0.55f);
        add(gold, warm * 0.6f);
        add(gold, diamondGlow * 0.5f);
        add(cyan, beads);
        c = mix(c, cream, std::max(core, diamond));
        c.r = std::min(c.r, 1.0f), c.g = std::min(c.g, 1.0f), c.b = std::min(c.b, 1.0f), c.a = 1;
        return c;
    }));
}

}  // namespace

const std::vector<std::string>& greetingNames() {
    static const std::vector<std::string> names = {"QUERNFOLK", "MOTHWARDEN", "SNORKULUX", "TALLOWGRID",
                                                   "BRACKENHALL", "VOXENDRAL", "PLUMMETRA", "OBLIQUARY"};
    return names;
}

const std::vector<int>& letteringStrikes() {
    static const std::vector<int> strikes = {logoName.strike, logoTrade.strike, endTitle.strike, endCredit.strike,
                                             strip.strike,    sheetTitle.strike, sheetLabel.strike};
    return strikes;
}

std::vector<Picture> makePictures(const Typeface& face, const std::function<void(const std::string&)>& progress) {
    std::vector<Picture> out;
    auto add = [&](const std::string& file, bool alpha, const std::function<Image()>& make) {
        progress(file);
        out.push_back(Picture{file, make(), alpha});
    };
    const GlowStyle cold{{cream, rgb(170, 250, 250), cyan}, rgb(30, 120, 170), magenta};
    const GlowStyle warm{{cream, gold, rgb(255, 140, 90)}, rgb(150, 40, 110), violet};
    add("bord.png", false, makeTile);
    add("end.png", false, [&] { return makeEndCaption(face); });
    add("bak.png", false, makeBackdrop);
    add("plim.png", true, makeEmblem);
    add("tarnwicklogo.png", true, [&] { return makeLogo(face); });
    add("greets.png", false, [&] {
        return makeStrip(face, "GREETINGS", GlowStyle{{cream, gold, magenta}, rgb(30, 120, 170), magenta}, false);
    });
    for (size_t i = 0; i < greetingNames().size(); ++i)
        add("greet" + std::to_string(i + 1) + ".png", false,
            [&, i] { return makeStrip(face, greetingNames()[i], i % 2 == 0 ? cold : warm, true); });
    add("krund.png", false, makeClosingLine);
    return out;
}

Image makeIcon(int size) {
    const float s = static_cast<float>(size), corner = s * 0.18f, half = s / 2;
    const float cx = half, cy = s * 0.47f, radius = s * 0.30f;
    return supersample(size, size, 4, [&](float x, float y) {
        // The tile: a rounded square, night ink at the top to violet dusk.
        float qx = std::max(std::fabs(x - half) - (half - corner), 0.0f);
        float qy = std::max(std::fabs(y - half) - (half - corner), 0.0f);
        if (qx * qx + qy * qy > corner * corner) return Rgba{0, 0, 0, 0};
        Rgba c = verticalStops({ink, indigo, violet}, y, 0, s);
        // A grid floor under the horizon, as on the closing backdrop.
        const float horizon = s * 0.74f;
        if (y > horizon) {
            float depth = (y - horizon) / (s - horizon);
            float row = std::fmod(std::sqrt(depth) * 5.0f, 1.0f);
            float column = std::fmod((x - half) / (0.15f + depth) / (s * 0.09f) + 100.5f, 1.0f);
            if (row < 0.12f || column < 0.06f) c = mix(c, magenta, 0.55f + 0.45f * depth);
        }
        float dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
        float ring = std::clamp(s * 0.012f - std::fabs(d - radius * 1.12f), 0.0f, 1.0f);
        c = over(withAlpha(cyan, ring), c);
        Rgba sun = sunDisc(dx / radius, dy / radius);
        if (sun.a > 0) c = over(sun, c);
        return c;
    });
}

Image makeContactSheet(const Typeface& face, const std::vector<Picture>& pictures) {
    const int width = 1120, margin = 24, labelHeight = 34;
    struct Placed {
        const Picture* pic;
        int x, y, w, h;
    };
    auto targetHeight = [](const Picture& p) {
        double aspect = static_cast<double>(p.image.w) / p.image.h;
        if (aspect <= 1.01) return 256;
        if (aspect <= 3.1) return 256;
        if (aspect <= 4) return 176;
        if (aspect <= 6) return 104;
        return 56;
    };
    std::vector<Placed> placed;
    int x = margin, y = 96, rowHeight = 0;
    for (const Picture& p : pictures) {
        int h = targetHeight(p);
        int w = static_cast<int>(std::lround(static_cast<double>(p.image.w) * h / p.image.h));
        if (x + w > width - margin) {
            x = margin;
            y += rowHeight + labelHeight + margin;
            rowHeight = 0;
        }
        placed.push_back({&p, x, y, w, h});
        x += w + margin;
        rowHeight = std::max(rowHeight, h);
    }
    int height = y + rowHeight + labelHeight + margin;
    Image sheet(width, height, ink);
    Mask title(width, height), labels(width, height);
    stampText(title, face, "TARNWICK  DATA", sheetTitle, width / 2.0f, 48);
    for (const Placed& p : placed) {
        Image small = resized(p.pic->image, p.w, p.h);
        for (int j = 0; j < p.h; ++j)
            for (int i = 0; i < p.w; ++i) {
                // Transparent pictures are shown over a checkerboard.
                Rgba under = ((i / 12 + j / 12) % 2) ? rgb(70, 70, 84) : rgb(110, 110, 124);
                Rgba top = small.at(i, j);
                if (!p.pic->alpha) top.a = 1;
                sheet.at(p.x + i, p.y + j) = over(top, under);
            }
        // The file's own name, on a baseline shared by the whole row.
        std::string label = p.pic->file + "  " + std::to_string(p.pic->image.w) + "x" + std::to_string(p.pic->image.h);
        stampLine(labels, face, label, sheetLabel, p.x, p.y + p.h + 24);
    }
    paint(sheet, scaled(blur(outline(title, 2), 12), 0.9f), magenta);
    paint(sheet, title, gold);
    paint(sheet, labels, cream);
    for (Rgba& p : sheet.px) p.a = 1;
    return sheet;
}
