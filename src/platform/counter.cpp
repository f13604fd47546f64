// The performance counter and the monotonic clock, or a manual counter in
// their place (tests), the same for every platform back end.
#include "platform/counter.h"

#include "platform/systemclock.h"

namespace platform {
namespace {

struct ManualCounter {
    bool active = false;
    std::uint64_t frequency = 0;
    std::int64_t value = 0;
};

ManualCounter& manual() {
    static ManualCounter counter;
    return counter;
}

}  // namespace

std::uint64_t counterFrequency() { return manual().active ? manual().frequency : systemclock::counterFrequency(); }

std::int64_t counterValue() { return manual().active ? manual().value : systemclock::counterValue(); }

void useManualCounter(std::uint64_t frequency, std::int64_t value) { manual() = {true, frequency, value}; }
void setManualCounter(std::int64_t value) { manual().value = value; }
void useSystemCounter() { manual().active = false; }

std::int64_t monotonicNanoseconds() {
    return manual().active ? manual().value : systemclock::monotonicNanoseconds();
}

}  // namespace platform
