// The one game state: every record, array, flag and counter the subsystems share,
// with the game's own names, in one struct and one global instance `G`.
//
// Conventions:
//  - Arrays keep the game's bounds: an array "1..N" has N + 1 elements and element 0
//    is not used; an array "0..N" has N + 1 elements.
//  - "Long" fields are std::int32_t, "Byte" fields std::uint8_t. Millisecond tick
//    counts are std::int64_t (the platform tick), so they never wrap.
//  - Big arrays live on the heap (FixedArray), so a fresh state is cheap to build:
//    tests start over with `G = GameState{}`.
//  - The map is stored compactly: cells are small records of interned text ids, and
//    the occupancy grids are integer codes. Read and write them only through the
//    accessors at the end of this header. Every access outside 1..200 or outside the
//    part's width and height reads as blocked, with no monster, item or corpse, and a
//    write there is ignored.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/db.h"
#include "platform/file_lock.h"

// ---------------------------------------------------------------------------------
// Sizes

constexpr int kItemSlots = 120;         // Items 1..120
constexpr int kSkillStrings = 20;       // M 1..20
constexpr int kQuestFlags = 40;         // Et 1..40 (0 unused)
constexpr int kMaxMonsters = 300;       // Monsters 1..300, MonsterSpawns n 0..300
constexpr int kMaxGroundItems = 50;     // GroundItems 1..50
constexpr int kMaxParts = 30;           // parts 1..30 (arrays 0..30)
constexpr int kGridSize = 200;          // map cells 1..200 in each direction
constexpr int kSysMessageLines = 20;    // SysMessages 1..20 used, 0..21 allocated
constexpr int kSysMessageLife = 130;    // frames a system message lives
constexpr int kMaxSkillEffects = 5;     // SkillEffects 1..5
constexpr int kMaxScreenEffects = 20;   // ScreenEffects 1..20
constexpr int kMaxFloatingTexts = 25;   // FloatingTexts 1..25
constexpr int kChoiceCount = 6;         // ChoiceLabel 1..6
constexpr int kTradeSlots = 10;         // DfItem, MyItem 1..10 used, 0..11 allocated
constexpr int kTradeSendSlots = 9;      // YzTime 1..9
constexpr int kMonsterDrops = 30;       // MonsterKind::Drops rows 0..30
constexpr int kScriptLineMax = 999;     // ScriptLines 1..999
constexpr int kWindParticles = 26;      // WindParticles 0..25
constexpr int kViewCols = 15;           // view columns 0..14
constexpr int kViewRows = 14;           // view rows 0..13

// ---------------------------------------------------------------------------------
// A fixed-size array kept on the heap: N elements, indexes 0..N-1, never resized.

template <typename T, std::size_t N>
class FixedArray {
 public:
  FixedArray() : v_(N) {}
  T& operator[](std::size_t i) {
    assert(i < N);
    return v_[i];
  }
  const T& operator[](std::size_t i) const {
    assert(i < N);
    return v_[i];
  }
  static constexpr std::size_t size() { return N; }
  T* begin() { return v_.data(); }
  T* end() { return v_.data() + N; }
  const T* begin() const { return v_.data(); }
  const T* end() const { return v_.data() + N; }
  // Every element back to its default value.
  void Reset() {
    for (auto& e : v_) e = T{};
  }

 private:
  std::vector<T> v_;
};

// ---------------------------------------------------------------------------------
// Action states, spirit states and directions

// The player's and the monsters' action states. Each shows and compares as its
// fixed-width three-character text (ActionText).
enum class ActionState : std::uint8_t {
  Stand,   // "停  "  standing; the only state that takes the player's input
  Walk,    // "走  "
  Run,     // "跑  "
  Attack,  // "攻击 "
  Magic,   // "魔法 "
  Hit,     // "被攻击"
  Dying,   // "死亡 "  the dying animation
  Dead,    // "   "   dead, the animation finished
  Move,    // "移动 "  monsters
  Chase,   // "追击 "  monsters
  Rest,    // "间歇 "  monsters
};
constexpr int kActionStateCount = 11;
// The game's fixed-width text of a state.
std::string_view ActionText(ActionState state);

// The companion's states, two characters each.
enum class SpiritState : std::uint8_t {
  Idle,   // "停止"
  Move,   // "移动"
  Magic,  // "魔法"
};
std::string_view SpiritText(SpiritState state);

