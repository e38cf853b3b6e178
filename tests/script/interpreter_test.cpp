// The interpreter: lines, comments, dialogue, the command table's prefix order, the
// if-state, shop rows, choices, labels and jumps, silent part scripts, the panels and
// the NPC lookup.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "script/script.h"
#include "script/script_fixture.h"
#include "support/test_support.h"
#include "window/form1.h"

namespace {

using scripttest::Lines;
using scripttest::ScriptTest;

// ---------------------------------------------------------------------------------
// Lines

TEST_F(ScriptTest, AnAtSignEndsALineAndTextIsUpperCased) {
  Talk("hello@world\r\nMixed Case");
  EXPECT_EQ(Say(), "HELLO\r\nWORLD\r\nMIXED CASE\r\n");
  EXPECT_EQ(G.ScriptLineCount, 3);
  EXPECT_TRUE(W().Pspt->Visible);
}

TEST_F(ScriptTest, CommentsAndEmptyLinesAreNotCountedButABlankMakesADialogueLine) {
  const std::string text = Lines({"; a comment", "", "ONE", ";another", "TWO", " ;SHOWN", " #B1 NOT A CHOICE"});
  Talk(text);
  EXPECT_EQ(G.ScriptLineCount, 4);
  EXPECT_EQ(G.ScriptLines[1], "ONE");
  EXPECT_EQ(G.ScriptLines[2], "TWO");
  EXPECT_EQ(Say(), "ONE\r\nTWO\r\n ;SHOWN\r\n #B1 NOT A CHOICE\r\n");
  EXPECT_EQ(Choice(1), "");

  RunScript(text, 2);  // line numbers count kept lines only
  EXPECT_EQ(Say(), "TWO\r\n ;SHOWN\r\n #B1 NOT A CHOICE\r\n");
}

TEST_F(ScriptTest, EveryRunStartsWithEmptyDialogueAndChoicesButKeepsChoiceLabels) {
  Talk(Lines({"FIRST", "#B1 YES GOON", "#B6 NO STOP"}));
  ASSERT_EQ(Choice(6), "NO");
  Talk(Lines({"SECOND"}));
  EXPECT_EQ(Say(), "SECOND\r\n");
  EXPECT_EQ(Choice(1), "");
  EXPECT_EQ(Choice(6), "");
  EXPECT_EQ(G.ChoiceLabel[1], "GOON");
  EXPECT_EQ(G.ChoiceLabel[6], "STOP");
}

TEST_F(ScriptTest, AScriptKeepsItsFirst999Lines) {
  std::string text;
  for (int i = 1; i <= 998; ++i) text += "L" + std::to_string(i) + "\r\n";
  text += "#CHANGE ET1 = 1\r\n";  // line 999 runs
  text += "#CHANGE ET2 = 1\r\n";  // line 1000 is not kept
  text += "LAST\r\n";
  Talk(text);
  EXPECT_EQ(G.ScriptLineCount, 999);
  EXPECT_EQ(G.Et[1], 1);
  EXPECT_EQ(G.Et[2], 0);
  EXPECT_EQ(Say().find("LAST"), std::string::npos);
}

// ---------------------------------------------------------------------------------
// Command words

TEST_F(ScriptTest, GetScriptArgPicksWordsAndCountsDown) {
  std::int32_t n = 2;
  EXPECT_EQ(GetScriptArg("#B1 CAPTION LABEL", n), "LABEL");
  EXPECT_EQ(n, 0);
  n = 1;
  EXPECT_EQ(GetScriptArg("#B1 CAPTION LABEL", n), "CAPTION");
  n = 5;
  EXPECT_EQ(GetScriptArg("#B1 CAPTION LABEL", n), "LABEL");  // beyond the last: the last
  EXPECT_EQ(n, 3);
  n = 1;
  EXPECT_EQ(GetScriptArg("#END", n), "");
  n = 2;
  EXPECT_EQ(GetScriptArg("#GIVE  木剑", n), "木剑");  // two blanks: word 1 is empty
  n = 1;
  EXPECT_EQ(GetScriptArg("#GIVE  木剑", n), "");
  n = 0;
  EXPECT_EQ(GetScriptArg("#GIVE A", n), "");
  n = 1;
  EXPECT_EQ(GetScriptArg("#GIVE A ", n), "A");
  n = 2;
  EXPECT_EQ(GetScriptArg("#GIVE A ", n), "");  // the trailing blank makes an empty word
}

TEST_F(ScriptTest, KeywordsMatchByPrefixInTableOrder) {
  // "#B12" is "#B1"; "#ENDX" is "#END" and ends the run.
  Talk(Lines({"#B12 CAP LAB", "#ENDIF", "#ENDBUY", "STILL", "#ENDX", "NEVER"}));
  EXPECT_EQ(Choice(1), "CAP");
  EXPECT_EQ(G.ChoiceLabel[1], "LAB");
  EXPECT_EQ(Say(), "STILL\r\n");

  // "#KILLMONALL" is not "#KILLMON".
  G.SubMap = 1;
  SetPartSize(1, 20, 20);
  SetGridMonster(3, 3, 1);
  SetGridMonster(4, 4, 2);
  Talk(Lines({"#KILLMON 3 3"}));
  EXPECT_EQ(GridMonster(3, 3), 0);
  EXPECT_EQ(GridMonster(4, 4), 2);
  SetGridMonster(3, 3, 1);
  Talk(Lines({"#KILLMONALL"}));
  EXPECT_EQ(GridMonster(3, 3), 0);
  EXPECT_EQ(GridMonster(4, 4), 0);
}

TEST_F(ScriptTest, UnknownWordsAndLabelLinesDoNothingAndKeywordsTakeAnyCase) {
  Talk(Lines({"#FOO 1 2", "#LABEL HERE", "a", "#change et3 = 4", "#b2 yes go", "b"}));
  EXPECT_EQ(Say(), "A\r\nB\r\n");
  EXPECT_EQ(G.Et[3], 4);
  EXPECT_EQ(Choice(2), "YES");
  EXPECT_EQ(G.ChoiceLabel[2], "GO");
}

TEST_F(ScriptTest, AChoiceWithOneWordUsesItAsCaptionAndLabel) {
  Talk(Lines({"#B3 离开"}));
  EXPECT_EQ(Choice(3), "离开");
  EXPECT_EQ(G.ChoiceLabel[3], "离开");
}

// ---------------------------------------------------------------------------------
// The if-state

TEST_F(ScriptTest, IfElseEndifRunsOneSide) {
  const std::string text = Lines({"#IF LEVEL > 10", "STRONG", "#ELSE", "WEAK", "#ENDIF", "BYE"});
  G.Player.Level = 5;
  Talk(text);
  EXPECT_EQ(Say(), "WEAK\r\nBYE\r\n");
  G.Player.Level = 20;
  Talk(text);
  EXPECT_EQ(Say(), "STRONG\r\nBYE\r\n");
}

TEST_F(ScriptTest, IfsDoNotNest) {
  G.Player.Level = 20;
  // The inner false condition skips; its ENDIF ends every skip.
  Talk(Lines({"#IF LEVEL > 10", "A", "#IF LEVEL > 50", "B", "#ENDIF", "C", "#ELSE", "D", "#ENDIF", "E"}));
  EXPECT_EQ(Say(), "A\r\nC\r\nE\r\n");

  // A true condition inside a skipped block does not end the skip.
  G.Player.Level = 5;
  Talk(Lines({"#IF LEVEL > 10", "A", "#IF LEVEL < 100", "B", "#ENDIF", "C"}));
  EXPECT_EQ(Say(), "C\r\n");
}

TEST_F(ScriptTest, GuardedCommandsWaitWhileSkipping) {
  G.Player.Level = 1;
  Talk(Lines({"#IF LEVEL > 10", "#CHANGE ET1 = 5", "#B1 X Y", "#END", "#ENDIF", "AFTER"}));
  EXPECT_EQ(G.Et[1], 0);
  EXPECT_EQ(Choice(1), "");
  EXPECT_EQ(Say(), "AFTER\r\n");
}

TEST_F(ScriptTest, ItemAndMonsterChecksSkipWhenFalse) {
  G.Player.Items[25].Name = "回城卷";
  Talk(Lines({"#ITEMCK 回城卷 > 0", "HAS", "#ENDIF", "#ITEMCK 回城卷 > 1", "TWO", "#ENDIF",
              "#MONCK 野猪 > 0", "BOAR", "#ENDIF"}));
  EXPECT_EQ(Say(), "HAS\r\n");
}

// ---------------------------------------------------------------------------------
// The shop

TEST_F(ScriptTest, ShopRowsIgnoreTheIfStateAndNeverReachTheDialogue) {
  W().BuyList->AddItem("old row");
  G.Player.Level = 1;
  Talk(Lines({"WELCOME", "#BUY", "金创药小", "#IF LEVEL > 10", "木剑", "#ENDIF", "#ENDBUY", "BYE"}));
  EXPECT_EQ(W().BuyList->Items, (std::vector<std::string>{"金创药小", "木剑"}));
  EXPECT_EQ(Say(), "WELCOME\r\nBYE\r\n");
  EXPECT_TRUE(W().Pbuy->Visible);
  EXPECT_TRUE(W().Psys2->Visible);
  EXPECT_EQ(G.BuyMode, 0);
}

TEST_F(ScriptTest, EveryRunLeavesShopMode) {
  Talk(Lines({"#BUY", "木剑"}));
  ASSERT_EQ(G.BuyMode, 1);
  Talk(Lines({"HELLO"}));
  EXPECT_EQ(Say(), "HELLO\r\n");
  EXPECT_EQ(W().BuyList->Items, std::vector<std::string>{"木剑"});
}

// ---------------------------------------------------------------------------------
// The service panels

TEST_F(ScriptTest, ForgeSellAndBankOpenTheirPanels) {
  W().Lbuy->Caption = "desc";
  W().Ibuy->Picture = "x.bmp";
  W().Pbuy->Visible = true;
  W().Pbank->Visible = true;
  Talk(Lines({"#WUP"}));
  EXPECT_TRUE(W().Psys2->Visible);
  EXPECT_TRUE(W().PwUP->Visible);
  EXPECT_FALSE(W().Pbank->Visible);
  EXPECT_FALSE(W().Pbuy->Visible);
  EXPECT_EQ(W().Lbuy->Caption, "");
  EXPECT_EQ(W().Ibuy->Picture, "");

  W().Lbuy->Caption = "desc";
  W().Pbank->Visible = true;
  Talk(Lines({"#SELL"}));
  EXPECT_TRUE(W().Psell->Visible);
  EXPECT_FALSE(W().Pbank->Visible);
  EXPECT_EQ(W().Lbuy->Caption, "");

  G.Player.Bank = 12345;
  W().Pbuy->Visible = true;
  Talk(Lines({"#BANK", "STILL TALKING"}));
  EXPECT_TRUE(W().Pbank->Visible);
  EXPECT_FALSE(W().Psell->Visible);
  EXPECT_FALSE(W().Pbuy->Visible);
  EXPECT_TRUE(W().PwUP->Visible);  // only the close sequence hides the forge
  EXPECT_EQ(W().Bmoney->Caption, "12345");
  EXPECT_EQ(Say(), "STILL TALKING\r\n");
}

TEST_F(ScriptTest, EndKeepsTheDialogueOpenAndOverClosesEverything) {
  Talk(Lines({"HI", "#END", "NEVER"}));
  EXPECT_TRUE(W().Pspt->Visible);
  EXPECT_EQ(Say(), "HI\r\n");

  for (plat::Control* c : {W().Pbuy, W().Psell, W().Pbank, W().PwUP}) c->Visible = true;
  W().Lbuy->Caption = "desc";
  Talk(Lines({"BYE", "#OVER", "NEVER"}));
  for (plat::Control* c : {W().Pspt, W().Pbuy, W().Psell, W().Pbank, W().PwUP}) EXPECT_FALSE(c->Visible) << c->Name;
  EXPECT_EQ(W().Lbuy->Caption, "");
  EXPECT_EQ(Say(), "BYE\r\n");
}

TEST_F(ScriptTest, GameStopAndGameStartEndTheRun) {
  Talk(Lines({"#GAMESTOP", "#CHANGE ET1 = 1"}));
  EXPECT_EQ(G.GamePaused, 1);
  EXPECT_EQ(G.Et[1], 0);
  Talk(Lines({"#GAMESTART", "#CHANGE ET1 = 1"}));
  EXPECT_EQ(G.GamePaused, 0);
  EXPECT_EQ(G.Et[1], 0);
}

TEST_F(ScriptTest, Mc5LearnsSkillFiveOnceAndAlwaysPlaysTheEffect) {
  G.Player.M[5] = "F50";
  Talk(Lines({"#MC5", "GO ON"}));
  EXPECT_EQ(G.Player.M[5], "??1");
  EXPECT_EQ(W().McI(5)->Picture, plat::ResolvePath("\\date\\mgc\\ico\\5.bmp").string());
  EXPECT_EQ(ScreenEffects(), std::vector<std::string>{"1@0,0:0"});
  EXPECT_EQ(Say(), "GO ON\r\n");

  G.Player.M[5] = "F52";
  W().McI(5)->Picture.clear();
  Talk(Lines({"#MC5"}));
  EXPECT_EQ(G.Player.M[5], "F52");
  EXPECT_EQ(W().McI(5)->Picture, "");
  EXPECT_EQ(ScreenEffects().size(), 2u);
}

TEST_F(ScriptTest, MoveClosesTheDialogueButNotTheForgeAndEndsTheRun) {
  for (plat::Control* c : {W().Pbuy, W().Psell, W().Pbank, W().PwUP}) c->Visible = true;
  W().Lbuy->Caption = "desc";
  Talk(Lines({"#MOVE ME00 20 30", "#CHANGE ET1 = 1"}));
  EXPECT_EQ(G.ViewX, 12);
  EXPECT_EQ(G.ViewY, 22);
  for (plat::Control* c : {W().Pspt, W().Pbuy, W().Psell, W().Pbank}) EXPECT_FALSE(c->Visible) << c->Name;
  EXPECT_TRUE(W().PwUP->Visible);
  EXPECT_EQ(W().Lbuy->Caption, "");
  EXPECT_EQ(G.Et[1], 0);
}

TEST_F(ScriptTest, BackCityRecallsToTheReturnPointAndEndsTheRun) {
  G.MainMap = 1;
  SetPartSize(1, 40, 40);
  SetPartSize(2, 40, 40);
  G.SubMap = 2;
  G.GoMain = 1;
  G.GoSub = 1;
  G.GoX = 13;
  G.GoY = 13;
  Talk(Lines({"#BACKCITY", "#CHANGE ET1 = 1"}));
  EXPECT_EQ(G.SubMap, 1);
  EXPECT_EQ(G.ViewX, 5);
  EXPECT_EQ(G.ViewY, 5);
  EXPECT_TRUE(W().Pspt->Visible);  // the recall itself closes no panel
  EXPECT_EQ(G.Et[1], 0);
}

TEST_F(ScriptTest, GoMapGoesOn) {
  G.MainMap = 2;
  G.SubMap = 3;
  G.ViewX = 10;
  G.ViewY = 11;
  Talk(Lines({"#GOMAP", "NEXT"}));
  EXPECT_EQ(G.GoMain, 2);
  EXPECT_EQ(G.GoSub, 3);
  EXPECT_EQ(G.GoX, 18);
  EXPECT_EQ(G.GoY, 19);
  EXPECT_EQ(Say(), "NEXT\r\n");
}

TEST_F(ScriptTest, GameEndRunsTheCompletionAndEndsTheProgram) {
  G.GAMELEVEL = 1;
  G.Et[19] = 1;
  G.Player.ID = "甲";
  plat::SetKeyHeld(plat::vk::Return, true);  // every picture's wait ends at once
  EXPECT_THROW(Talk(Lines({"#GAMEEND", "#CHANGE ET2 = 1"})), plat::ProgramEnded);
  plat::ResetKeyStates();
  EXPECT_EQ(G.Et[19], 0);
  EXPECT_EQ(G.Et[20], 1);
  EXPECT_EQ(G.Et[2], 0);
  EXPECT_FALSE(W().Pspt->Visible);
}

// ---------------------------------------------------------------------------------
// Labels and jumps

TEST_F(ScriptTest, AGotoRunsFromTheLabelAndThenGoesOnAfterTheGoto) {
  Talk(Lines({"A", "#GOTO THERE", "B", "#END", "#LABEL THERE", "C"}));
  // The jump starts a fresh dialogue (A is gone); B follows after it returns.
  EXPECT_EQ(Say(), "C\r\nB\r\n");
}

TEST_F(ScriptTest, AGotoToAMissingLabelGoesOn) {
  Talk(Lines({"A", "#GOTO NOWHERE", "B"}));
  EXPECT_EQ(Say(), "A\r\nB\r\n");
}

TEST_F(ScriptTest, AGotoOverClosesTheDialogueAndTheRunGoesOn) {
  Talk(Lines({"#GOTO over", "#CHANGE ET1 = 1"}));
  EXPECT_FALSE(W().Pspt->Visible);
  EXPECT_EQ(G.Et[1], 1);
}

TEST_F(ScriptTest, JumpsStopSilentlyPastTheDepthLimit) {
  // A label that jumps to itself: the first run and 64 jumps count, then the whole chain
  // ends, so no line after a jump ever runs.
  Talk(Lines({"#LABEL LOOP", "#CHANGE ET1 + 1", "#GOTO LOOP", "#CHANGE ET2 + 1"}));
  EXPECT_EQ(G.Et[1], 65);
  EXPECT_EQ(G.Et[2], 0);
  EXPECT_TRUE(W().Pspt->Visible);

  // Two labels that jump to each other end the same way: every second of the 64 jumps
  // passes the change.
  G.Et[1] = 0;
  Talk(Lines({"#LABEL A", "#CHANGE ET1 + 1", "#GOTO B", "#LABEL B", "#GOTO A"}));
  EXPECT_EQ(G.Et[1], 33);
}

// Script lines joined by CR LF.
std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

// Labels that each jump twice to the next: the lines to run double with every label.
// "#CHANGE ET2 = 1" runs when the whole chain has come back.
std::string DoublingJumps(int labels) {
  std::vector<std::string> l{"#GOTO L1", "#CHANGE ET2 = 1", "#END"};
  for (int k = 1; k <= labels; ++k) {
    const std::string next = "#GOTO L" + std::to_string(k + 1);
    l.insert(l.end(), {"#LABEL L" + std::to_string(k), "LABEL " + std::to_string(k), next, next, "#END"});
  }
  return Joined(l);
}

// After `lead` dialogue lines the script jumps into itself kLevels deep (counting in
// ET1), then every level, the first run included, ends with "#CHANGE ET2 + 1". Every
// line visited counts, skipped ones too: each of the kLevels + 2 runs visits kFill + 6
// lines, so the whole script runs lead + 1 + (kLevels + 2) * (kFill + 6) lines.
constexpr int kLevels = 38;
constexpr int kFill = 493;
constexpr int kLeadToBudget = kScriptLineBudget - 1 - (kLevels + 2) * (kFill + 6);
static_assert(kLeadToBudget >= 0 && kLeadToBudget + kFill < 900);

std::string DeepLoop(int lead) {
  std::vector<std::string> l(static_cast<std::size_t>(lead), "LEAD");
  l.insert(l.end(), {"#GOTO L", "#LABEL L", "#IF ET1 < " + std::to_string(kLevels), "#CHANGE ET1 + 1"});
  l.insert(l.end(), static_cast<std::size_t>(kFill), "FILL");
  l.insert(l.end(), {"#GOTO L", "#ENDIF", "#CHANGE ET2 + 1"});
  return Joined(l);
}

TEST_F(ScriptTest, ARunStopsSilentlyAtItsLineBudgetCountedOverItsJumps) {
  struct Case {
    int lead;
    int ends;  // runs that reached their last line
  };
  // Exactly the budget: every run ends. One line more: the first run loses its last line.
  for (const Case c : {Case{kLeadToBudget, kLevels + 2}, Case{kLeadToBudget + 1, kLevels + 1}}) {
    G.Et[1] = G.Et[2] = 0;
    Talk(DeepLoop(c.lead));
    EXPECT_EQ(G.Et[1], kLevels) << c.lead;
    EXPECT_EQ(G.Et[2], c.ends) << c.lead;
    EXPECT_EQ(G.ScriptLinesRun, kScriptLineBudget) << c.lead;
  }
}

TEST_F(ScriptTest, JumpsThatMultiplyStopAtTheBudgetAndTheNextRunStartsAfresh) {
  // 14 labels would take some 80 000 lines.
  Talk(DoublingJumps(14));
  EXPECT_EQ(G.ScriptLinesRun, kScriptLineBudget);
  EXPECT_EQ(G.Et[2], 0);
  EXPECT_TRUE(W().Pspt->Visible);

  // A choice click is a run of its own, with the whole budget.
  G.ScriptText = DeepLoop(kLeadToBudget);
  G.ChoiceLabel[1] = "L";
  ScriptGotoLabel(G.ChoiceLabel[1]);
  EXPECT_EQ(G.Et[2], kLevels + 1);  // the run from the label skips the first run's end
  EXPECT_EQ(G.ScriptLinesRun, kScriptLineBudget - kLeadToBudget - 1 - (kFill + 6));

  G.Et[1] = G.Et[2] = 0;
  Talk(DeepLoop(kLeadToBudget));
  EXPECT_EQ(G.Et[2], kLevels + 2);
}

TEST_F(ScriptTest, AChoiceClickRunsTheNpcScriptFromItsLabel) {
  Talk(Lines({"HELLO", "#B1 NEWS NEWS", "#B2 BYE OVER", "#END", "#LABEL NEWS", "NEWS TEXT", "#B1 OK OVER"}));
  ASSERT_EQ(G.ChoiceLabel[1], "NEWS");
  // A part script run in between does not change where the choice leads.
  RunScript(Lines({"#LABEL OTHER", "PART"}), -1);
  W().Pspt->Visible = false;
  G.IfState = 1;
  ScriptGotoLabel(G.ChoiceLabel[1]);
  EXPECT_EQ(Say(), "NEWS TEXT\r\n");
  EXPECT_EQ(Choice(1), "OK");
  EXPECT_TRUE(W().Pspt->Visible);

  // An unknown label only resets the if-state.
  G.IfState = 1;
  ScriptGotoLabel("OTHER");
  EXPECT_EQ(G.IfState, 0);
  EXPECT_EQ(Say(), "NEWS TEXT\r\n");

  W().Pbank->Visible = true;
  W().PwUP->Visible = true;
  ScriptGotoLabel("Over");
  EXPECT_FALSE(W().Pspt->Visible);
  EXPECT_FALSE(W().Pbank->Visible);
  EXPECT_FALSE(W().PwUP->Visible);
}

// ---------------------------------------------------------------------------------
// Silent part scripts

TEST_F(ScriptTest, APartScriptRunsSilently) {
  G.ScriptLines[900] = "LEFT OVER";
  RunScript(Lines({"#CHANGE ET7 = 3", "QUIET TEXT"}), -1);
  EXPECT_FALSE(W().Pspt->Visible);
  EXPECT_EQ(G.Et[7], 3);
  EXPECT_EQ(Say(), "QUIET TEXT\r\n");  // still written, the panel stays hidden
  EXPECT_EQ(G.ScriptLines[900], "");
  EXPECT_EQ(G.ScriptLineCount, 2);
}

TEST_F(ScriptTest, AGotoInAPartScriptStaysInsideItAndSilent) {
  G.ScriptText = Lines({"#LABEL JUMP", "#CHANGE ET1 = 99", "NPC LINE"});
  RunScript(Lines({"#GOTO JUMP", "AFTER", "#END", "#LABEL JUMP", "#CHANGE ET2 = 5", "PART LINE"}), -1);
  EXPECT_EQ(G.Et[1], 0);
  EXPECT_EQ(G.Et[2], 5);
  EXPECT_EQ(Say(), "PART LINE\r\nAFTER\r\n");
  EXPECT_FALSE(W().Pspt->Visible);
}

// ---------------------------------------------------------------------------------
// The NPC lookup

TEST_F(ScriptTest, TalkToNpcRunsTheRowOfTheCurrentPart) {
  UseNpcs({{"N村长", "镇安村", Lines({"welcome", "#B1 news NEWS"})},
           {"N村长", "齐扬城", Lines({"OTHER TOWN"})},
           {"N老O'Neil", "镇安村", Lines({"QUOTED"})},
           {"N空", "镇安村", ""}});
  G.SubMap = 4;
  G.PartNames[4] = "镇安村";
  TalkToNpc("N村长");
  EXPECT_EQ(Say(), "WELCOME\r\n");
  EXPECT_EQ(Choice(1), "NEWS");
  EXPECT_EQ(G.ScriptText, Lines({"WELCOME", "#B1 NEWS NEWS"}));
  EXPECT_TRUE(W().Pspt->Visible);
  EXPECT_FALSE(G.DbConn->IsOpen());
  EXPECT_FALSE(G.DbRecordset->IsOpen());

  TalkToNpc("N老O'Neil");
  EXPECT_EQ(Say(), "QUOTED\r\n");
}

TEST_F(ScriptTest, TalkToNpcWithoutARowOrScriptDoesNothing) {
  UseNpcs({{"N村长", "齐扬城", Lines({"OTHER TOWN"})}, {"N空", "镇安村", ""}});
  G.SubMap = 1;
  G.PartNames[1] = "镇安村";
  G.ScriptText = "KEPT";
  W().LSay->Caption = "before";
  TalkToNpc("N村长");
  TalkToNpc("N空");
  TalkToNpc("N' OR '1'='1");
  EXPECT_FALSE(W().Pspt->Visible);
  EXPECT_EQ(Say(), "before");
  EXPECT_EQ(G.ScriptText, "KEPT");

  G.NpcConnStr = itemdb::ConnectionTo(dir / "missing.dat");
  G.NpcDbPath = dir / "missing.dat";
  TalkToNpc("N村长");
  EXPECT_FALSE(W().Pspt->Visible);
  EXPECT_FALSE(G.DbConn->IsOpen());
}

TEST_F(ScriptTest, TheSampleNpcScriptsRun) {
  const std::filesystem::path npcs = testsupport::GameDir() / "date" / "Mon" / "75.dat";
  if (!std::filesystem::exists(npcs)) GTEST_SKIP() << "the sample game folder is not built";
  G.NpcConnStr = itemdb::ConnectionTo(npcs);
  G.NpcDbPath = npcs;
  G.SubMap = 1;
  G.PartNames[1] = "镇安村";
  G.Player.Level = 1;
  TalkToNpc("N村长");
  EXPECT_TRUE(W().Pspt->Visible);
  EXPECT_FALSE(Say().empty());
  EXPECT_FALSE(Choice(1).empty());
}

}  // namespace
