// The databases of the sample game folder, built from the text sources in data/:
//   date/Mon/74.dat  the items (table Item)                 from data/tables/items.tsv
//   date/Mon/75.dat  the NPC scripts (table NPC)            from data/npc/
//   date/rpg/21.dat  the monster kinds (Mon1, Mon2, Mon3)   from data/tables/mon1..3.tsv, marked
//   date/Sk.dat      the empty save (Save1, Save2)          from data/tables/save_template.sql, marked
// The table layouts come from the .sql files in data/tables/.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>

namespace tools {

// The databases' places in the game folder, as the game names them.
inline constexpr std::string_view kItemDatabase = "date/Mon/74.dat";
inline constexpr std::string_view kNpcDatabase = "date/Mon/75.dat";
inline constexpr std::string_view kMonsterDatabase = "date/rpg/21.dat";
inline constexpr std::string_view kSaveTemplate = "date/Sk.dat";

// Reads and checks every table source of `dataDir`, then writes the four databases into
// `gameDir`. Each database is first built in a file of its own beside its place; only
// when all four are complete are they renamed over the old ones, so a bad source leaves
// every database of the game folder as it was. Throws SourceError for a bad source and
// std::runtime_error when a file cannot be written.
void BuildGameDatabases(const std::filesystem::path& dataDir, const std::filesystem::path& gameDir);

// Checks a drop list written as blank-separated "chance/name" entries and returns it in
// the stored form: every entry followed by exactly one blank. A name must be an item of
// `itemNames` or gold ("金币" and a whole number). Throws SourceError naming `where`.
std::string NormalizeDropList(std::string_view text, const std::set<std::string>& itemNames,
                              const std::string& where);

}  // namespace tools
