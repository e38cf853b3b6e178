// Lasting stat changes and the spirit forms: random sequences of spirit items, shields,
// oils, level gains, script changes, attribute points, saves with reloads and the weapon
// put on and taken off. Whenever no form and no shield is in play, the character's
// stats must be its own plus what it has lastingly gained, plus what the worn weapon
// brings.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/characters.h"
#include "graphics/effects.h"
#include "graphics/look.h"
#include "graphics/resources.h"
#include "platform/clock.h"
#include "platform/sound.h"
#include "script/script.h"
#include "support/test_support.h"
#include "ui/attributes.h"
#include "world/equipment.h"
#include "world/item_use.h"
#include "world/items.h"
#include "world/monster_death.h"
#include "world/save_fixture.h"
#include "world/save_game.h"
#include "world/skills.h"

namespace {

using namespace savetest;

constexpr int kBag = 21;          // where the weapon waits when it is not worn
constexpr int kUseSlot = 22;      // spirit items and oils are used from here
constexpr int kVictim = 7;        // the monster whose death gives the level
constexpr int kLevel14Ex = 1960;  // 14 x 14 x 10: exactly one level from 14
constexpr int kShield = 7;
constexpr int kTransformation = 8;
constexpr std::size_t kStats = 15;  // kWearingStats: the fourteen form stats and Luck
constexpr std::array<const char*, kStats> kStatNames{"Dc",  "DcMax", "DcSpeed", "Mc",    "McMax",
                                                     "Df",  "DfMax", "Mf",      "MfMax", "Nb",
                                                     "Acc", "XiHP",  "MaBi",    "zd",    "Luck"};
constexpr int kSteps = 20;
constexpr std::uint64_t kRealSaveEvery = 200;
// The sanitizer build looks for memory faults, not for more sequences: it runs fewer.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t kSequences = 2000;
#else
constexpr std::uint64_t kSequences = 10000;
#endif
const std::string kId = "石头";
const std::string kWeapon = "青铜剑";

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::strtoull(v, nullptr, 10) : fallback;
}

ItemRecord& Slot(int i) { return G.Player.Items[static_cast<std::size_t>(i)]; }

std::int64_t Stat(const PlayerRecord& p, std::size_t i) { return p.*kWearingStats[i].player; }
std::int64_t Stat(const ItemRecord& it, std::size_t i) { return it.*kWearingStats[i].item; }

bool FormInPlay() {
  for (const ScreenEffect& e : G.ScreenEffects)
    if (e.Kind == kTransformation && e.P != 0) return true;
  return false;
}

bool ShieldInPlay() {
  for (const SkillEffect& e : G.SkillEffects)
    if (e.Kind == kShield) return true;
  return false;
}

int WeaponSlot() {
  for (int i = 1; i <= kItemSlots; ++i)
    if (Slot(i).Name == kWeapon) return i;
  return 0;
}

// How often the sequences met the cases that matter, so that a change to the draws
// cannot quietly stop testing them.
struct Coverage {
  int shieldWhileFormPending = 0;  // cast between the spirit item and its form
  int changeDuringForm = 0;        // an oil, a level or a script change while a form is worn
  int reloads = 0;
};

bool FormPending() {
  for (const ScreenEffect& e : G.ScreenEffects)
    if (e.Kind == kTransformation && e.P != 0 && e.Frame < 12 && G.BodyNo < kTransformedBody) return true;
  return false;
}

// The actions a sequence draws from; frames come twice as often.
enum class Step { Frames, MoreFrames, Wait, Spirit, Shield, Oil, Level, Change, Point, Save, Equip, Count };