// Facings: 0 north, clockwise to 7 north-west.
enum : int {
  DirNorth = 0,
  DirNorthEast = 1,
  DirEast = 2,
  DirSouthEast = 3,
  DirSouth = 4,
  DirSouthWest = 5,
  DirWest = 6,
  DirNorthWest = 7,
};
struct CellOffset {
  int dx, dy;
};
constexpr std::array<CellOffset, 8> kDirectionOffsets{{
    {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1},
}};
// Cell offset of a facing; a value outside 0..7 gives (0, 0).
inline CellOffset DirectionOffset(std::int32_t direction) {
  return (direction >= 0 && direction < 8) ? kDirectionOffsets[static_cast<std::size_t>(direction)]
                                           : CellOffset{0, 0};
}

// ---------------------------------------------------------------------------------
// Records

// One item: 33 fields in the game's order. An empty slot has Name "" and all numbers 0.
struct ItemRecord {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::string Name;
  std::int32_t Type = 0;
  std::string Type2;  // one character
  std::int32_t Pic1 = 0;
  std::int32_t Pic2 = 0;
  std::int32_t Hp = 0;
  std::int32_t Mp = 0;
  std::int32_t Dc = 0;
  std::int32_t DcMax = 0;
  std::int32_t DcSpeed = 0;
  std::int32_t Mc = 0;
  std::int32_t McMax = 0;
  std::int32_t Df = 0;
  std::int32_t DfMax = 0;
  std::int32_t Mf = 0;
  std::int32_t MfMax = 0;
  std::int32_t Nb = 0;
  std::int32_t Acc = 0;
  std::int32_t Weight = 0;
  std::int32_t XiHP = 0;
  std::int32_t MaBi = 0;
  std::int32_t Luck = 0;
  std::int32_t zd = 0;
  std::int32_t dzlevel = 0;
  std::int32_t Money = 0;
  std::int32_t NdDc = 0;
  std::int32_t NdMc = 0;
  std::int32_t NdLevel = 0;
  std::int32_t SP = 0;
  std::int32_t JP = 0;
  std::int32_t Ex = 0;

  bool operator==(const ItemRecord&) const = default;
};

// The whole character, copied as one value (PlayerBackup = Player).
struct PlayerRecord {
  std::string ID;
  std::string ZhiYe;
  std::int32_t HP = 0;
  std::int32_t HpMax = 0;
  std::int32_t Mp = 0;
  std::int32_t MpMax = 0;
  std::int32_t Dc = 0;
  std::int32_t DcMax = 0;
  std::int32_t Mc = 0;
  std::int32_t McMax = 0;  // 0 while transformed
  std::int32_t Df = 0;
  std::int32_t DfMax = 0;
  std::int32_t Mf = 0;
  std::int32_t MfMax = 0;
  std::int32_t Nb = 0;
  std::int32_t Acc = 0;
  std::int32_t DcSpeed = 0;
  std::int32_t XiHP = 0;
  std::int32_t MaBi = 0;
  std::int32_t zd = 0;
  std::int32_t Luck = 0;
  std::int32_t Heavy = 0;
  std::int32_t Money = 0;
  std::int32_t Bank = 0;
  std::int32_t SP = 0;
  std::int32_t Ex = 0;
  std::int32_t Level = 0;
  std::int32_t LevelPoint = 0;
  std::int32_t SpPoint = 0;
  ActionState ActState = ActionState::Stand;
  std::int32_t Direction = 0;
  std::int32_t ActCounter = 0;
  std::int32_t ActStep = 0;
  std::int32_t MBSP = 0;
  std::int32_t PoisonTime = 0;
  std::int32_t InvisTime = 0;
  std::int32_t FrameNo = 0;
  std::int32_t X = 0;  // view origin as loaded from the save
  std::int32_t Y = 0;
  FixedArray<ItemRecord, kItemSlots + 1> Items;   // 1..120
  std::array<std::string, kSkillStrings + 1> M;   // 1..20
  std::int32_t NowMc = 0;
  std::int64_t LastCastTick = 0;
  std::uint8_t MapS = 0;
  std::int32_t TintR = 0;
  std::int32_t TintG = 0;
  std::int32_t TintB = 0;
  std::int32_t TintA = 0;
};

