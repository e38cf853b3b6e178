// The environment ctest gives every test: the dummy drivers, so that no test opens the
// real display or sound device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v == nullptr ? std::string("<unset>") : std::string(v);
}

TEST(CtestEnvironment, EveryTestRunsUnderTheDummyDrivers) {
  if (std::getenv("ORVANTH_TESTING") == nullptr) GTEST_SKIP() << "not run by ctest";
  EXPECT_EQ(Env("SDL_VIDEODRIVER"), "dummy");
  EXPECT_EQ(Env("SDL_AUDIODRIVER"), "dummy");
}

}  // namespace
