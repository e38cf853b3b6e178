// The trade window's control tree: one global object holding a pointer to every named
// control of the window. BuildTradeWindow() creates the controls with their design
// values; the trade code attaches the handlers.
//
// The socket, the two timers and the hidden send and acknowledgement lists of the
// window's design are the trade link's own (polled by the event pump); they have no
// controls here.
#pragma once

#include "platform/forms.h"

namespace ui {

// The window's client area: 9645 x 5895 twips (643 x 393 pixels).
constexpr int kTradeWindowWidth = 9645;
constexpr int kTradeWindowHeight = 5895;
constexpr int kFirstBagSlot = 21;
constexpr int kLastBagSlot = 56;
constexpr int kQuickPhrases = 8;  // Label1(0..7)

// The captions of the quick phrases, Label1(0..7).
extern const char* const kQuickPhraseCaptions[kQuickPhrases];

struct TradeWindow {
  plat::Form* Form = nullptr;  // the window itself (owned by form2.cpp)

  plat::ControlArray Idf;        // 1-10: the peer's offers
  plat::Control* CDF = nullptr;  // the peer's confirmation (disabled)
  plat::ControlArray ItemInf;    // 1-2: the description lines
  plat::ControlArray Imy;        // 1-10: the player's offers
  plat::Control* CMY = nullptr;  // the player's confirmation
  plat::ControlArray Iitem;      // 21-56: the bag

  // The discard box over the bag.
  plat::Control* Plost = nullptr;
  plat::Control* Label2 = nullptr;
  plat::Control* Ilost = nullptr;     // Tag: the bag slot to discard
  plat::Control* Command2 = nullptr;  // "确认"
  plat::Control* Command4 = nullptr;  // "取消"

  plat::Control* T = nullptr;       // the log
  plat::Control* Frame1 = nullptr;  // "快捷发言："
  plat::ControlArray Label1;        // 0-7: quick phrases
  plat::Control* Tsay = nullptr;
  plat::Control* Command1 = nullptr;  // "发送"
  plat::Control* Command3 = nullptr;  // "交易帮助"
  plat::Control* Command6 = nullptr;  // "结束交易"
};

extern TradeWindow Form2;

// (Re)builds the whole tree with its design values, hidden, without handlers. Any
// earlier tree is destroyed and every pointer of Form2 refers to the new one. The window
// is not put on the application's form list: the host adds it when it shows it.
void BuildTradeWindow();

}  // namespace ui
