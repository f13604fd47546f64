#include "synth.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "lcg.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kDt = 1.0 / kSampleRate;

double midiToHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

long rowToSample(double row) { return std::lround(row * kSecondsPerRow * kSampleRate); }

// Topology-preserving state-variable filter (one channel).
struct Svf {
    double ic1 = 0, ic2 = 0;
    double lp = 0, bp = 0, hp = 0;
    void run(double x, double cutoff, double q) {
        cutoff = std::clamp(cutoff, 10.0, kSampleRate * 0.45);
        double g = std::tan(M_PI * cutoff / kSampleRate), k = 1.0 / q;
        double a1 = 1.0 / (1.0 + g * (g + k)), a2 = g * a1, a3 = g * a2;
        double v3 = x - ic2;
        double v1 = a1 * ic1 + a2 * v3;
        double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1;
        ic2 = 2 * v2 - ic2;
        lp = v2, bp = v1, hp = x - k * v1 - v2;
    }
};

struct OnePoleHp {
    double prevIn = 0, prevOut = 0;
    double run(double x, double cutoff) {
        double a = 1.0 / (1.0 + kTwoPi * cutoff * kDt);
        prevOut = a * (prevOut + x - prevIn);
        prevIn = x;
        return prevOut;
    }
};

// Band-limited sawtooth (polyBLEP).
struct Saw {
    double phase = 0;
    explicit Saw(double start = 0) : phase(start) {}
    double next(double hz) {
        double dt = hz * kDt;
        double v = 2 * phase - 1;
        double t = phase;
        if (t < dt) {
            t /= dt;
            v -= t + t - t * t - 1;
        } else if (t > 1 - dt) {
            t = (t - 1) / dt;
            v -= t * t + t + t + 1;
        }
        phase += dt;
        if (phase >= 1) phase -= 1;
        return v;
    }
};

// The mix: dry stereo plus mono sends to the delay and the reverb.
struct Mix {
    std::vector<float> l, r, delaySend, reverbSend;
    explicit Mix(size_t n) : l(n), r(n), delaySend(n), reverbSend(n) {}
    void add(long i, double left, double right, double delay, double reverb) {
        if (i < 0 || i >= static_cast<long>(l.size())) return;
        l[i] += static_cast<float>(left);
        r[i] += static_cast<float>(right);
        double mono = 0.5 * (left + right);
        delaySend[i] += static_cast<float>(mono * delay);
        reverbSend[i] += static_cast<float>(mono * reverb);
    }
};

// Short fades at the ends of a sound so nothing clicks.
double edge(double t, double length, double fade = 0.004) {
    return std::clamp(t / fade, 0.0, 1.0) * std::clamp((length - t) / fade, 0.0, 1.0);
}

struct Renderer {
    const Score& score;
    Mix& mix;
    Lcg noise{12345};

    double white() { return noise.bipolar(); }

    float filterAt(double row) const {
        const auto& f = score.filterPerBeat;
        double beat = row / kRowsPerBeat;
        size_t i = std::min(static_cast<size_t>(std::max(0.0, beat)), f.size() - 1);
        size_t j = std::min(i + 1, f.size() - 1);
        double t = beat - std::floor(beat);
        return static_cast<float>(f[i] + (f[j] - f[i]) * t);
    }

