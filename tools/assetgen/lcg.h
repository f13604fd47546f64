#pragma once
// A small linear congruential generator. The generated data must come out
// the same on every run and every machine, so nothing here depends on the
// standard library's distributions or on the clock.
#include <cstdint>

class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state_(seed) {}
    std::uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_;
    }
    // Uniform in [0, 1).
    double uniform() { return (next() >> 8) * (1.0 / 16777216.0); }
    // Uniform in [-1, 1).
    double bipolar() { return uniform() * 2.0 - 1.0; }
    // Whole number in [0, n).
    int below(int n) { return static_cast<int>(uniform() * n); }

private:
    std::uint32_t state_;
};
