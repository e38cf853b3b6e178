#include "bench_world.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/aura.h"
#include "graphics/device.h"
#include "graphics/look.h"
#include "graphics/map_loader.h"
#include "graphics/resources.h"
#include "graphics/scene.h"
#include "graphics/startup_assets.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/sdl_host.h"
#include "script/script.h"
#include "window/form1.h"
#include "ui/game_start.h"
#include "world/game_loop.h"
#include "world/monsters.h"
#include "world/player.h"
#include "world/spirit.h"

namespace benchworld {

namespace fs = std::filesystem;

Folders::Folders() : program(plat::ProgramFolder()), cwd(fs::current_path()) {}

Folders::~Folders() {
  ResetGraphics();
  plat::Application::Get().Reset();
  G = GameState{};
  plat::SetProgramFolder(program);
  std::error_code ec;
  fs::current_path(cwd, ec);
}

bool StartGame(const std::string& moveLine, std::unique_ptr<plat::SdlHost>* host) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  G = GameState{};
  ResetGraphics();
  plat::Application::Get().Reset();
  plat::ResetKeyStates();
  const fs::path game(ORVANTH_GAME_DIR);
  plat::SetProgramFolder(game);
  fs::current_path(game);
  ui::BuildMainWindow();
  if (host != nullptr) {
    *host = plat::SdlHost::CreateHeadless(*ui::Form1.Form);
    plat::SdlHost* h = host->get();
    AttachDisplay(&h->Render(), h->GameScreenTarget(), [h] { h->Present(); });
  }
  InitD3D();
  LoadGraphics();

  G.GAMELEVEL = 1;
  if (!ui::ReadMonsterKinds(1)) return false;
  PlayerRecord& p = G.Player;
  p.ID = "测试";
  p.ZhiYe = "战士";
  p.Level = 20;
  p.HP = p.HpMax = 300;
  p.Mp = p.MpMax = 100;
  p.Dc = 5;
  p.DcMax = 20;
  p.McMax = 1;
  p.DcSpeed = 5;
  p.Acc = 10;
  p.Ex = 1000;
  p.Direction = 4;
  p.ActState = ActionState::Stand;
  p.Items[1].Name = "青铜剑";
  p.Items[1].Pic2 = 1;
  p.Items[5].Name = "皮甲";
  p.Items[5].Pic2 = 1;
  for (auto& m : p.M) m = "??0";
  G.RegenInterval = 8000;
  G.HpLock = 1;
  G.SoundOn = 0;
  G.ShowDamage = 1;
  G.DrawColFirst = 0;
  G.DrawColLast = 14;
  G.DrawRowFirst = 0;
  G.DrawRowLast = 13;
  LoadLookFrames();
  CheckEquipSet();
  std::int32_t map = 1;
  LoadMap(map);
  ScriptMove(moveLine);
  for (int i = 0; i < 5; ++i) AddSysMessage("系统消息" + std::to_string(i), 255, 255, 0);
  return true;
}

void Frame() {
  UpdateSpirit();
  UpdateMonsters();
  UpdatePlayer();
  TickSysMessages();
  DrawScene();
}

void ReportFrames(benchmark::State& state, std::chrono::steady_clock::time_point start, std::int64_t frames) {
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
      static_cast<double>(std::max<std::int64_t>(frames, 1));
  state.counters["ms/frame"] = ms;
  state.counters["share_of_31ms"] = ms / kFrameMs;
  state.counters["monsters"] = G.MonsterCount;
}

namespace {
constexpr int kNearMonsters = 100;
}  // namespace

bool StartCrowd() {
  if (!StartGame("#move 0102 20 20")) return false;
  G.Player.Df = 1;
  G.Player.DfMax = 3;
  // The part's own monsters go; 300 of ours come.
  ScriptKillMonAll();
  G.MonsterCount = 0;
  const std::int32_t px = PlayerCellX(), py = PlayerCellY();
  const std::int32_t w = G.PartWidths[static_cast<std::size_t>(G.SubMap)];
  const std::int32_t h = G.PartHeights[static_cast<std::size_t>(G.SubMap)];
  struct Spot {
    std::int32_t x, y;
  };
  std::vector<Spot> near, far;
  for (std::int32_t x = 1; x <= w; ++x) {
    for (std::int32_t y = 1; y <= h; ++y) {
      if ((x == px && y == py) || GridCode(x, y) != kGridFree) continue;
      const std::string& kind = CellField(G.SubMap, x, y, 3);
      if (!kind.empty() && kind[0] == 'N') continue;
      const std::int32_t i = x - G.ViewX, j = y - G.ViewY;
      (i >= -3 && i <= 17 && j >= -3 && j <= 17 ? near : far).push_back({x, y});
    }
  }
  const char* kinds[] = {"鸡", "羊", "鹿"};
  std::size_t k = 0;
  auto mob = [&](const Spot& s) {
    ScriptMob(std::string("#mob ") + kinds[k++ % 3] + " " + std::to_string(s.x) + " " + std::to_string(s.y));
  };
  // Every few free cells of the scan square, so that they have room to move.
  const std::size_t stride = std::max<std::size_t>(1, near.size() / kNearMonsters);
  for (std::size_t n = 0; n < near.size() && G.MonsterCount < kNearMonsters; n += stride) mob(near[n]);
  for (std::size_t n = 0; n < far.size() && G.MonsterCount < kMaxMonsters; ++n) mob(far[n]);
  if (G.MonsterCount < kMaxMonsters) return false;

  // Those near the player are after them already.
  const std::int64_t now = plat::Tick();
  for (std::int32_t j = -3; j <= 17; ++j) {
    for (std::int32_t i = -3; i <= 17; ++i) {
      const std::int32_t n = GridMonster(G.ViewX + i, G.ViewY + j);
      if (n == 0) continue;
      G.Monsters[static_cast<std::size_t>(n)].State = ActionState::Chase;
      G.Monsters[static_cast<std::size_t>(n)].LastTick = now;
    }
  }
  return true;
}

}  // namespace benchworld