    void kick(long s0, float v, double decay = 0.26, double top = 120, double base = 48) {
        double phase = 0, len = decay * 1.8;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt;
            double hz = base + top * std::exp(-t / 0.03);
            phase += kTwoPi * hz * kDt;
            double x = std::sin(phase) * std::exp(-t / decay) + white() * std::exp(-t / 0.0015) * 0.25;
            x = std::tanh(x * 1.4) * 0.9 * v * edge(t, len);
            mix.add(s0 + n, x, x, 0.0, 0.04);
        }
    }

    void snare(long s0, float v) {
        OnePoleHp hp;
        double len = 0.45;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt;
            double tone = std::sin(kTwoPi * 190 * t) * std::exp(-t / 0.05) * 0.5;
            double hiss = hp.run(white(), 900) * std::exp(-t / 0.12) * 0.7;
            double x = (tone + hiss) * v * edge(t, len);
            mix.add(s0 + n, x * 0.95, x * 1.05, 0.05, 0.25);
        }
    }

    void clap(long s0, float v) {
        Svf bp;
        double len = 0.5;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt;
            double env = 0;
            for (double t0 : {0.0, 0.011, 0.022}) if (t >= t0) env = std::max(env, std::exp(-(t - t0) / 0.006));
            if (t >= 0.03) env = std::max(env, 0.7 * std::exp(-(t - 0.03) / 0.11));
            bp.run(white(), 1300, 1.4);
            double x = bp.bp * env * 2.2 * v * edge(t, len);
            mix.add(s0 + n, x * 1.05, x * 0.95, 0.1, 0.35);
        }
    }

    void hat(long s0, float v, bool open, double pan) {
        OnePoleHp a, b;
        double decay = open ? 0.16 : 0.025, len = decay * 5;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt;
            double x = b.run(a.run(white(), 6500), 6500) * std::exp(-t / decay) * 0.55 * v * edge(t, len, 0.001);
            mix.add(s0 + n, x * (1 - pan), x * (1 + pan), 0.0, 0.08);
        }
    }

    void crash(long s0, float v) {
        OnePoleHp metalHp, noiseL, noiseR;
        const double partials[] = {342, 527, 811, 1033, 1427, 1830, 2455};
        double len = 2.6;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt;
            double metal = 0;
            for (double p : partials) metal += (std::sin(kTwoPi * p * t) > 0 ? 1 : -1);
            double m = metalHp.run(metal / 7.0, 3000) * 0.25;
            double k = std::exp(-t / 0.8) * edge(t, len, 0.002) * v * 0.55;
            mix.add(s0 + n, (m + noiseL.run(white(), 3500) * 0.6) * k, (m + noiseR.run(white(), 3500) * 0.6) * k, 0.05, 0.4);
        }
    }

    void bass(const NoteEvent& e, long s0) {
        Saw osc;
        Svf lp;
        double hz = midiToHz(e.pitch), len = e.length * kSecondsPerRow;
        double amount = filterAt(e.row);
        long total = static_cast<long>((len + 0.03) * kSampleRate);
        for (long n = 0; n < total; ++n) {
            double t = n * kDt;
            double src = osc.next(hz) * 0.7 + std::sin(kTwoPi * hz * t) * 0.6;
            double cutoff = 90 + (250 + 2600 * amount) * std::exp(-t / 0.13) + 300 * amount;
            lp.run(src, cutoff, 2.2 + 3 * amount);
            double x = std::tanh(lp.lp * 1.6) * 0.5 * e.velocity * edge(t, len + 0.03, 0.003);
            mix.add(s0 + n, x, x, 0.0, 0.03);
        }
    }

    void pad(const NoteEvent& e, long s0) {
        Saw a(0.0), b(0.33), c(0.71);
        Svf fl, fr;
        double hz = midiToHz(e.pitch), len = e.length * kSecondsPerRow;
        double release = 0.5, attack = std::min(0.25, len * 0.3);
        long total = static_cast<long>((len + release) * kSampleRate);
        for (long n = 0; n < total; ++n) {
            double t = n * kDt;
            double env = std::min(1.0, t / attack);
            if (t > len) env *= std::exp(-(t - len) / (release / 4));
            double lfo = 0.5 + 0.5 * std::sin(kTwoPi * 0.3 * t);
            double sa = a.next(hz * 0.9954), sb = b.next(hz), sc = c.next(hz * 1.0046);
            fl.run(sa + 0.6 * sb, 900 + 700 * lfo, 0.8);
            fr.run(sc + 0.6 * sb, 900 + 700 * (1 - lfo), 0.8);
            double k = env * e.velocity * 0.16 * edge(t, len + release);
            mix.add(s0 + n, fl.lp * k, fr.lp * k, 0.05, 0.5);
        }
    }

    void stab(const NoteEvent& e, long s0) {
        Saw a(0.1), b(0.6);
        Svf f;
        double hz = midiToHz(e.pitch), len = 0.32;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt;
            f.run(a.next(hz * 0.996) + b.next(hz * 1.004), 500 + 3500 * std::exp(-t / 0.07), 1.5);
            double x = f.lp * std::exp(-t / 0.12) * 0.3 * e.velocity * edge(t, len);
            mix.add(s0 + n, x * 1.1, x * 0.9, 0.3, 0.3);
        }
    }

    void pluck(const NoteEvent& e, long s0) {
        Saw a;
        Svf f;
        double hz = midiToHz(e.pitch), len = 0.5;
        double pan = std::clamp((e.pitch - 66) / 24.0, -0.6, 0.6);
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt;
            double src = a.next(hz) + (std::fmod(hz * t, 1.0) < 0.3 ? 0.5 : -0.5);
            f.run(src, 300 + 5000 * e.velocity * std::exp(-t / 0.05), 2.0);
            double x = f.lp * std::exp(-t / 0.16) * 0.3 * e.velocity * edge(t, len, 0.002);
            mix.add(s0 + n, x * (1 - pan), x * (1 + pan), 0.35, 0.2);
        }
    }

    // A sung syllable: a voiced source through three formant filters, with
    // a "d" onset (closure, release click and formants gliding to the vowel).
    void lead(const NoteEvent& e, long s0) {
        struct Vowel {
            double f1, f2, f3;
        };
        static const Vowel vowels[] = {{450, 800, 2830}, {400, 2000, 2550}, {325, 700, 2530}, {270, 2300, 3000}};
        const Vowel& vw = vowels[std::clamp(e.syllable, 0, 3)];
        Saw src;
        Svf b1, b2, b3;
        OnePoleHp click;
        double hz = midiToHz(e.pitch), len = e.length * kSecondsPerRow - 0.015, release = 0.06;
        double phaseVib = 0;
        long total = static_cast<long>((len + release) * kSampleRate);
        for (long n = 0; n < total; ++n) {
            double t = n * kDt;
            double glide = std::exp(-t / 0.025);  // from the "d" towards the vowel
            double f1 = vw.f1 + (250 - vw.f1) * glide, f2 = vw.f2 + (1700 - vw.f2) * glide, f3 = vw.f3;
            double vib = t > 0.08 ? 0.004 * std::sin(phaseVib) : 0.0;
            phaseVib += kTwoPi * 5.5 * kDt;
            double s = src.next(hz * (1 + vib) * (1 - 0.03 * glide));
            b1.run(s, f1, 6);
            b2.run(s, f2, 9);
            b3.run(s, f3, 12);
            double voiced = b1.bp * 1.0 + b2.bp * 0.55 + b3.bp * 0.25;
            double env = std::clamp((t - 0.006) / 0.012, 0.0, 1.0);
            if (t > len) env *= std::clamp(1 - (t - len) / release, 0.0, 1.0);
            double burst = (t > 0.005 && t < 0.012) ? click.run(white(), 2500) * 0.8 : 0.0;
            double x = (voiced * 1.4 * env + burst) * e.velocity * 0.4;
            mix.add(s0 + n, x, x, 0.3, 0.3);
        }
    }

    // FM bell with a short mallet strike on top, so that each bell is heard
    // (and measured) as a clear new attack over the ones still ringing.
    void bell(const NoteEvent& e, long s0) {
        Svf strike;
        double hz = midiToHz(e.pitch), len = 3.0;
        double pan = std::sin(e.pitch * 1.7) * 0.5;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt;
            double index = 3.5 * std::exp(-t / 0.25) + 0.4;
            double mod = std::sin(kTwoPi * hz * 3.5 * t) * index;
            double x = std::sin(kTwoPi * hz * t + mod) * std::exp(-t / 0.75) + 0.3 * std::sin(kTwoPi * hz * 2.0 * t) * std::exp(-t / 0.3);
            strike.run(white(), hz * 4, 2.0);
            x += strike.bp * std::exp(-t / 0.006) * 1.5;
            x *= 0.24 * e.velocity * edge(t, len, 0.0005);
            mix.add(s0 + n, x * (1 - pan), x * (1 + pan), 0.25, 0.45);
        }
    }

    void boom(const NoteEvent& e, long s0) {
        Svf lp;
        double base = midiToHz(e.pitch), len = std::max(0.6, e.length * kSecondsPerRow);
        double phase = 0;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt;
            phase += kTwoPi * (base * 0.9 + 70 * std::exp(-t / 0.2)) * kDt;
            lp.run(white(), 500, 0.7);
            double x = std::sin(phase) * std::exp(-t / (len * 0.45)) + lp.lp * std::exp(-t / 0.12) * 1.5;
            x = std::tanh(x * 1.3) * 0.85 * e.velocity * edge(t, len, 0.002);
            mix.add(s0 + n, x, x, 0.0, 0.3);
        }
    }

    void clank(const NoteEvent& e, long s0) {
        double hz = midiToHz(e.pitch), len = 0.7;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt;
            double mod = std::sin(kTwoPi * hz * 1.41 * t) * (6 * std::exp(-t / 0.04) + 0.5);
            double x = std::sin(kTwoPi * hz * t + mod) * std::exp(-t / 0.11) + 0.4 * std::sin(kTwoPi * hz * 2.76 * t) * std::exp(-t / 0.05);
            x += white() * std::exp(-t / 0.004) * 0.5;
            x *= 0.4 * e.velocity * edge(t, len, 0.001);
            mix.add(s0 + n, x * 0.9, x * 1.1, 0.2, 0.4);
        }
    }

    void burst(const NoteEvent& e, long s0) {
        Svf bl, br;
        double len = 0.9, phase = 0;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt;
            double fc = 250 + 3800 * std::exp(-t / 0.09);
            bl.run(white(), fc, 1.3);
            br.run(white(), fc * 1.07, 1.3);
            double env = std::min(1.0, t / 0.002) * std::exp(-t / 0.2);
            phase += kTwoPi * (45 + 60 * std::exp(-t / 0.05)) * kDt;
            double thump = std::sin(phase) * std::exp(-t / 0.16) * 0.7;
            double k = e.velocity * edge(t, len);
            mix.add(s0 + n, (bl.bp * 1.6 * env + thump) * k, (br.bp * 1.6 * env + thump) * k, 0.15, 0.35);
        }
    }

    void riser(const NoteEvent& e, long s0) {
        Svf bp, lp;
        Saw a, b(0.5);
        double len = e.length * kSecondsPerRow, hz = midiToHz(e.pitch);
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt, u = t / len;
            bp.run(white(), 300 * std::pow(25.0, u), 2.0);
            double tone = a.next(hz * std::pow(4.0, u)) + b.next(hz * std::pow(4.0, u) * 1.01);
            lp.run(tone, 400 + 4000 * u, 1.0);
            double x = (bp.bp * 1.2 + lp.lp * 0.25) * u * u * e.velocity * edge(t, len, 0.01);
            mix.add(s0 + n, x * (1 - 0.3 * u), x * (1 + 0.3 * u), 0.1, 0.3);
        }
    }

    void swell(const NoteEvent& e, long s0) {
        OnePoleHp hl, hr;
        double len = e.length * kSecondsPerRow;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt, u = t / len;
            double env = u * u * u * e.velocity * 0.5 * edge(t, len, 0.003);
            mix.add(s0 + n, hl.run(white(), 2500) * env, hr.run(white(), 2500) * env, 0.0, 0.3);
        }
    }

    void drone(const NoteEvent& e, long s0) {
        Saw a, b(0.4);
        Svf f;
        double hz = midiToHz(e.pitch), len = e.length * kSecondsPerRow;
        for (long n = 0; n < len * kSampleRate; ++n) {
            double t = n * kDt, u = t / len;
            double src = a.next(hz) + b.next(hz * 1.5 * 1.002);
            f.run(src, 150 + 500 * u, 1.5);
            double env = std::min(1.0, u * 3) * std::min(1.0, (1 - u) * 8);
            double x = f.lp * env * 0.22 * e.velocity;
            mix.add(s0 + n, x, x, 0.0, 0.3);
        }
    }

    void thump(long s0, float v) { kick(s0, v * 0.8f, 0.2, 70, 42); }

    void play(const NoteEvent& e) {
        long s0 = rowToSample(e.row);
        switch (e.voice) {
            case Voice::Kick: kick(s0, e.velocity); break;
            case Voice::Snare: snare(s0, e.velocity); break;
            case Voice::Clap: clap(s0, e.velocity); break;
            case Voice::HatClosed: hat(s0, e.velocity, false, (static_cast<long>(e.row) % 2) ? 0.3 : -0.2); break;
            case Voice::HatOpen: hat(s0, e.velocity, true, 0.25); break;
            case Voice::Crash: crash(s0, e.velocity); break;
            case Voice::Bass: bass(e, s0); break;
            case Voice::Pad: pad(e, s0); break;
            case Voice::Stab: stab(e, s0); break;
            case Voice::Pluck: pluck(e, s0); break;
            case Voice::Lead: lead(e, s0); break;
            case Voice::Bell: bell(e, s0); break;
            case Voice::Boom: boom(e, s0); break;
            case Voice::Clank: clank(e, s0); break;
            case Voice::Burst: burst(e, s0); break;
            case Voice::Riser: riser(e, s0); break;
            case Voice::Swell: swell(e, s0); break;
            case Voice::Drone: drone(e, s0); break;
            case Voice::Thump: thump(s0, e.velocity); break;
        }
    }
};

