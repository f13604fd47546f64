#pragma once
// Float-to-integer conversions that truncate toward zero like a plain cast,
// but stay defined where a cast would not: NaN gives 0, values beyond the
// target's range give its nearest limit.
#include <cmath>
#include <cstdint>
#include <limits>

inline std::int32_t saturatingInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

inline std::int64_t saturatingInt64(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
    if (value < -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}
