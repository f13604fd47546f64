#include "raster.h"

#include <algorithm>
#include <cmath>

#include <lodepng.h>

Rgba rgb(int r, int g, int b, float a) { return Rgba{r / 255.0f, g / 255.0f, b / 255.0f, a}; }

Rgba mix(const Rgba& x, const Rgba& y, float t) {
    return Rgba{x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

Rgba withAlpha(Rgba c, float a) {
    c.a = a;
    return c;
}

Image::Image(int width, int height, Rgba fill) : w(width), h(height), px(static_cast<size_t>(width) * height, fill) {}

namespace {

// Squared distance transform of one line (Felzenszwalb and Huttenlocher).
void distance1d(const std::vector<float>& f, std::vector<float>& d, std::vector<int>& v, std::vector<float>& z) {
    const int n = static_cast<int>(f.size());
    const float inf = 1e30f;
    int k = 0;
    v[0] = 0;
    z[0] = -inf;
    z[1] = inf;
    auto meet = [&](int q, int p) {
        return ((f[q] + static_cast<float>(q) * q) - (f[p] + static_cast<float>(p) * p)) / (2.0f * q - 2.0f * p);
    };
    for (int q = 1; q < n; ++q) {
        float s = meet(q, v[k]);
        while (s <= z[k]) {
            --k;
            s = meet(q, v[k]);
        }
        ++k;
        v[k] = q;
        z[k] = s;
        z[k + 1] = inf;
    }
    k = 0;
    for (int q = 0; q < n; ++q) {
        while (z[k + 1] < q) ++k;
        float dq = static_cast<float>(q - v[k]);
        d[q] = dq * dq + f[v[k]];
    }
}

}  // namespace

Mask outline(const Mask& m, float radius) {
    const float inf = 1e20f;
    std::vector<float> grid(m.v.size());
    for (size_t i = 0; i < m.v.size(); ++i) grid[i] = m.v[i] >= 0.5f ? 0.0f : inf;
    int n = std::max(m.w, m.h);
    std::vector<float> f(n), d(n), z(n + 1);
    std::vector<int> v(n);
    for (int x = 0; x < m.w; ++x) {
        f.resize(m.h), d.resize(m.h);
        for (int y = 0; y < m.h; ++y) f[y] = grid[static_cast<size_t>(y) * m.w + x];
        distance1d(f, d, v, z);
        for (int y = 0; y < m.h; ++y) grid[static_cast<size_t>(y) * m.w + x] = d[y];
    }
    for (int y = 0; y < m.h; ++y) {
        f.resize(m.w), d.resize(m.w);
        for (int x = 0; x < m.w; ++x) f[x] = grid[static_cast<size_t>(y) * m.w + x];
        distance1d(f, d, v, z);
        for (int x = 0; x < m.w; ++x) grid[static_cast<size_t>(y) * m.w + x] = d[x];
    }
    Mask out(m.w, m.h);
    for (size_t i = 0; i < m.v.size(); ++i) {
        float dist = std::sqrt(grid[i]);
        float c = std::clamp(radius + 0.5f - dist, 0.0f, 1.0f);
        out.v[i] = std::max(c, m.v[i]);
    }
    return out;
}

namespace {

void boxPass(const std::vector<float>& in, std::vector<float>& out, int w, int h, int r, bool horizontal) {
    const float norm = 1.0f / (2 * r + 1);
    const int len = horizontal ? w : h, lines = horizontal ? h : w;
    for (int l = 0; l < lines; ++l) {
        auto idx = [&](int i) {
            i = std::clamp(i, -1, len);  // outside counts as empty
            if (i < 0 || i >= len) return -1;
            return horizontal ? l * w + i : i * w + l;
        };
        float sum = 0;
        for (int i = -r; i <= r; ++i) {
            int j = idx(i);
            if (j >= 0) sum += in[j];
        }
        for (int i = 0; i < len; ++i) {
            out[horizontal ? l * w + i : i * w + l] = sum * norm;
            int add = idx(i + r + 1), sub = idx(i - r);
            if (add >= 0) sum += in[add];
            if (sub >= 0) sum -= in[sub];
        }
    }
}

}  // namespace

Mask blur(const Mask& m, int radius) {
    Mask out = m;
    if (radius <= 0) return out;
    std::vector<float> tmp(m.v.size());
    int r = std::max(1, radius / 2);
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(out.v, tmp, m.w, m.h, r, true);
        boxPass(tmp, out.v, m.w, m.h, r, false);
    }
    return out;
}

Mask scaled(const Mask& m, float k) {
    Mask out = m;
    for (float& x : out.v) x = std::clamp(x * k, 0.0f, 1.0f);
    return out;
}

void paint(Image& img, const Mask& m, const std::function<Rgba(int, int)>& colour) {
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            float cov = m.at(x, y);
            if (cov <= 0.0f) continue;
            Rgba c = colour(x, y);
            float a = std::clamp(c.a * cov, 0.0f, 1.0f);
            Rgba& d = img.at(x, y);
            float outA = a + d.a * (1.0f - a);
            if (outA <= 0.0f) continue;
            float kd = d.a * (1.0f - a);
            d.r = (c.r * a + d.r * kd) / outA;
            d.g = (c.g * a + d.g * kd) / outA;
            d.b = (c.b * a + d.b * kd) / outA;
            d.a = outA;
        }
}