// One random sequence on one seed. The draws of the game come from the same generator.
class Sequence {
 public:
  // Without its file a save fails fast, after ending the shield and the form as every
  // save does; the saves that the sequence itself asks for write the real file when
  // `realSaves` is set, and the character is then loaded back from it.
  Sequence(std::uint64_t seed, bool realSaves, const fs::path& saveFile, const fs::path& noFile,
           Coverage& seen)
      : gen_(seed), realSaves_(realSaves), saveFile_(saveFile), noFile_(noFile), seen_(seen) {
    // What a sequence touches starts afresh (a whole new game state costs more than the
    // sequence itself).
    G.Player = PlayerRecord{};
    G.PlayerBackup = PlayerRecord{};
    G.FormWorn = false;
    G.ScreenEffects = {};
    G.SkillEffects = {};
    G.Monsters[kVictim] = MonsterInstance{};
    G.BodyNo = G.WeaponNo = 0;
    G.GAMELEVEL = 1;
    UseSaveFile(noFile_);
    plat::SetRandomSource([this] { return Unit(); });

    PlayerRecord& p = G.Player;
    p.ID = kId;
    p.ZhiYe = "道士";
    p.HP = p.HpMax = 500;
    p.Mp = p.MpMax = 500;
    p.Heavy = 100;
    p.Level = 14;
    p.ActState = ActionState::Stand;
    for (int k = 1; k <= kSkillStrings; ++k) p.M[static_cast<std::size_t>(k)] = "??0";
    p.M[kShield] = "SP" + std::to_string(Pick(1, 3));
    p.M[kSkillStrings] = "普通";
    for (std::size_t i = 0; i < kStats; ++i) p.*kWearingStats[i].player = Pick(0, 40);
    p.McMax = Pick(1, 40);  // a spirit item needs magic
    for (std::size_t i = 0; i < kStats; ++i) own_[i] = Stat(p, i);

    ItemRecord w;
    w.Name = kWeapon;
    w.Type = 20;
    w.Pic2 = 3;
    for (std::size_t i = 0; i < kStats; ++i) w.*kWearingStats[i].item = Pick(0, 5);
    Slot(kBag) = w;

    G.Monsters[kVictim].Kind = 1;
  }

  ~Sequence() { plat::SetRandomSource({}); }
  Sequence(const Sequence&) = delete;
  Sequence& operator=(const Sequence&) = delete;

  // Runs `steps` random actions, then ends everything; false with the story on failure.
  bool Run(int steps, std::string& story) {
    for (int s = 0; s < steps; ++s) {
      Act(story);
      if (!Holds(story)) return false;
    }
    story += "end; ";
    SaveGame();
    Frames(25);
    if (WeaponSlot() == 1) UnequipItem(1);
    return Holds(story) && WeaponSlot() != 1 && !FormInPlay() && !ShieldInPlay();
  }

 private:
  static void UseSaveFile(const fs::path& file) {
    G.SavePath = file;
    G.SaveConnStr = SaveConnectionString(file.string());
  }

  double Unit() { return static_cast<double>(gen_() >> 11) * 0x1.0p-53; }
  std::int32_t Pick(int lo, int hi) { return lo + static_cast<std::int32_t>(Unit() * (hi - lo + 1)); }

  static void Frames(int n) {
    for (int i = 0; i < n; ++i) {
      RunAreaSkills();
      DrawScreenEffects();
      RunSkills();
    }
  }

  // Long waits jump the counters to just before a form's or a shield's end.
  static void Wait() {
    for (ScreenEffect& e : G.ScreenEffects)
      if (e.Kind == kTransformation && e.P != 0 && e.Frame > 12 && e.Frame < 899) e.Frame = 899;
    const std::int32_t end = (SkillLevel(kShield) + 1) * 600;
    for (SkillEffect& e : G.SkillEffects)
      if (e.Kind == kShield && e.Frame >= 1 && e.Frame < end - 1) e.Frame = end - 1;
  }

  void Gain(std::int32_t PlayerRecord::*field, std::int64_t n) {
    for (std::size_t i = 0; i < kStats; ++i)
      if (kWearingStats[i].player == field) own_[i] += n;
  }

