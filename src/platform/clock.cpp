#include "platform/clock.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <random>
#include <thread>

namespace plat {

namespace {

// The steady clock in milliseconds; it never jumps with the wall-clock time.
class RealClock : public Clock {
 public:
  std::int64_t Now() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void Sleep(std::int64_t ms) override {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
};

RealClock& TheRealClock() {
  static RealClock clock;
  return clock;
}

Clock*& InstalledClock() {
  static Clock* clock = nullptr;
  return clock;
}

std::mt19937& Generator() {
  static std::mt19937 gen{std::random_device{}()};
  return gen;
}

// 53 random bits scaled into [0, 1): the result can never reach 1.
double RealDraw() {
  std::mt19937& gen = Generator();
  std::uint64_t hi = gen() >> 5;  // 27 bits
  std::uint64_t lo = gen() >> 6;  // 26 bits
  return static_cast<double>((hi << 26) | lo) / 9007199254740992.0;  // 2^53
}

RandomSource& InstalledSource() {
  static RandomSource source;
  return source;
}

}  // namespace

void SetClock(Clock* clock) { InstalledClock() = clock; }

Clock& CurrentClock() {
  Clock* c = InstalledClock();
  return c ? *c : TheRealClock();
}

void SetRandomSource(RandomSource source) { InstalledSource() = std::move(source); }

double Rnd() {
  RandomSource& source = InstalledSource();
  return source ? source() : RealDraw();
}

long RandomInt(long n) {
  double u = Rnd();
  if (n <= 0) return 0;
  double r = std::floor(static_cast<double>(n) * u);
  // A draw just below 1 can round n * u up to n; a replaced source may even give 1 or more.
  if (!(r >= 0)) return 0;
  if (r >= static_cast<double>(n)) return n - 1;
  long v = static_cast<long>(r);
  return v >= n ? n - 1 : v;
}

}  // namespace plat