// One monster kind (a row of Mon1..Mon3).
struct MonsterKind {
  std::int32_t Pic = 0;
  std::string MonName;
  std::int32_t Type = 0;
  std::string Wav;
  std::int32_t Hp = 0;
  std::int32_t Dc = 0;
  std::int32_t DcMax = 0;
  std::int32_t Df = 0;
  std::int32_t DfMax = 0;
  std::int32_t mf = 0;
  std::int32_t MfMax = 0;
  std::int32_t Nb = 0;
  std::int32_t MaBi = 0;
  std::int32_t XiHP = 0;
  std::int32_t zd = 0;
  std::int32_t ActType = 0;
  std::int32_t DcSpeed = 0;
  std::int32_t StepSpeed = 0;
  std::int32_t DcSleep = 0;
  std::int32_t Ex = 0;
  std::int32_t Eye = 0;
  std::int32_t R = 0;
  std::int32_t G = 0;
  std::int32_t B = 0;
  std::int32_t A = 0;
  std::int32_t Event = 0;
  // Drops[0][0] = number of entries as text; Drops[i][0] item name, Drops[i][1] chance.
  std::array<std::array<std::string, 2>, kMonsterDrops + 1> Drops;
};

// One monster on the current part.
struct MonsterInstance {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::int32_t Kind = 0;
  std::int32_t Pic = 0;
  std::int32_t HP = 0;
  ActionState State = ActionState::Stand;
  std::int32_t WasHit = 0;
  std::int32_t Direction = 0;
  std::int32_t Tick = 0;
  std::int32_t Freeze = 0;
  std::int32_t Poison = 0;
  std::int32_t Frame = 0;
  std::int32_t Step = 0;
  std::int32_t PixelX = 0;
  std::int32_t PixelY = 0;
  std::int64_t LastTick = 0;
  std::int32_t R = 0;
  std::int32_t G = 0;
  std::int32_t B = 0;
  std::int32_t A = 0;
};

// The summoned companion.
struct SpiritRecord {
  std::int32_t Level = 0;  // 0 = no spirit
  std::int32_t X = 0;
  std::int32_t Y = 0;
  SpiritState State = SpiritState::Idle;
  std::int32_t Direction = 0;
  std::int32_t Anim = 0;
  std::int32_t Frame = 0;
  std::int32_t Step = 0;
  std::int32_t PixelX = 0;
  std::int32_t PixelY = 0;
  std::int64_t LastTick = 0;
};

// One on-screen system message line.
struct SysMessage {
  std::int32_t R = 0;
  std::int32_t G = 0;
  std::int32_t B = 0;
  std::string Text;
  std::int32_t Life = 0;  // frames left; 0 = free line
};

// The effect lists' entries; Kind (or Age) 0 marks a free entry.
struct SkillEffect {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::int32_t OffsetX = 0;
  std::int32_t OffsetY = 0;
  std::int32_t Kind = 0;
  std::int32_t Frame = 0;
  std::int32_t P1 = 0;
  std::int32_t P2 = 0;
};

struct ScreenEffect {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::int32_t Kind = 0;
  std::int32_t Frame = 0;
  std::int32_t P = 0;
};

struct FloatingText {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::int32_t R = 0;
  std::int32_t G = 0;
  std::int32_t B = 0;
  std::string Text;
  std::int32_t Age = 0;  // 0 = free; starts at 1
};

// A cold-wind particle: screen position and picture 1..3.
struct WindParticle {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::int32_t Kind = 0;
};

// ---------------------------------------------------------------------------------
// Map storage

// Texts interned once; id 0 is always "". Each text also keeps its numeric value
// (read like Val and rounded), for fields that hold numbers.
class StringTable {
 public:
  StringTable();
  std::uint32_t Intern(std::string_view text);
  const std::string& Text(std::uint32_t id) const;
  std::int32_t Number(std::uint32_t id) const;
  std::size_t Count() const { return texts_.size(); }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::vector<std::string> texts_;
  std::vector<std::int32_t> numbers_;
  std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> ids_;
};

// The four text fields of a cell, as ids into GameState::Texts.
struct MapCell {
  std::uint32_t Floor = 0;   // field 1: floor tile number (decimal text) or ""
  std::uint32_t Object = 0;  // field 2: scenery object
  std::uint32_t Kind = 0;    // field 3: cell kind
  std::uint32_t Portal = 0;  // field 4: portal "MMNNXXXXYYYY" or ""
};

