// The main window's control tree: one global object holding a pointer to every named
// control of the window. BuildMainWindow() creates the controls with their design
// values; the code that owns a panel attaches its handlers.
#pragma once

#include <memory>

#include "platform/forms.h"

namespace ui {

struct MainWindow {
  plat::Form* Form = nullptr;  // the window itself (owned by form1.cpp)

  // Top-level controls, in the order of the window's control list.
  plat::Control* Psys1 = nullptr;
  plat::Control* Psys2 = nullptr;
  plat::Control* PbkDown2 = nullptr;
  plat::Control* PDead = nullptr;
  plat::Control* PItemInf = nullptr;
  plat::Control* PbkRight = nullptr;
  plat::Control* PbkUp = nullptr;
  plat::Control* PBkDown1 = nullptr;
  plat::Control* PbkLeft = nullptr;
  plat::Control* TimerFps = nullptr;
  plat::Control* TimerNPC = nullptr;
  plat::Control* Pminimap = nullptr;
  plat::Control* Pspt = nullptr;
  plat::Control* PwUP = nullptr;
  plat::Control* Pbuy = nullptr;
  plat::Control* Pbank = nullptr;
  plat::Control* Psell = nullptr;
  plat::Control* MainMeun = nullptr;
  plat::Control* GameScreen = nullptr;

  // Psys1: the system menu with the eight option check boxes.
  plat::Control* LGameMusic = nullptr;
  plat::Control* LMgcLock = nullptr;
  plat::Control* LlistMinMap = nullptr;
  plat::Control* LActNumber = nullptr;
  plat::Control* LFullHP = nullptr;
  plat::Control* LFullItem = nullptr;
  plat::Control* LAutoItem = nullptr;
  plat::Control* LshowID = nullptr;
  plat::Control* Label2 = nullptr;  // "继续游戏"
  plat::Control* Label4 = nullptr;  // "游戏存档"
  plat::Control* Label3 = nullptr;  // "游戏帮助"
  plat::Control* Label1 = nullptr;  // "放弃退出"

  // Psys2: the character window.
  plat::Control* Psx = nullptr;  // status page
  plat::Control* Llevel = nullptr;
  plat::Control* Lex = nullptr;
  plat::Control* Lspot = nullptr;
  plat::Control* Lhp = nullptr;
  plat::Control* Lmp = nullptr;
  plat::Control* Ldc = nullptr;
  plat::Control* Lmc = nullptr;
  plat::Control* Ldf = nullptr;
  plat::Control* Lmf = nullptr;
  plat::Control* Lnb = nullptr;
  plat::Control* Lacc = nullptr;
  plat::Control* LDcAdd = nullptr;
  plat::Control* LMcAdd = nullptr;
  plat::Control* LDfAdd = nullptr;
  plat::Control* LMfAdd = nullptr;
  plat::Control* Pmc = nullptr;  // skills page
  plat::Control* ShItem = nullptr;
  plat::Control* Sys2b1 = nullptr;
  plat::Control* Sys2B2 = nullptr;
  plat::Control* Sys2B3 = nullptr;
  plat::Control* Sys2b4 = nullptr;
  plat::Control* Sys2b5 = nullptr;
  plat::Control* Lmoney = nullptr;
  plat::Control* Lfz = nullptr;

  // Pmc: skills.
  plat::Control* Label10 = nullptr;  // "技能点："
  plat::Control* LspPoint = nullptr;
  plat::Control* Line11 = nullptr;
  plat::Control* Line12 = nullptr;
  plat::Control* Line13 = nullptr;
  plat::Control* Line21 = nullptr;
  plat::Control* Line22 = nullptr;
  plat::Control* Line23 = nullptr;
  plat::Control* Line24 = nullptr;
  plat::Control* Line25 = nullptr;
  plat::Control* Line31 = nullptr;
  plat::Control* Line32 = nullptr;
  plat::Control* Line33 = nullptr;
  plat::Control* Line34 = nullptr;
  plat::Control* Psplyn = nullptr;  // learn / raise confirmation
  plat::Control* Lsplynm = nullptr;
  plat::Control* Lsply = nullptr;  // "是"
  plat::Control* Lspln = nullptr;  // "否"
  plat::Control* Pf = nullptr;     // hotkey row

  // PDead: the death panel.
  plat::Control* Label18 = nullptr;
  plat::Control* Label17 = nullptr;
  plat::Control* Label11 = nullptr;

  // PBkDown1: the bottom bar.
  plat::Control* SysB1 = nullptr;
  plat::Control* SysB2 = nullptr;
  plat::Control* SysB3 = nullptr;
  plat::Control* SysB4 = nullptr;
  plat::Control* Qmc = nullptr;   // the selected spell's icon
  plat::Control* LMgc = nullptr;  // its label "Mgc"

