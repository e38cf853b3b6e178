// One full save: SaveGame writing the character row and the 120 item rows of a sample
// character into its marked save file, crash-safe (the work goes to a copy beside the
// save, which is marked, made durable and renamed over it).
//
// The character is created from the built game folder's save template, in a program
// folder of its own, and loaded as Continue does; every iteration then saves it once.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "common/game_state.h"
#include "platform/paths.h"
#include "world/save_create.h"
#include "world/save_game.h"

namespace {

namespace fs = std::filesystem;

// A fresh program folder with the template "date\Sk.dat" and a "Save" folder; removed
// again, and the earlier program folder restored, at the end.
class BenchFolder {
 public:
  BenchFolder() : previous_(plat::ProgramFolder()) {
    std::string pattern = (fs::temp_directory_path() / "orvanth-save-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("cannot make a folder for the benchmark");
    dir_ = pattern;
    fs::create_directories(dir_ / "date");
    fs::create_directories(dir_ / "Save");
    fs::copy_file(fs::path(ORVANTH_GAME_DIR) / "date" / "Sk.dat", dir_ / "date" / "Sk.dat");
    plat::SetProgramFolder(dir_);
  }
  ~BenchFolder() {
    plat::SetProgramFolder(previous_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

 private:
  fs::path previous_;
  fs::path dir_;
};

// A character with every item slot filled, so that each of the 120 rows carries data.
void FillItems() {
  for (int slot = 1; slot <= kItemSlots; ++slot) {
    ItemRecord& it = G.Player.Items[static_cast<std::size_t>(slot)];
    it.Name = "物品" + std::to_string(slot);
    it.Type = slot % 14;
    it.Type2 = "衣";
    it.Pic1 = slot;
    it.Pic2 = slot % 7;
    it.DfMax = slot % 9;
    it.Weight = 3;
    it.Money = 10 * slot;
  }
}

void BM_SaveGame(benchmark::State& state) {
  BenchFolder folder;
  G = GameState{};
  if (!CreateSaveGame("甲乙", "战士", false)) {
    state.SkipWithError("the sample character could not be created");
    return;
  }
  if (!LoadSaveGame("甲乙")) {
    state.SkipWithError("the sample character could not be loaded");
    return;
  }
  FillItems();
  for (auto _ : state) {
    // Every row changes on every save: the character's money and each slot's price.
    ++G.Player.Money;
    for (int slot = 1; slot <= kItemSlots; ++slot) ++G.Player.Items[static_cast<std::size_t>(slot)].Money;
    G.SysMessages = {};
    if (!SaveGame()) {
      state.SkipWithError("the save failed");
      return;
    }
  }
}
BENCHMARK(BM_SaveGame)->Unit(benchmark::kMillisecond);

}  // namespace
