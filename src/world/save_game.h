// The save database of a character: the file "\Save\<ID>.kzs" (the 20-byte marker
// followed by the database) with the tables Save1 (the character row) and Save2 (one
// row per item slot 1..120), its writers and its loader.
//
// A save on disk is always complete: the writers work on a copy and rename it over the
// file, so a failed save leaves the old file exactly as it was.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "platform/db.h"
#include "platform/file_lock.h"

// The connection string of a save file: provider, security, "Data Source=" + path and
// the database password, concatenated without separators.
std::string SaveConnectionString(std::string_view path);

// The real path of "\Save\<name>.kzs" under the program folder.
std::filesystem::path SaveFilePath(std::string_view name);

// True for a name that can stand as a save's file name: not empty, no path separators,
// not "." or "..".
bool IsUsableSaveName(std::string_view name);

// The current local date and time as "YYYY-MM-DD HH:MM:SS" (the Save1 Date column).
std::string CurrentDateText();

// The full save: ends a running spirit shield and a transformation first (the saved
// character never carries either), then writes the Save1 row and the 120 Save2 rows of
// the file SavePath (with SaveConnStr, built from the player's ID when it is empty). Shows
// "游戏已存档" after a save that succeeded; a failed save (a read-only file among them)
// keeps the old file and shows "存档失败，原存档未改动". Both in red. The file keeps its
// permissions, and a save that is a link stays one: its target gets the new content.
bool SaveGame();

// Rewrites the 120 Save2 rows from Items (after a completed trade). Sets SavePath and
// SaveConnStr for "\Save\<ID>.kzs" itself; Save1 is not touched; no message. All or
// nothing, as WriteItemRows.
bool SaveItemTable();

// Writes the item slots 1..120 into the Save2 rows of character `id`, all or nothing: one
// transaction on a copy of the save, one row updated per slot (the row with this ID and
// No; a slot without exactly one such row fails the whole write), then the marked copy
// synced and renamed over the save. Save1 and the rows of other characters are not
// touched. False when anything failed: the file is then exactly as it was.
bool WriteItemRows(std::string_view id, const FixedArray<ItemRecord, kItemSlots + 1>& items);

// ---------------------------------------------------------------- one user of a save

// The message when a character is already in use by another running copy of the game.
inline constexpr std::string_view kMsgSaveInUse = "这个角色正在另一个游戏窗口中使用，请先关闭那个窗口！";
// The message when the lock of a save cannot be taken for any other reason.
inline constexpr std::string_view kMsgSaveLockFailed =
    "存档无法加锁：无法在存档所在的文件夹中建立锁文件（没有写入权限或磁盘有误），存档本身没有改动！";

// The lock file of a save: the hidden file ".<save file name>.lock" beside the save in
// the folder that really holds it, every link followed. Every way to one save (through a
// game folder, a "Save" folder or a save file that is a link, or a bind mount) leads to
// one lock file. The save list does not take it for a save.
std::filesystem::path SaveLockPath(std::string_view name);

// Takes the exclusive lock of the character's save, held while `lock` lives: Busy when
// another running copy of the game (or another holder in this one) uses the save, from
// whichever game folder; Failed when the lock file cannot be made or locked.
plat::FileLock::Result LockSave(std::string_view name, plat::FileLock& lock);

// ---------------------------------------------------------------- the trade's copy

enum class TradeLoadError {
  None,
  InUse,        // another copy of the game uses the character
  LockFailed,   // the save's lock could not be taken (a save folder that may not be written...)
  Unreadable,   // missing, damaged, or holding values the game cannot use
  NoWorkCopy,   // the working copy could not be made in the save folder
  BadItemRows,  // not exactly one item row for each slot 1..120
  NotTradable,  // the account mode is neither "普通" nor "专家"
};

struct TradeSave {
  std::string id;    // Save1's ID
  std::string mode;  // the account mode (M20)
  FixedArray<ItemRecord, kItemSlots + 1> items{};
};

// Loads a character for a trade into `out` (every slot cleared first): the save locked
// in `lock` (kept on success only), the Save1 row of the trimmed name, exactly 120 item
// rows numbered 1..120 for that ID, and an account that may trade. The file is only read.
TradeLoadError LoadSaveForTrade(std::string_view name, TradeSave& out, plat::FileLock& lock);

// Why a save could not be loaded.
enum class SaveLoadError {
  None,
  Unreadable,  // missing, not a save of this game, or holding values it cannot use
  NoWorkCopy,  // the working copy could not be made in the save folder
};

struct SaveLoadResult {
  SaveLoadError error = SaveLoadError::None;
  explicit operator bool() const { return error == SaveLoadError::None; }
};

// Loads the character of "\Save\<name>.kzs" (name trimmed, the file found without
// regard to letter case) into the game state: Player, Et, M, Items, the map and return
// point, the view origin (X - 7, Y - 7), the account flags of M20, SavePath and
// SaveConnStr. The file is only read. On any failure the game state is left as it was
// (the caller shows the message).
SaveLoadResult LoadSaveGame(std::string_view name);

// A save whose content cannot be used.
struct SaveFormatError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Strict readers of save columns: a null, a text that is not a number or a number
// outside the 32-bit range is a SaveFormatError (as is an unknown column).
std::int32_t SaveFieldLong(const plat::db::Recordset& rs, std::string_view column);
// Text of a column; a null is a SaveFormatError.
std::string SaveFieldText(const plat::db::Recordset& rs, std::string_view column);
