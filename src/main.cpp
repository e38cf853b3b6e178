// The program's entry point: the game runs from its own folder.
#include <cstdio>
#include <filesystem>

#include "platform/paths.h"

int main() {
  const auto folder = plat::ExecutableFolder();
  plat::SetProgramFolder(folder);
  std::filesystem::current_path(folder);
  std::printf("Orvanth: the game state, saves and options are in place; the window comes next.\n");
  return 0;
}
