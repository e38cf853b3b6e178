// Picture loaders and picture packs.
//
// A picture pack is two files with one base path B (a game path such as "\date\Game"):
//  - B + ".Mxx", the index: fixed 11-byte text records; record n (1, 2, ...) lies at
//    byte (n - 1) * 11 and holds "start,end" in decimal, the end number followed by a
//    blank, a comma or a line end inside the record (or by the end of the file);
//  - B + ".dat", the data: picture n is its bytes start .. end - 1, an encoded picture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/render.h"

constexpr int kPackRecordBytes = 11;

// One index record.
struct PackRecord {
  std::uint64_t Start = 0;
  std::uint64_t End = 0;
};

// Record n of a pack's index. Nothing when n < 1, the index is missing or too short to
// hold the record, or the record is not "start,end" properly ended.
std::optional<PackRecord> ReadPackRecord(std::string_view base, long n);

// The bytes of picture n of a pack, after checking its record against the data file:
// start <= end <= the data file's size, and at least one byte. Nothing otherwise.
std::optional<std::vector<std::uint8_t>> ReadPackPicture(std::string_view base, long n);

// A texture from a single picture file (a game path), pure black transparent. A
// missing or undecodable file ends the program with a message naming it.
void LoadTexFile(plat::Texture& tex, std::string_view file);

// A texture from picture n of a pack. On any failure it tries once more (the second
// pool); when that fails too and more than 300 monster textures were made since they
// were last dropped, it drops them all and starts over; otherwise it shows the texture
// error message and ends the program.
void LoadTexPack(plat::Texture& tex, std::string_view base, long n);
// The second attempt of LoadTexPack, with the monster flush and the final message.
void LoadTexPackManaged(plat::Texture& tex, std::string_view base, long n);

// Fills an existing surface with picture n of a pack, scaled to the surface. A bad
// entry ends the program with a message naming the pack and the picture.
void LoadSurfacePack(plat::Surface surf, std::string_view base, long n);

// The three-line message of a texture that cannot be made.
extern const char* const kTextureErrorMessage;

// Shows "文件缺失，程序不能进行" with the file's name and ends the program.
[[noreturn]] void ShowMissingFile(std::string_view file);