void paint(Image& img, const Mask& m, Rgba colour) {
    paint(img, m, [&](int, int) { return colour; });
}

void addLight(Image& img, const Mask& m, Rgba colour) {
    for (size_t i = 0; i < img.px.size(); ++i) {
        float k = m.v[i] * colour.a;
        img.px[i].r += colour.r * k;
        img.px[i].g += colour.g * k;
        img.px[i].b += colour.b * k;
    }
}

Rgba verticalStops(const std::vector<Rgba>& stops, float y, float y0, float y1) {
    float t = std::clamp((y - y0) / (y1 - y0), 0.0f, 1.0f) * (stops.size() - 1);
    size_t i = std::min(static_cast<size_t>(t), stops.size() - 2);
    return mix(stops[i], stops[i + 1], t - i);
}

void fillTransparent(Image& img, Rgba colour) {
    for (Rgba& p : img.px)
        if (p.a < 0.5f / 255.0f) p = Rgba{colour.r, colour.g, colour.b, 0.0f};
}

Image resized(const Image& img, int w, int h) {
    Image out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int sx0 = x * img.w / w, sx1 = std::max(sx0 + 1, (x + 1) * img.w / w);
            int sy0 = y * img.h / h, sy1 = std::max(sy0 + 1, (y + 1) * img.h / h);
            Rgba sum{0, 0, 0, 0};
            float wsum = 0;
            for (int sy = sy0; sy < sy1; ++sy)
                for (int sx = sx0; sx < sx1; ++sx) {
                    const Rgba& p = img.at(sx, sy);
                    sum.r += p.r * p.a;
                    sum.g += p.g * p.a;
                    sum.b += p.b * p.a;
                    sum.a += p.a;
                    wsum += 1;
                }
            Rgba& o = out.at(x, y);
            o.a = sum.a / wsum;
            if (sum.a > 0) o.r = sum.r / sum.a, o.g = sum.g / sum.a, o.b = sum.b / sum.a;
        }
    return out;
}

std::string writePng(const Image& img, bool alpha, const std::string& path) {
    const int channels = alpha ? 4 : 3;
    std::vector<unsigned char> raw(static_cast<size_t>(img.w) * img.h * channels);
    auto q = [](float v) { return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    for (size_t i = 0; i < img.px.size(); ++i) {
        const Rgba& p = img.px[i];
        raw[i * channels + 0] = q(p.r);
        raw[i * channels + 1] = q(p.g);
        raw[i * channels + 2] = q(p.b);
        if (alpha) raw[i * channels + 3] = q(p.a);
    }
    lodepng::State state;
    LodePNGColorType type = alpha ? LCT_RGBA : LCT_RGB;
    state.info_raw.colortype = type;
    state.info_raw.bitdepth = 8;
    state.info_png.color.colortype = type;
    state.info_png.color.bitdepth = 8;
    state.encoder.auto_convert = 0;  // keep the colour type we asked for
    state.encoder.zlibsettings.windowsize = 32768;
    std::vector<unsigned char> png;
    unsigned err = lodepng::encode(png, raw, img.w, img.h, state);
    if (err) return std::string("PNG encoder: ") + lodepng_error_text(err);
    err = lodepng::save_file(png, path);
    if (err) return "cannot write the file (" + std::string(lodepng_error_text(err)) + ")";
    return "";
}
