// A new character's save: made from the empty template "\date\Sk.dat" with the
// character row of its class and the 120 item rows (the body-armour slot holds the
// starting "布衣").
//
// The save is built under a name of its own in the save folder and takes its real
// name only when it is complete and marked, so a failure at any step leaves no save
// behind and never touches another file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The values a new character of a class starts with.
struct ClassStartValues {
  std::int32_t HP, HpMax, Mp, MpMax, Dc, DcMax, Mc, McMax, Df, DfMax, Mf, MfMax, Heavy;
};

// The start values of "战士", "道士" or "法师"; nothing for any other text.
std::optional<ClassStartValues> StartValuesOf(std::string_view zhiYe);

// Why a save could not be made.
enum class SaveCreateError {
  None,
  BadName,         // not a name a save file can carry
  BadClass,        // not one of the three classes
  AlreadyExists,   // a save of that name (in any letter case) is already there
  NoTemplate,      // "\date\Sk.dat" is missing or unreadable
  WriteFailed,     // the save folder, the copy or the database failed
};

struct SaveCreateResult {
  SaveCreateError error = SaveCreateError::None;
  std::filesystem::path file;  // the new save when it worked
  explicit operator bool() const { return error == SaveCreateError::None; }
};

// Makes "\Save\<name>.kzs" for a character of that class; `expert` stores "专家" in M20,
// otherwise "普通". An existing save is never replaced. The save folder is made when it
// is missing. On failure nothing is left in the save folder.
SaveCreateResult CreateSaveGame(std::string_view name, std::string_view zhiYe, bool expert);

// The exact path "\Save\<name>.kzs" (the name as it is, without a letter-case match).
std::filesystem::path NewSaveFilePath(std::string_view name);