// The cells of one part, sized by its width and height (x outer, y inner).
struct MapPartCells {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::vector<MapCell> Cells;
};

// Occupancy codes of a grid cell (Grid and PartGrids):
//   kGridFree            ""
//   kGridBlocked         "1"
//   kGridMonsterBase + n "M" followed by n in four digits (n 0..9999)
//   negative -id         any other text, interned in GameState::Texts
constexpr std::int32_t kGridFree = 0;
constexpr std::int32_t kGridBlocked = 1;
constexpr std::int32_t kGridMonsterBase = 2;
constexpr std::int32_t kGridMonsterLast = kGridMonsterBase + 9999;

struct PartGridCells {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::vector<std::int32_t> Codes;
};

// ---------------------------------------------------------------------------------
// The game state

struct GameState {
  GameState();

  // --- the character
  PlayerRecord Player;
  PlayerRecord PlayerBackup;
  // True from BackupPlayerRecord to RestorePlayerStats: a spirit form is worn and the
  // character's own fighting stats wait in PlayerBackup.
  bool FormWorn = false;
  std::array<std::int32_t, kQuestFlags + 1> Et{};  // 0..40, 1..40 used

  // --- map state
  std::int32_t MainMap = 0;
  std::int32_t SubMap = 0;
  StringTable Texts;                                  // interned map and grid texts
  std::array<MapPartCells, kMaxParts + 1> MapCells;   // parts 0..30
  std::array<PartGridCells, kMaxParts + 1> PartGrids;  // parts 0..30
  std::vector<std::int32_t> Grid;      // 200 x 200 codes of the current part
  std::vector<std::int32_t> ItemGrid;  // 200 x 200 indexes into GroundItems
  std::vector<std::int32_t> DeadGrid;  // 200 x 200 indexes into Monsters
  std::array<std::string, kMaxParts + 1> PartNames;
  std::array<std::string, kMaxParts + 1> PartScripts;
  std::array<std::int32_t, kMaxParts + 1> PartWidths{};
  std::array<std::int32_t, kMaxParts + 1> PartHeights{};
  std::vector<MonsterKind> MonsterKinds;  // 1..MonsterKindCount (element 0 unused)
  std::int32_t MonsterKindCount = 0;
  FixedArray<MonsterInstance, kMaxMonsters + 1> Monsters;  // 1..300
  std::int32_t MonsterCount = 0;
  FixedArray<ItemRecord, kMaxGroundItems + 1> GroundItems;  // 1..50
  std::int32_t GroundItemCount = 0;
  FixedArray<FixedArray<MonsterInstance, kMaxMonsters + 1>, kMaxParts + 1> MonsterSpawns;  // [part][n]
  std::int32_t GoMain = 0;
  std::int32_t GoSub = 0;
  std::int32_t GoX = 0;
  std::int32_t GoY = 0;

  // --- view geometry
  std::int32_t ViewX = 0;
  std::int32_t ViewY = 0;
  std::int32_t ScrollX = 0;
  std::int32_t ScrollY = 0;
  std::int32_t MouseCellX = 0;
  std::int32_t MouseCellY = 0;
  std::int32_t DrawColFirst = 0;
  std::int32_t DrawColLast = 0;
  std::int32_t DrawRowFirst = 0;
  std::int32_t DrawRowLast = 0;

  // --- loop and flags
  std::int32_t GameRunning = 0;
  std::int32_t GamePaused = 0;
  std::uint8_t WindowHidden = 0;  // hidden by the hide key: 1 asked to minimise, 2 seen minimised
  std::int32_t FrameCount = 0;
  std::int32_t Fps = 0;
  std::int64_t LoopStartTick = 0;  // tick at which the last unpaused pass began
  std::int32_t SoundOn = 0;
  std::int32_t ShowAllMonHp = 0;
  std::int32_t ShowAllItemNames = 0;
  std::int32_t AutoPickUp = 0;
  std::int32_t ShowDamage = 0;
  std::int32_t MagicLock = 0;
  std::int32_t ShowMiniMap = 0;
  std::int32_t ShowPlayerId = 0;
  std::uint8_t GAMELEVEL = 0;
  std::uint8_t CheatMode = 0;
  std::uint8_t ExpertMode = 0;
  std::uint8_t HpLock = 0;
  std::uint8_t MpLock = 0;
  std::uint8_t InvisLock = 0;
  std::uint8_t AlwaysAirSlash = 0;
  std::uint8_t AlwaysFireSword = 0;
  std::int32_t MouseLeftDown = 0;
  std::int32_t MouseRightDown = 0;
  std::int32_t TargetMon = 0;
  std::int32_t TargetTimer = 0;
  std::int32_t LockedMon = 0;
  std::int32_t SelectedSlot = 0;
  std::int64_t LastItemUseTick = 0;
  std::int32_t HotkeySkill = 0;
  std::int32_t RegenInterval = 0;
  std::int32_t HpPool = 0;
  std::int32_t MpPool = 0;
  std::int32_t ShockSlashOn = 0;
  std::uint8_t FlashMode = 0;
  std::uint8_t FlashR = 0;
  std::uint8_t FlashG = 0;
  std::uint8_t FlashB = 0;
  std::uint8_t FlashAlpha = 0;
  std::int32_t NpcAnimFrame = 0;
  std::int32_t ColdWindActive = 0;
  std::array<WindParticle, kWindParticles> WindParticles{};  // 0..25

