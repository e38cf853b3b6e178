#include "support/test_support.h"

#include <atomic>
#include <random>
#include <unistd.h>

namespace testsupport {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  path_ = fs::temp_directory_path() /
          ("orvanth-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(rd() % 1000000));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

ScriptedDraws::ScriptedDraws(std::vector<double> draws) : draws_(draws.begin(), draws.end()) {
  plat::SetRandomSource([this]() {
    if (draws_.empty()) {
      ADD_FAILURE() << "the rule drew more random numbers than the test scripted";
      return 0.0;
    }
    double u = draws_.front();
    draws_.pop_front();
    return u;
  });
}

ScriptedDraws::~ScriptedDraws() { plat::SetRandomSource(nullptr); }

fs::path GameDir() { return fs::path(ORVANTH_GAME_DIR); }
fs::path DataDir() { return fs::path(ORVANTH_SOURCE_DIR) / "data"; }

}  // namespace testsupport