  void Act(std::string& story) {
    PlayerRecord& p = G.Player;
    const auto step = static_cast<Step>(Pick(0, static_cast<int>(Step::Count) - 1));
    const bool lasting = step == Step::Oil || step == Step::Level || step == Step::Change;
    if (lasting && G.BodyNo >= kTransformedBody) seen_.changeDuringForm += 1;
    if (step == Step::Shield && FormPending()) seen_.shieldWhileFormPending += 1;
    switch (step) {
      case Step::Frames:
      case Step::MoreFrames: {
        const int n = Pick(1, 14);
        story += "frames " + std::to_string(n) + "; ";
        Frames(n);
        break;
      }
      case Step::Wait:
        story += "wait; ";
        Wait();
        Frames(Pick(1, 3));
        break;
      case Step::Spirit: {
        static const char* const kSpirits[] = {"蝙蝠之灵", "鸡之灵",   "恶蛆之灵", "骷髅之灵",
                                               "卫士之灵", "教主之灵", "血魔之灵"};
        Slot(kUseSlot) = ItemRecord{};
        Slot(kUseSlot).Name = kSpirits[Pick(0, 6)];
        story += "spirit " + Slot(kUseSlot).Name + "; ";
        UseItem(kUseSlot);
        Slot(kUseSlot) = ItemRecord{};
        break;
      }
      case Step::Shield:
        // The cast needs magic points and a character that can cast (not transformed).
        story += "shield; ";
        p.Mp = p.MpMax;
        if (p.McMax >= 1) AddSkillEffect(kShield, 0, 0, 0, 0);
        break;
      case Step::Oil: {
        static const char* const kOils[] = {"祝福油", "战神油", "蜘蛛油"};
        Slot(kUseSlot) = ItemRecord{};
        Slot(kUseSlot).Name = kOils[Pick(0, 2)];
        story += "oil " + Slot(kUseSlot).Name + "; ";
        UseItem(kUseSlot);
        break;
      }
      case Step::Level:
        story += "level 15; ";
        p.Level = 14;
        p.Ex = 0;
        StartMonsterDeath(kVictim);
        Gain(&PlayerRecord::Df, 1);
        Gain(&PlayerRecord::DfMax, 1);
        break;
      case Step::Change: {
        struct Named {
          const char* name;
          std::int32_t PlayerRecord::*field;
        };
        static const Named kChanges[] = {{"dcmax", &PlayerRecord::DcMax}, {"mcmax", &PlayerRecord::McMax},
                                         {"df", &PlayerRecord::Df},       {"mfmax", &PlayerRecord::MfMax},
                                         {"acc", &PlayerRecord::Acc},     {"mabi", &PlayerRecord::MaBi}};
        const Named& c = kChanges[Pick(0, 5)];
        const int n = Pick(1, 3);
        const std::string line = std::string("#change ") + c.name + " + " + std::to_string(n);
        story += line + "; ";
        ScriptChange(line);
        Gain(c.field, n);
        break;
      }
      case Step::Point: {
        // A point is refused while transformed; the status page shows no form.
        static const ui::PointGain* const kPoints[] = {&ui::kAttackPoint, &ui::kMagicPoint,
                                                       &ui::kDefencePoint, &ui::kMagicDefencePoint};
        const ui::PointGain& g = *kPoints[Pick(0, 3)];
        story += "point; ";
        p.LevelPoint = 1;
        ui::SpendAttributePoint(g);
        if (p.LevelPoint == 0) {
          Gain(&PlayerRecord::DcMax, g.dcMax);
          Gain(&PlayerRecord::McMax, g.mcMax);
          Gain(&PlayerRecord::DfMax, g.dfMax);
          Gain(&PlayerRecord::MfMax, g.mfMax);
        }
        break;
      }
      case Step::Save:
        story += "save; ";
        if (!realSaves_) {
          SaveGame();
          break;
        }
        UseSaveFile(saveFile_);
        story += "reload; ";
        ioFailed_ = !SaveGame() || !LoadSaveGame(kId);
        seen_.reloads += 1;
        LoadLookFrames();
        UseSaveFile(noFile_);
        break;
      case Step::Equip:
      case Step::Count:
        // The item grid: equip from the bag, or take off while a bag slot is free and no
        // form is worn.
        if (WeaponSlot() != 1) {
          story += "wear; ";
          MoveItemToSlot(WeaponSlot(), 1);
        } else if (CountFreeBagSlots() > 0 && G.BodyNo < kTransformedBody) {
          story += "take off; ";
          UnequipItem(1);
        }
        break;
    }
  }

  // With no form and no shield in play the stats are the character's own plus the worn
  // weapon's; anything else is only checked once it has ended.
  bool Holds(std::string& story) const {
    if (ioFailed_) {
      story += "the save or the reload failed";
      return false;
    }
    if (FormInPlay() || ShieldInPlay()) return true;
    const int w = WeaponSlot();
    if (w == 0) {
      story += "the weapon is gone";
      return false;
    }
    std::ostringstream out;
    if (G.BodyNo >= kTransformedBody) out << "the form's look stays; ";
    for (std::size_t i = 0; i < kStats; ++i) {
      const std::int64_t want = own_[i] + (w == 1 ? Stat(Slot(1), i) : 0);
      if (Stat(G.Player, i) != want)
        out << kStatNames[i] << " is " << Stat(G.Player, i) << ", not " << want << "; ";
    }
    story += out.str();
    return out.str().empty();
  }

