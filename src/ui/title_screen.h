// The title screen: the character list with deletion, the class combo with its
// description, new character creation, continuing a saved character up to the
// difficulty panel, and the quit button.
#pragma once

#include <string>
#include <string_view>

namespace ui {

// Texts shown by the title screen.
inline constexpr std::string_view kClickSound = "Sound\\按键1.wav";
inline constexpr std::string_view kMsgNameEmpty = "角色名称不能为空！";
inline constexpr std::string_view kMsgNameChinese = "角色名只能用中文";
inline constexpr std::string_view kMsgNameListed = "这个角色已经存在";
inline constexpr std::string_view kMsgChooseClass = "请选择一个职业";
inline constexpr std::string_view kMsgSaveExists = "该角色名已存在";
inline constexpr std::string_view kMsgNoTemplate = "存档模板文件缺失（date\\Sk.dat），无法创建角色！";
inline constexpr std::string_view kMsgCreateFailed = "角色存档创建失败，存档文件夹未做改动！";
inline constexpr std::string_view kMsgDeleteFailed = "存档删除失败，存档仍然保留！";
inline constexpr std::string_view kMsgBadSave = "存档文件格式不可识别，或被人为修改，或是游戏资源文件缺少！";

// The description of a class shown in HelpText; "" for any other text.
std::string_view ClassDescription(std::string_view zhiYe);

// The checks of a new character in their order: the name, the list, the class, and an
// existing save. Returns the message of the first that fails, "" when all pass.
std::string CheckNewCharacter(std::string_view name, std::string_view zhiYe);

// Handlers of the title screen.
void Cb_Click();          // class description into HelpText, Phelp shown
void HideClassHelp();     // the mouse handlers that put the description away
void IdList_Click();      // click sound for a chosen row
void Command1_Click();    // "登记": create a character
void Command2_Click();    // "故事继续": load the chosen character, show the difficulty panel
void Command3_Click();    // "自废武功": delete the chosen character
void Command16_Click();   // "暂隐江湖": close the window (asks first)
void Phelp_Resize();      // keeps HelpText 80 twips smaller than Phelp

// Attaches the handlers above to Form1's title screen (after BuildMainWindow).
void AttachTitleHandlers();

}  // namespace ui
