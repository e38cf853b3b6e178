// The eight player options of the system panel, kept in "Config.cfg" in the program
// folder as one line of eight 0/1 fields.
#pragma once

// Writes "Config.cfg" anew from the values of the eight option check boxes, in the order
// 游戏音效, 全屏显示怪物体力, 全屏显示道具名称, 自动拣取脚下道具, 伤害数值显示, 魔法锁定,
// 小地图显示, 角色ID显示. False when the file could not be written.
bool SaveConfig();

// Reads "Config.cfg" and sets the option flags, the minimap panel's place and the check
// boxes from it. A flag is on for any field other than exactly "0" ("00" included); a box
// takes the field's value. A missing, short or damaged file gives the design values (sound effects
// and damage numbers on, the rest off), which are then written to the file.
void LoadConfig();