  std::mt19937_64 gen_;
  bool realSaves_;
  bool ioFailed_ = false;
  fs::path saveFile_, noFile_;
  Coverage& seen_;
  std::array<std::int64_t, kStats> own_{};
};

class LastingStatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetSoundDevice(&sound);
    for (auto& loaded : Gfx.SkillLoaded) loaded = 1;  // no pictures needed
    for (auto& loaded : Gfx.EffectLoaded) loaded = 1;
    MakeZb(folder.path() / "date" / "Rpg" / "0.zb", 0);
    for (int form = 101; form <= 107; ++form)
      MakeZb(folder.path() / "date" / "Rpg" / (std::to_string(form) + ".zb"), form);
    MakeZb(folder.path() / "date" / "Weapon" / "3.zb", 3);
    MakeSave(folder.SaveFile(kId), kId, "道士");
    MonsterKind k;
    k.MonName = "狼";
    k.Ex = kLevel14Ex;
    G.MonsterKinds.resize(1);
    G.MonsterKinds.push_back(k);
    G.MonsterKindCount = 1;
  }
  void TearDown() override {
    plat::SetRandomSource({});
    plat::SetSoundDevice(nullptr);
    for (auto& loaded : Gfx.SkillLoaded) loaded = 0;
    for (auto& loaded : Gfx.EffectLoaded) loaded = 0;
    G = GameState{};
  }

  GameFolder folder;
  testsupport::ScopedDialogs dialogs;
  testsupport::ScopedEndThrows ends;
  plat::RecordingSound sound;
};

// ORVANTH_SEED and ORVANTH_SEQUENCES choose other runs; one sequence in 200 saves to the
// real file and loads the character back from it.
TEST_F(LastingStatsTest, NoFormOrShieldLosesOrKeepsALastingChange) {
  const std::uint64_t first = EnvNumber("ORVANTH_SEED", 20261207);
  const std::uint64_t count = EnvNumber("ORVANTH_SEQUENCES", kSequences);
  const fs::path noFile = folder.Save() / "none" / (kId + ".kzs");
  Coverage seen;
  for (std::uint64_t n = 0; n < count; ++n) {
    const std::uint64_t seed = first + n;
    std::string story;
    const bool real = seed % kRealSaveEvery == 0;
    if (!Sequence(seed, real, folder.SaveFile(kId), noFile, seen).Run(kSteps, story)) {
      FAIL() << "seed " << seed << " (ORVANTH_SEED=" << seed << " ORVANTH_SEQUENCES=1): " << story;
    }
  }
  if (count >= 1000) {
    const auto share = [count](std::uint64_t per) { return static_cast<int>(count / per); };
    EXPECT_GT(seen.shieldWhileFormPending, share(100));
    EXPECT_GT(seen.changeDuringForm, share(10));
    EXPECT_GT(seen.reloads, share(2 * kRealSaveEvery));
  }
}

// A form starts and ends by what is worn, not by McMax: a character whose magic was set
// to 0 between the spirit item and its form still takes the form and gets itself back.
TEST_F(LastingStatsTest, AFormIsWornFromItsStartToItsEndWhateverMcMaxHolds) {
  G.GAMELEVEL = 1;
  G.SavePath = folder.SaveFile(kId);
  G.SaveConnStr = SaveConnectionString(G.SavePath.string());
  PlayerRecord& p = G.Player;
  p.ID = kId;
  p.HP = p.HpMax = 50;
  p.Dc = 4;
  p.DcMax = 9;
  p.McMax = 6;
  p.Df = 2;
  AddScreenEffect(kTransformation, 0, 0, 3);
  ScriptChange("#change mcmax = 0");
  for (int i = 0; i < 12; ++i) DrawScreenEffects();
  EXPECT_EQ(G.BodyNo, 103);
  EXPECT_EQ(std::vector<int>({p.Dc, p.DcMax, p.Df}), std::vector<int>({10, 25, 3}));
  ASSERT_TRUE(SaveGame());
  EXPECT_EQ(G.BodyNo, 0);
  EXPECT_EQ(std::vector<int>({p.Dc, p.DcMax, p.McMax, p.Df}), std::vector<int>({4, 9, 0, 2}));
}

}  // namespace