// Stereo ping-pong echo, three rows long, darkened on every repeat.
void applyDelay(const std::vector<float>& send, std::vector<float>& l, std::vector<float>& r) {
    const size_t d = static_cast<size_t>(rowToSample(3));
    std::vector<float> bl(d, 0), br(d, 0);
    double lpL = 0, lpR = 0;
    size_t pos = 0;
    for (size_t i = 0; i < send.size(); ++i) {
        float outL = bl[pos], outR = br[pos];
        lpL += (outR - lpL) * 0.35;
        lpR += (outL - lpR) * 0.35;
        bl[pos] = static_cast<float>(send[i] + lpL * 0.42);
        br[pos] = static_cast<float>(lpR * 0.42);
        l[i] += outL * 0.5f;
        r[i] += outR * 0.5f;
        pos = (pos + 1) % d;
    }
}

// A small Schroeder-Moorer reverb: eight damped combs and four allpasses
// per side, the right side's lines a little longer.
void applyReverb(const std::vector<float>& send, std::vector<float>& l, std::vector<float>& r) {
    const int combs[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    const int allpasses[] = {556, 441, 341, 225};
    for (int side = 0; side < 2; ++side) {
        const int spread = side ? 23 : 0;
        std::vector<std::vector<float>> cb, ab;
        std::vector<size_t> cp(8, 0), ap(4, 0);
        std::vector<float> damp(8, 0);
        for (int c : combs) cb.emplace_back(c + spread, 0.0f);
        for (int a : allpasses) ab.emplace_back(a + spread, 0.0f);
        std::vector<float>& out = side ? r : l;
        for (size_t i = 0; i < send.size(); ++i) {
            float in = send[i] * 0.1f, acc = 0;
            for (int k = 0; k < 8; ++k) {
                float y = cb[k][cp[k]];
                damp[k] = y * 0.7f + damp[k] * 0.3f;
                cb[k][cp[k]] = in + damp[k] * 0.86f;
                cp[k] = (cp[k] + 1) % cb[k].size();
                acc += y;
            }
            for (int k = 0; k < 4; ++k) {
                float b = ab[k][ap[k]];
                ab[k][ap[k]] = acc + b * 0.5f;
                acc = b - acc;
                ap[k] = (ap[k] + 1) % ab[k].size();
            }
            out[i] += acc * 0.9f;
        }
    }
}

double masterGainAt(const Score& s, double row) {
    const auto& g = s.masterGain;
    if (g.empty()) return 1.0;
    if (row <= g.front().first) return g.front().second;
    for (size_t i = 1; i < g.size(); ++i)
        if (row <= g[i].first) {
            double t = (row - g[i - 1].first) / (g[i].first - g[i - 1].first);
            return g[i - 1].second + (g[i].second - g[i - 1].second) * t;
        }
    return g.back().second;
}

bool writeWav16(const StereoBuffer& buf, const std::string& path, std::string& err) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        err = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const std::uint32_t frames = static_cast<std::uint32_t>(buf.left.size());
    const std::uint32_t dataBytes = frames * 4;
    auto u32 = [&](std::uint32_t v) { unsigned char b[4] = {(unsigned char)v, (unsigned char)(v >> 8), (unsigned char)(v >> 16), (unsigned char)(v >> 24)}; std::fwrite(b, 1, 4, f); };
    auto u16 = [&](std::uint16_t v) { unsigned char b[2] = {(unsigned char)v, (unsigned char)(v >> 8)}; std::fwrite(b, 1, 2, f); };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16), u16(1), u16(2), u32(kSampleRate), u32(kSampleRate * 4), u16(4), u16(16);
    std::fwrite("data", 1, 4, f);
    u32(dataBytes);
    Lcg dither(99);
    std::vector<std::int16_t> frame(2);
    for (std::uint32_t i = 0; i < frames; ++i) {
        for (int c = 0; c < 2; ++c) {
            double x = (c ? buf.right[i] : buf.left[i]) * 32767.0;
            if (x != 0.0) x += (dither.uniform() - dither.uniform());  // triangular dither, one LSB
            frame[c] = static_cast<std::int16_t>(std::clamp(std::lround(x), -32767L, 32767L));
        }
        u16(static_cast<std::uint16_t>(frame[0]));
        u16(static_cast<std::uint16_t>(frame[1]));
    }
    bool ok = std::fclose(f) == 0;
    if (!ok) err = "cannot write " + path + ": " + std::strerror(errno);
    return ok;
}

