#include "world/save_list.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "common/game_state.h"
#include "graphics/device.h"
#include "platform/db.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "window/form1.h"
#include "world/file_marker.h"
#include "world/save_game.h"

namespace fs = std::filesystem;

std::string Spaces(long n) { return plat::Spaces(n); }

std::string SaveListRow(std::string_view id, std::string_view zhiYe, long level, std::string_view date,
                        std::string_view mode) {
  const std::string levelText = plat::Str(level);
  std::string row(id);
  row += Spaces(9 - plat::GbkByteLength(id));
  row += " ";
  row += zhiYe;
  row += " 等级：";
  row += levelText;
  row += Spaces(2 - plat::Len(levelText));
  row += " ";
  row += date;
  row += " ";
  row += mode;
  return row;
}

std::string RowName(std::string_view row) { return plat::Trim(plat::Left(row, 4)); }

std::string RowMode(std::string_view row) { return plat::Right(row, 2); }

namespace {

// The list row of one save file; throws when the file is not a readable save.
std::string ReadListRow(const fs::path& file) {
  MarkedDatabase db(file, MarkedDatabase::Mode::Read);
  plat::db::Recordset rs;
  rs.Open("Select * from save1", db.Db());
  if (rs.Eof()) throw SaveFormatError("the save has no character row");
  const plat::db::Value& date = rs.Field("Date");
  return SaveListRow(SaveFieldText(rs, "ID"), SaveFieldText(rs, "ZhiYe"), SaveFieldLong(rs, "Level"),
                     date.IsNull() ? std::string() : date.AsText(), SaveFieldText(rs, "M20"));
}

}  // namespace

void ListSaveGames() {
  plat::Control* list = ui::Form1.IdList;
  if (list != nullptr) list->Clear();

  const fs::path folder = plat::ResolvePath("\\Save");
  std::vector<std::string> names = plat::ListFiles(folder);
  std::sort(names.begin(), names.end());

  std::string_view failure;
  for (const std::string& name : names) {
    if (plat::Right(name, 3) != "kzs") continue;
    const fs::path file = folder / name;
    G.SavePath = file;
    G.SaveConnStr = SaveConnectionString(file.string());
    std::string row;
    try {
      row = ReadListRow(file);
    } catch (const plat::ProgramEnded&) {
      throw;
    } catch (const WorkCopyError&) {
      // The save itself may well be sound: say what failed instead.
      failure = kMsgNoWorkCopy;
      break;
    } catch (const std::exception&) {
      failure = "无法识别的存档文件！请将它移出存档文件夹！";
      break;
    }
    if (list != nullptr) list->AddItem(std::move(row));
  }

  // Every copy is gone by now; the save files were only read.
  if (!failure.empty()) {
    plat::MsgBox(std::string(failure));
    EndGame();
  }
}
