// The trade window Form2 on a trade session: it shows the session's bag, both offer
// rows, both confirm boxes and the log, and hands every click to the session, which
// holds every rule. The session runs from whatever event pump runs (the title screen's,
// a message box's) through an idle hook, for as long as the window is open.
//
// Opening hides the main window and shows the trade window in its place; when the
// session ends, the trade window goes and the main window comes back (its trade set-up
// panel still open). Message boxes the session asks for are shown after the session's
// call has returned, never inside it.
#pragma once

#include <memory>
#include <string>

#include "trade/link.h"
#include "trade/session.h"

namespace trade {

// A log longer than kLogMaxChars characters is cut to its last kLogKeptChars.
constexpr long kLogMaxChars = 8000;
constexpr long kLogKeptChars = 5000;

// The help text written by "交易帮助".
extern const char* const kTradeHelpLines[7];

// Opens a session with these options over `network` (the computer's sockets when null),
// and on success builds and shows the trade window on it, hiding the main window. False
// with the message to show when the session could not open: then nothing is shown and
// nothing stays open. Refused while a trade window is open.
bool OpenTradeWindow(SessionOptions options, std::string* error, std::unique_ptr<Network> network = nullptr);

// True from a successful open until the window has gone.
bool TradeWindowOpen();
// The session of the open window; nullptr when none is open.
Session* CurrentTradeSession();

// Runs the session once (the idle hook does this on every pass of the event pump).
void PollTradeWindow();

// Lays the item icons of the session onto the window: Idf(1..10) from the peer's
// offers, Imy(1..10) from the player's, Iitem(21..56) from the bag; an empty slot shows
// no picture.
void ShowTradePictures();

// Appends a line to the log T (a line break before it unless the log is empty), cuts a
// log grown over kLogMaxChars to its last kLogKeptChars and brings the newest line into
// view.
void AppendTradeLog(const std::string& line);

// The window's handlers, attached by OpenTradeWindow; tests call them directly too.
void Iitem_MouseDown(int index, int button);  // left: offer; right: the discard box
void Imy_MouseDown(int index);                // withdraw, any button
void CMY_Click();                             // the box changed: the session decides
void Command1_Click();                        // "发送"
void Label1_Click(int index);                 // a quick phrase
void Command3_Click();                        // "交易帮助"
void Command2_Click();                        // the discard box's "确认"
void Command4_Click();                        // the discard box's "取消"
void Command6_Click();                        // "结束交易"
void Form_Unload(int& cancel);                // the window's close box: closes through the session
void Form_MouseMove();                        // both description lines cleared
void Iitem_MouseMove(int index);
void Imy_MouseMove(int index);
void Idf_MouseMove(int index);
void Ilost_MouseMove();

// Ends any open trade at once, without waiting (for the end of the program and tests).
void AbandonTradeWindow();

}  // namespace trade