  // Pminimap.
  plat::Control* Iminimap = nullptr;
  plat::Control* Line1 = nullptr;   // the player's mark
  plat::Control* Image1 = nullptr;  // the toggle

  // Pspt: NPC dialogue.
  plat::Control* LSay = nullptr;
  plat::Control* Lquit = nullptr;

  // PwUP: forging.
  plat::Control* IwUP = nullptr;
  plat::Control* LwUP = nullptr;
  plat::Control* Command21 = nullptr;
  plat::Control* Command13 = nullptr;

  // Pbuy: shop.
  plat::Control* BuyList = nullptr;
  plat::Control* Ibuy = nullptr;
  plat::Control* Lbuy = nullptr;
  plat::Control* Command12 = nullptr;
  plat::Control* Command11 = nullptr;

  // Pbank: storage box and bank.
  plat::Control* BankList = nullptr;
  plat::Control* Ibank = nullptr;
  plat::Control* Bmoney = nullptr;
  plat::Control* Command5 = nullptr;
  plat::Control* Command6 = nullptr;
  plat::Control* Command7 = nullptr;
  plat::Control* Command8 = nullptr;

  // Psell: selling.
  plat::Control* Isell = nullptr;
  plat::Control* Lsell = nullptr;
  plat::Control* Command10 = nullptr;
  plat::Control* Command9 = nullptr;

  // MainMeun: the title screen.
  plat::Control* IdList = nullptr;
  plat::Control* ID = nullptr;
  plat::Control* Cb = nullptr;
  plat::Control* Lzj = nullptr;
  plat::Control* Command1 = nullptr;
  plat::Control* Command2 = nullptr;
  plat::Control* Command3 = nullptr;
  plat::Control* Command4 = nullptr;
  plat::Control* Command16 = nullptr;
  plat::Control* Phelp = nullptr;
  plat::Control* HelpText = nullptr;
  plat::Control* Pnet = nullptr;  // trade set-up
  plat::Control* Lnet = nullptr;
  plat::Control* O1 = nullptr;
  plat::Control* O2 = nullptr;
  plat::Control* Label8 = nullptr;
  plat::Control* DIP = nullptr;
  plat::Control* Command15 = nullptr;
  plat::Control* Command14 = nullptr;

  // GameScreen and its children.
  plat::Control* BBTimer = nullptr;
  plat::Control* PLevel = nullptr;  // difficulty choice
  plat::Control* I_Nm = nullptr;
  plat::Control* I_Hd = nullptr;
  plat::Control* I_vHd = nullptr;
  plat::Control* Pzb = nullptr;  // cheat panel
  plat::Control* Label9 = nullptr;
  plat::Control* Citem = nullptr;
  plat::Control* Command17 = nullptr;
  plat::Control* Label16 = nullptr;
  plat::Control* Cchange = nullptr;
  plat::Control* Tcc = nullptr;
  plat::Control* Command18 = nullptr;
  plat::Control* Label19 = nullptr;
  plat::Control* Cmap = nullptr;
  plat::Control* Command19 = nullptr;
  plat::Control* Label20 = nullptr;
  plat::Control* Command22 = nullptr;
  plat::Control* Command23 = nullptr;
  plat::Control* Lys = nullptr;
  plat::Control* LhpLck = nullptr;
  plat::Control* Lddzk = nullptr;
  plat::Control* LmpLck = nullptr;
  plat::Control* Lddhl = nullptr;
  plat::Control* Label21 = nullptr;
  plat::Control* MobList = nullptr;
  plat::Control* Command24 = nullptr;

  // Control arrays.
  plat::ControlArray Iitem;    // 1-10 worn (Psys2), 11-16 belt (PBkDown1), 21-56 bag (Psys2)
  plat::ControlArray LKey;     // 1-6: the belt's key labels "1".."6" (PBkDown1)
  plat::ControlArray McI;      // 1-15 skill icons (Pmc)
  plat::ControlArray Lsp;      // 1-15 skill key labels (Pmc)
  plat::ControlArray F;        // 1-8 hotkey images (Pf)
  plat::ControlArray ItemInf;  // 1-2 description lines (PItemInf)
  plat::ControlArray Lb;       // 1-6 dialogue choices (Pspt)
};

extern MainWindow Form1;

// (Re)builds the whole tree with its design values (rectangles, captions, visibility,
// values, list rows, timers with their intervals). Any earlier tree is destroyed and
// every pointer of Form1 refers to the new one. The old window is taken off the
// application's form list and the new one put on it. No handlers are attached here.
void BuildMainWindow();

}  // namespace ui
