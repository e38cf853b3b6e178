// The millisecond tick, sleeping, and the uniform random draw. Both can be replaced
// (tests use a fake tick that starts high, like system uptime, and scripted draws).
#pragma once

#include <cstdint>
#include <functional>

namespace plat {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since some fixed start (like the system uptime).
  virtual std::int64_t Now() = 0;
  virtual void Sleep(std::int64_t ms) = 0;
};

// The clock in use; the real one unless a test installed another. Passing nullptr
// puts the real clock back.
void SetClock(Clock* clock);
Clock& CurrentClock();
inline std::int64_t Tick() { return CurrentClock().Now(); }
inline void SleepMs(std::int64_t ms) { CurrentClock().Sleep(ms < 0 ? 0 : ms); }

// A clock that only moves when told to; Sleep advances it.
class FakeClock : public Clock {
 public:
  explicit FakeClock(std::int64_t start = 86'400'000) : now_(start) {}
  std::int64_t Now() override { return now_; }
  void Sleep(std::int64_t ms) override {
    now_ += ms;
    slept_ += ms;
  }
  void Advance(std::int64_t ms) { now_ += ms; }
  std::int64_t TotalSlept() const { return slept_; }

 private:
  std::int64_t now_;
  std::int64_t slept_ = 0;
};

// The uniform draw u in [0, 1). A source replaced by a test returns its own sequence.
using RandomSource = std::function<double()>;
void SetRandomSource(RandomSource source);  // an empty function puts the real draw back
double Rnd();
// Int(n * Rnd()): a uniform whole number 0..n-1, never n. When n <= 0 the result is 0
// (the draw is still taken, so scripted sequences stay in step).
long RandomInt(long n);

}  // namespace plat