// Runs lame; returns an empty string when it exits 0.
std::string runLame(const std::string& wav, const std::string& mp3) {
    std::vector<std::string> args = {"lame", "--quiet", "-V", "4", "--noreplaygain", wav, mp3};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int pipeFd[2];
    if (pipe(pipeFd) != 0) return std::string("cannot start lame: ") + std::strerror(errno);
    pid_t pid = fork();
    if (pid < 0) return std::string("cannot start lame: ") + std::strerror(errno);
    if (pid == 0) {
        close(pipeFd[0]);
        execvp("lame", argv.data());
        int e = errno;
        (void)!write(pipeFd[1], &e, sizeof e);
        _exit(127);
    }
    close(pipeFd[1]);
    int execErr = 0;
    ssize_t got = read(pipeFd[0], &execErr, sizeof execErr);
    close(pipeFd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (got == static_cast<ssize_t>(sizeof execErr)) {
        if (execErr == ENOENT) return "the MP3 encoder 'lame' was not found; install it (Debian package: lame)";
        return std::string("cannot run lame: ") + std::strerror(execErr);
    }
    if (WIFSIGNALED(status)) return "lame was killed by signal " + std::to_string(WTERMSIG(status));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "lame failed with exit status " + std::to_string(WEXITSTATUS(status));
    return "";
}

}  // namespace

