// The trade set-up on the title screen: the button "江湖买卖" checks the chosen
// character's account and opens the panel Pnet, where the player hosts a trade or joins
// one at an address, and "开始" opens the trade window on that character.
//
// The port is 8305. For tests only, the environment variable ORVANTH_TRADE_PORT (a
// number 1..65535) gives another, so that several pairs can run side by side.
#pragma once

#include <cstdint>
#include <string>

namespace trade {

inline constexpr const char* kChooseAccountText = "请选择一个交易帐号";
inline constexpr const char* kErrorTitle = "错误";
inline constexpr const char* kPortVariable = "ORVANTH_TRADE_PORT";

// The port the set-up uses: 8305, or a valid ORVANTH_TRADE_PORT.
std::uint16_t TradeSetupPort();

// Handlers of the set-up (Form1's; the trade window has controls of the same names).
namespace setup {
void Command4_Click();   // "江湖买卖": account check, then Pnet shown
void O1_Click();         // "创建交易主机": the address box disabled
void O2_Click();         // "加入交易主机": the address box enabled and focused
void Command15_Click();  // "开始": the trade window opens
void Command14_Click();  // "取消": Pnet hidden
}  // namespace setup

// Attaches the handlers above to Form1's set-up controls (after BuildMainWindow).
void AttachTradeSetupHandlers();

}  // namespace trade