  // --- the player update's own counters
  std::int64_t RegenTick = 0;
  std::int64_t PotionTick = 0;
  std::int32_t ShockSlashArmed = 0;
  std::int32_t AirSlashArmed = 0;
  std::int32_t FireSwordArmed = 0;
  std::int32_t CastX = 0;
  std::int32_t CastY = 0;

  // --- looks and the equipment-set aura
  std::int32_t BodyNo = 0;    // body look drawn; 100 or more while transformed
  std::int32_t WeaponNo = 0;  // weapon look drawn
  std::int32_t AuraLevel = 0;
  std::int32_t AuraR = 0;
  std::int32_t AuraG = 0;
  std::int32_t AuraB = 0;
  std::int32_t AuraAlpha = 0;

  // --- the companion
  SpiritRecord Spirit;

  // --- message and effect lists
  std::array<SysMessage, kSysMessageLines + 2> SysMessages;     // 0..21, 1..20 used
  std::array<SkillEffect, kMaxSkillEffects + 1> SkillEffects{};  // 1..5
  std::array<ScreenEffect, kMaxScreenEffects + 1> ScreenEffects{};  // 1..20
  std::array<FloatingText, kMaxFloatingTexts + 1> FloatingTexts;  // 1..25

  // --- the script interpreter
  std::string ScriptText;
  std::vector<std::string> ScriptLines;  // 1..999
  std::int32_t ScriptLineCount = 0;
  std::int16_t IfState = 0;
  std::int32_t BuyMode = 0;
  std::int32_t ScriptNesting = 0;  // scripts running inside one another right now
  std::int32_t ScriptLinesRun = 0;  // lines run by the outermost run and every run inside it
  std::array<std::string, kChoiceCount + 1> ChoiceLabel;  // 1..6

  // --- graphics and sound counters
  std::int32_t FpsAdjust = 0;
  std::uint8_t ObjectTintR = 0;
  std::uint8_t ObjectTintG = 0;
  std::uint8_t ObjectTintB = 0;
  std::uint8_t LowMemoryMode = 0;
  std::int32_t MonsterTexCount = 0;
  std::int32_t SoundAliasCount = 0;
  std::int32_t SoundAlias = 0;

  // --- files and databases
  std::string PathText;
  std::unique_ptr<plat::db::Connection> DbConn;
  std::unique_ptr<plat::db::Recordset> DbRecordset;
  std::string DbSql;
  // The item table, kept open for item creation from the first item built on.
  std::unique_ptr<plat::db::KeptQuery> ItemQuery;
  std::string SaveConnStr;
  std::string NpcConnStr;
  std::string MonConnStr;
  std::string ItemConnStr;
  // The files the connection strings name. Databases are opened by these paths: a path
  // taken back out of a connection string ends at its first ';'.
  std::filesystem::path SavePath;
  // The lock of the save in play, held until the program ends, so a second running copy
  // of the game cannot play or trade the same character.
  plat::FileLock SaveInUse;
  std::filesystem::path NpcDbPath;
  std::filesystem::path MonDbPath;
  std::filesystem::path ItemDbPath;

  // --- the trade
  FixedArray<ItemRecord, kTradeSlots + 2> DfItem;  // 0..11, 1..10 used
  FixedArray<ItemRecord, kTradeSlots + 2> MyItem;  // 0..11, 1..10 used
  std::array<std::int64_t, kTradeSendSlots + 1> YzTime{};  // 1..9
};

