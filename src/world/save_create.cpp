#include "world/save_create.h"

#include <unistd.h>

#include <string>
#include <system_error>
#include <vector>

#include "common/game_state.h"
#include "platform/db.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "world/file_marker.h"
#include "world/save_game.h"

namespace fs = std::filesystem;
using plat::db::Recordset;
using plat::db::Value;

namespace {

constexpr std::string_view kTemplate = "\\date\\Sk.dat";

// Where a new character starts and returns to: map 1, part 1, cell (13, 13).
constexpr std::int32_t kStartMap = 1;
constexpr std::int32_t kStartPart = 1;
constexpr std::int32_t kStartCell = 13;
constexpr int kBodyArmourSlot = 5;

// A failure while building the new save.
struct CreateFailure {
  SaveCreateError error;
};

void RemoveQuietly(const fs::path& p) {
  std::error_code ec;
  fs::remove(p, ec);
}

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec));
}

void WriteCharacterRow(MarkedDatabase& db, std::string_view name, std::string_view zhiYe, bool expert,
                       const ClassStartValues& v) {
  Recordset rs;
  rs.Open("Select * from Save1", db.Db());
  db.BeforeWrite();
  rs.AddNew();
  auto put = [&rs](std::string_view column, std::int32_t n) { rs.SetField(column, Value(static_cast<long long>(n))); };
  rs.SetField("ID", Value(std::string(name)));
  rs.SetField("ZhiYe", Value(std::string(zhiYe)));
  put("MainMap", kStartMap);
  put("SubMap", kStartPart);
  put("X", kStartCell);
  put("Y", kStartCell);
  put("GoMain", kStartMap);
  put("GoSub", kStartPart);
  put("GoX", kStartCell);
  put("GoY", kStartCell);
  rs.SetField("M20", Value(std::string(expert ? "专家" : "普通")));
  put("HP", v.HP);
  put("HpMax", v.HpMax);
  put("Mp", v.Mp);
  put("MpMax", v.MpMax);
  put("Dc", v.Dc);
  put("DcMax", v.DcMax);
  put("Mc", v.Mc);
  put("McMax", v.McMax);
  put("Df", v.Df);
  put("DfMax", v.DfMax);
  put("Mf", v.Mf);
  put("MfMax", v.MfMax);
  put("Heavy", v.Heavy);
  put("Acc", 5);
  put("Nb", 0);
  put("DcSpeed", 5);
  put("Level", 1);
  put("Ex", 1);
  put("LevelPoint", 1);
  put("SpPoint", 1);
  put("Direction", 3);  // south-east
  put("Money", 50);
  for (int i = 1; i <= kQuestFlags; ++i) put("Et" + std::to_string(i), 0);
  rs.Update();
  rs.Close();
}

void WriteItemRows(MarkedDatabase& db, std::string_view name) {
  Recordset rs;
  rs.Open("Select * from save2", db.Db());
  for (int no = 1; no <= kItemSlots; ++no) {
    db.BeforeWrite();
    rs.AddNew();
    rs.SetField("ID", Value(std::string(name)));
    rs.SetField("No", Value(no));
    if (no == kBodyArmourSlot) {
      rs.SetField("Name", Value("布衣"));
      rs.SetField("Type", Value(12));
      rs.SetField("Type2", Value("衣"));
      rs.SetField("Pic1", Value(32));
      rs.SetField("Pic2", Value(1));
      rs.SetField("DfMax", Value(1));
      rs.SetField("Weight", Value(3));
      rs.SetField("Money", Value(65));
    }
    rs.Update();
  }
  rs.Close();
}

// The template must be the empty save: both tables there and without rows.
void CheckTemplateIsEmpty(plat::db::Connection& db) {
  for (const char* table : {"Save1", "Save2"}) {
    if (!db.HasTable(table)) throw CreateFailure{SaveCreateError::WriteFailed};
    if (db.Scalar(std::string("SELECT COUNT(*) FROM ") + table).AsInt() != 0) {
      throw CreateFailure{SaveCreateError::WriteFailed};
    }
  }
}

}  // namespace

std::optional<ClassStartValues> StartValuesOf(std::string_view zhiYe) {
  //                          HP HpMax Mp MpMax Dc DcMax Mc McMax Df DfMax Mf MfMax Heavy
  if (zhiYe == "战士") return ClassStartValues{30, 30, 30, 30, 1, 3, 0, 1, 1, 2, 0, 1, 35};
  if (zhiYe == "道士") return ClassStartValues{28, 28, 35, 35, 1, 2, 1, 2, 1, 1, 1, 1, 30};
  if (zhiYe == "法师") return ClassStartValues{25, 25, 40, 40, 0, 1, 1, 3, 0, 1, 1, 3, 25};
  return std::nullopt;
}

fs::path NewSaveFilePath(std::string_view name) {
  return plat::ResolvePath("\\Save") / fs::u8path(std::string(name) + ".kzs");
}

SaveCreateResult CreateSaveGame(std::string_view name, std::string_view zhiYe, bool expert) {
  SaveCreateResult result;
  if (!IsUsableSaveName(name)) {
    result.error = SaveCreateError::BadName;
    return result;
  }
  const auto start = StartValuesOf(zhiYe);
  if (!start) {
    result.error = SaveCreateError::BadClass;
    return result;
  }
  const fs::path target = NewSaveFilePath(name);
  // SaveFilePath also finds a save whose name differs only in letter case.
  if (Exists(target) || Exists(SaveFilePath(name))) {
    result.error = SaveCreateError::AlreadyExists;
    return result;
  }

  auto templateBytes = plat::ReadAllBytes(plat::ResolvePath(kTemplate));
  if (!templateBytes || templateBytes->empty()) {
    result.error = SaveCreateError::NoTemplate;
    return result;
  }

  // The save is built as "<name>.kzs.new.<process>" (the list only takes names ending
  // in "kzs"; the process number tells a leftover from another program's work).
  fs::path staging = target;
  staging += ".new." + std::to_string(::getpid());
  try {
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) throw CreateFailure{SaveCreateError::WriteFailed};
    RemoveQuietly(staging);  // left over by an interrupted creation
    if (!plat::WriteAllBytes(staging, *templateBytes)) throw CreateFailure{SaveCreateError::WriteFailed};
    {
      MarkedDatabase db(staging, MarkedDatabase::Mode::Write);
      CheckTemplateIsEmpty(db.Db());
      WriteCharacterRow(db, name, zhiYe, expert, *start);
      WriteItemRows(db, name);
      db.Commit();  // the staging file is now the complete, marked save
    }
    if (Exists(target)) throw CreateFailure{SaveCreateError::AlreadyExists};
    fs::rename(staging, target, ec);
    if (ec) throw CreateFailure{SaveCreateError::WriteFailed};
  } catch (const plat::ProgramEnded&) {
    RemoveQuietly(staging);
    throw;
  } catch (const CreateFailure& f) {
    RemoveQuietly(staging);
    result.error = f.error;
    return result;
  } catch (const std::exception&) {
    RemoveQuietly(staging);
    result.error = SaveCreateError::WriteFailed;
    return result;
  }
  result.file = target;
  return result;
}