StereoBuffer renderScore(const Score& score, const std::function<void(const std::string&)>& progress) {
    const size_t n = static_cast<size_t>(rowToSample(score.totalRows));
    Mix mix(n);
    Renderer ren{score, mix};
    std::vector<NoteEvent> notes = score.notes;
    std::stable_sort(notes.begin(), notes.end(), [](const NoteEvent& a, const NoteEvent& b) { return a.row < b.row; });
    int lastReported = -1;
    for (size_t i = 0; i < notes.size(); ++i) {
        int pct = static_cast<int>(100 * i / notes.size());
        if (pct / 25 != lastReported) {
            lastReported = pct / 25;
            progress("synthesising notes " + std::to_string(pct) + "% (" + std::to_string(i) + "/" + std::to_string(notes.size()) + ")");
        }
        ren.play(notes[i]);
    }
    progress("echo and reverb");
    applyDelay(mix.delaySend, mix.l, mix.r);
    applyReverb(mix.reverbSend, mix.l, mix.r);
    // Master gain, then a DC blocker, then normalise the peak well below full
    // scale so that the encoded file does not clip either.
    double peak = 0, dcL = 0, dcR = 0, prevL = 0, prevR = 0;
    for (size_t i = 0; i < n; ++i) {
        double g = masterGainAt(score, static_cast<double>(i) / (kSecondsPerRow * kSampleRate));
        double l = mix.l[i] * g, r = mix.r[i] * g;
        dcL = 0.9995 * dcL + l - prevL, prevL = l;
        dcR = 0.9995 * dcR + r - prevR, prevR = r;
        mix.l[i] = static_cast<float>(dcL), mix.r[i] = static_cast<float>(dcR);
        if (g == 0.0) mix.l[i] = mix.r[i] = 0.0f;
        peak = std::max({peak, std::fabs(dcL), std::fabs(dcR)});
    }
    const double target = 0.80;
    double k = peak > 0 ? target / peak : 1.0;
    StereoBuffer out;
    out.left.resize(n), out.right.resize(n);
    for (size_t i = 0; i < n; ++i) {
        out.left[i] = static_cast<float>(mix.l[i] * k);
        out.right[i] = static_cast<float>(mix.r[i] * k);
    }
    char line[96];
    std::snprintf(line, sizeof line, "mixed %.1f s, peak before normalising %.2f", n / static_cast<double>(kSampleRate), peak);
    progress(line);
    return out;
}

std::string renderMusic(const Score& score, const std::string& mp3Path,
                        const std::function<void(const std::string&)>& progress) {
    StereoBuffer buf = renderScore(score, progress);
    std::string wav = mp3Path + ".tmp.wav", err;
    if (!writeWav16(buf, wav, err)) return err;
    progress("encoding with lame (VBR)");
    err = runLame(wav, mp3Path);
    std::remove(wav.c_str());
    return err;
}
