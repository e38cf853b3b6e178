// build_game_folder <data folder> <game folder>
// Builds the sample game folder from the text sources: the databases are rebuilt on
// every run; the player's own files (options, saves) are only made when missing.
#include <exception>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "art_sprites.h"
#include "art_trade.h"
#include "art_ui.h"
#include "game_databases.h"
#include "game_folder_files.h"
#include "maps.h"
#include "platform/files.h"
#include "sounds.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc != 3) {
    std::cerr << "usage: build_game_folder <data folder> <game folder>\n";
    return 2;
  }
  const fs::path dataDir = fs::u8path(argv[1]);
  const fs::path gameDir = fs::u8path(argv[2]);
  std::error_code ec;
  if (!fs::is_directory(dataDir, ec)) {
    std::cerr << "build_game_folder: no data folder " << dataDir << "\n";
    return 2;
  }
  try {
    if (!plat::MakeFolder(gameDir)) {
      std::cerr << "build_game_folder: cannot make " << gameDir << "\n";
      return 1;
    }
    tools::BuildGameDatabases(dataDir, gameDir);
    tools::BuildMaps(dataDir, gameDir);
    tools::WriteInterfacePictures(dataDir, gameDir);
    tools::WriteTradePictures(gameDir);
    tools::WriteHelpPage(dataDir, gameDir);
    tools::BuildSpritePictures(dataDir, gameDir);
    tools::WriteSounds(dataDir, gameDir);
    tools::WritePlayerFilesIfMissing(gameDir);
  } catch (const std::exception& e) {
    std::cerr << "build_game_folder: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
