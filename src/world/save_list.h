// The title screen's character list: one line per save file of the folder "Save".
#pragma once

#include <string>
#include <string_view>

// n spaces; the empty text when n <= 0.
std::string Spaces(long n);

// One line of the list: the name padded to 9 GBK bytes, " ", the class, " 等级：", the
// level padded to two characters, " ", the save date, " ", the account mode. The title
// screen reads the name back as the first four characters (trimmed) and the mode as
// the last two.
std::string SaveListRow(std::string_view id, std::string_view zhiYe, long level, std::string_view date,
                        std::string_view mode);

// Clears the main window's IdList and adds one row per save file of "\Save\" whose
// name ends in "kzs" (exactly, with case), in file-name order. No file is modified.
// Leaves SavePath and SaveConnStr at the last file listed. A file that cannot be read
// as a save shows "无法识别的存档文件！请将它移出存档文件夹！" and ends the program; so
// does a working copy that cannot be made in the save folder, with kMsgNoWorkCopy.
void ListSaveGames();

