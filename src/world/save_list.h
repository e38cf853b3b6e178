// The title screen's character list: one line per save file of the folder "Save".
#pragma once

#include <string>
#include <string_view>

// n spaces; the empty text when n <= 0.
std::string Spaces(long n);

// One line of the list: the name padded to 9 GBK bytes, " ", the class, " 等级：", the
// level padded to two characters, " ", the save date, " ", the account mode. RowName
// and RowMode read the name and the mode back.
std::string SaveListRow(std::string_view id, std::string_view zhiYe, long level, std::string_view date,
                        std::string_view mode);

// The name in a row of the list: its first four characters, blanks trimmed.
std::string RowName(std::string_view row);
// The account mode in a row: its last two characters.
std::string RowMode(std::string_view row);

// Clears the main window's IdList and adds one row per save file of "\Save\" whose
// name ends in "kzs" (exactly, with case), in file-name order. No file is modified.
// Leaves SavePath and SaveConnStr at the last file listed. A file that cannot be read
// as a save shows "无法识别的存档文件！请将它移出存档文件夹！" and ends the program; so
// does a working copy that cannot be made in the save folder, with kMsgNoWorkCopy.
void ListSaveGames();