extern GameState G;

// ---------------------------------------------------------------------------------
// View geometry: view cell (c, r) shows map cell (ViewX + c + 1, ViewY + r + 1); the
// player stands in view cell (7, 7), on map cell (ViewX + 8, ViewY + 8).

inline std::int32_t PlayerCellX() { return G.ViewX + 8; }
inline std::int32_t PlayerCellY() { return G.ViewY + 8; }
inline std::int32_t ViewToMapX(std::int32_t c) { return G.ViewX + c + 1; }
inline std::int32_t ViewToMapY(std::int32_t r) { return G.ViewY + r + 1; }

// ---------------------------------------------------------------------------------
// Map accessors. "Part" cells are inside 1..PartWidths(part) x 1..PartHeights(part)
// of a part 0..30 whose storage was sized by SetPartSize; the current part is SubMap.

// Sizes a part (w and h cut to 0..200): sets PartWidths and PartHeights and makes
// its cells and occupancy template new and empty.
void SetPartSize(std::int32_t part, std::int32_t w, std::int32_t h);
// True when (x, y) is a cell of that part.
bool InPart(std::int32_t part, std::int32_t x, std::int32_t y);
// True when (x, y) is a cell of the current part.
bool OnGrid(std::int32_t x, std::int32_t y);
// Empties MapCells, Grid, PartGrids, PartNames, PartScripts (a new map load).
void ClearMapArrays();

// Field 1..4 of a cell as text. Outside the part: field 3 reads "0" (blocked), the
// others read "". A field number outside 1..4 reads "".
const std::string& CellField(std::int32_t part, std::int32_t x, std::int32_t y, int field);
void SetCellField(std::int32_t part, std::int32_t x, std::int32_t y, int field, std::string_view text);
// The floor tile number of a cell (field 1 read as a number; "" and non-numbers are 0).
std::int32_t CellFloorNumber(std::int32_t part, std::int32_t x, std::int32_t y);

// Grid codes and texts. Code from text: "" free, "1" blocked, "M" + four digits a
// monster, anything else interned.
std::int32_t GridCodeOf(std::string_view text);
std::string GridCodeText(std::int32_t code);
// A code blocks when it is "1" exactly or its text starts with "M".
bool GridCodeBlocks(std::int32_t code);

// The live grid of the current part. Outside it: text "1", blocked, no monster.
std::int32_t GridCode(std::int32_t x, std::int32_t y);
std::string GridText(std::int32_t x, std::int32_t y);
bool GridBlocked(std::int32_t x, std::int32_t y);
// The monster index of an "M" + four digits cell when it is 1..300; else 0.
std::int32_t GridMonster(std::int32_t x, std::int32_t y);
void SetGridCode(std::int32_t x, std::int32_t y, std::int32_t code);
void SetGridFree(std::int32_t x, std::int32_t y);
void SetGridBlocked(std::int32_t x, std::int32_t y);
void SetGridMonster(std::int32_t x, std::int32_t y, std::int32_t index);  // index 0..9999
void SetGridText(std::int32_t x, std::int32_t y, std::string_view text);
// Empties the whole live grid.
void ClearGrid();
// Grid(x, y) = PartGrids(part, x, y) for every x, y of 1..200 (cells outside the part
// become free).
void CopyPartGridToGrid(std::int32_t part);

// The occupancy template of a part. Outside the part: "1", blocked.
std::int32_t PartGridCode(std::int32_t part, std::int32_t x, std::int32_t y);
std::string PartGridText(std::int32_t part, std::int32_t x, std::int32_t y);
void SetPartGridCode(std::int32_t part, std::int32_t x, std::int32_t y, std::int32_t code);
void SetPartGridText(std::int32_t part, std::int32_t x, std::int32_t y, std::string_view text);

// Ground items and corpses of the current part. Outside it: 0 (nothing lies there).
std::int32_t ItemGridAt(std::int32_t x, std::int32_t y);
void SetItemGridAt(std::int32_t x, std::int32_t y, std::int32_t index);
std::int32_t DeadGridAt(std::int32_t x, std::int32_t y);
void SetDeadGridAt(std::int32_t x, std::int32_t y, std::int32_t index);
void ClearItemGrid();
void ClearDeadGrid();
