#include <gtest/gtest.h>

#include <string>

#include "common/game_state.h"
#include "graphics/effects.h"

namespace {

class EffectsTest : public ::testing::Test {
 protected:
  void SetUp() override { G = GameState{}; }
  void TearDown() override { G = GameState{}; }
  static int SkillsOfKind(int kind) {
    int n = 0;
    for (std::size_t i = 1; i <= 5; ++i) n += G.SkillEffects[i].Kind == kind ? 1 : 0;
    return n;
  }
};

TEST_F(EffectsTest, FullListsDropTheNewEntry) {
  for (int i = 1; i <= 6; ++i) AddSkillEffect(i, i, i, 0, 0);
  for (std::size_t i = 1; i <= 5; ++i) EXPECT_EQ(G.SkillEffects[i].Kind, static_cast<int>(i));
  EXPECT_EQ(SkillsOfKind(6), 0);
  EXPECT_EQ(G.SkillEffects[0].Kind, 0);

  for (int i = 1; i <= 21; ++i) AddScreenEffect(1, i, 0, i);
  for (std::size_t i = 1; i <= 20; ++i) EXPECT_EQ(G.ScreenEffects[i].P, static_cast<int>(i));
  EXPECT_EQ(G.ScreenEffects[0].Kind, 0);

  for (int i = 1; i <= 26; ++i) AddFloatingText(std::to_string(i), i, 0, 255, 0, 0);
  for (std::size_t i = 1; i <= 25; ++i) EXPECT_EQ(G.FloatingTexts[i].Text, std::to_string(i));
  EXPECT_EQ(G.FloatingTexts[0].Age, 0);
}

TEST_F(EffectsTest, EntriesStartFresh) {
  G.SkillEffects[1].Frame = 40;
  G.SkillEffects[1].P1 = 3;
  AddSkillEffect(12, 30, 40, 7, 2);
  const SkillEffect& s = G.SkillEffects[1];
  EXPECT_EQ(s.Kind, 12);
  EXPECT_EQ(s.X, 30);
  EXPECT_EQ(s.Y, 40);
  EXPECT_EQ(s.Frame, 0);
  EXPECT_EQ(s.P2, 7);
  EXPECT_EQ(s.P1, 2);

  G.ScreenEffects[1].Frame = 9;
  AddScreenEffect(8, 3, 4, 2);
  EXPECT_EQ(G.ScreenEffects[1].Kind, 8);
  EXPECT_EQ(G.ScreenEffects[1].Frame, 0);
  EXPECT_EQ(G.ScreenEffects[1].P, 2);

  AddFloatingText("MISS", 5, 6, 50, 50, 255);
  const FloatingText& t = G.FloatingTexts[1];
  EXPECT_EQ(t.Text, "MISS");
  EXPECT_EQ(t.Age, 1);
  EXPECT_EQ(t.X, 5);
  EXPECT_EQ(t.Y, 6);
  EXPECT_EQ(t.B, 255);
}

TEST_F(EffectsTest, ShieldSummonAndFrostRunOnlyOnce) {
  for (int kind : {7, 9, 10}) {
    SCOPED_TRACE(kind);
    G = GameState{};
    AddSkillEffect(kind, 1, 1, 0, 0);
    AddSkillEffect(kind, 2, 2, 0, 5);
    EXPECT_EQ(SkillsOfKind(kind), 1);
    EXPECT_EQ(G.SkillEffects[1].X, 1);
    // Other kinds still find the free entries.
    AddSkillEffect(2, 0, 0, 0, 0);
    EXPECT_EQ(G.SkillEffects[2].Kind, 2);
  }
}

TEST_F(EffectsTest, KindFourteenWaitsForTheRunningOneToReachPhaseOne) {
  AddSkillEffect(14, 1, 1, 0, 0);
  AddSkillEffect(14, 2, 2, 0, 0);
  EXPECT_EQ(SkillsOfKind(14), 1);
  G.SkillEffects[1].P1 = 1;
  AddSkillEffect(14, 3, 3, 0, 0);
  EXPECT_EQ(SkillsOfKind(14), 2);
  // The new one sits at P1 0 and refuses a third.
  AddSkillEffect(14, 4, 4, 0, 1);
  EXPECT_EQ(SkillsOfKind(14), 2);
}

TEST_F(EffectsTest, KindFifteenRefusesOnlyAnEightOverALaterPhase) {
  AddSkillEffect(15, 1, 1, 0, 1);
  AddSkillEffect(15, 2, 2, 0, 8);  // running P1 is 1: allowed
  EXPECT_EQ(SkillsOfKind(15), 2);
  G = GameState{};
  AddSkillEffect(15, 1, 1, 0, 2);
  AddSkillEffect(15, 2, 2, 0, 8);  // refused
  EXPECT_EQ(SkillsOfKind(15), 1);
  AddSkillEffect(15, 3, 3, 0, 7);  // not an eight: allowed
  EXPECT_EQ(SkillsOfKind(15), 2);
}

TEST_F(EffectsTest, AFreedMiddleSlotIsReusedFirst) {
  for (int i = 1; i <= 5; ++i) AddSkillEffect(i, 0, 0, 0, 0);
  G.SkillEffects[3].Kind = 0;
  G.SkillEffects[5].Kind = 0;
  AddSkillEffect(11, 9, 9, 0, 0);
  EXPECT_EQ(G.SkillEffects[3].Kind, 11);
  EXPECT_EQ(G.SkillEffects[5].Kind, 0);

  for (int i = 1; i <= 20; ++i) AddScreenEffect(2, 0, 0, i);
  G.ScreenEffects[7].Kind = 0;
  G.ScreenEffects[19].Kind = 0;
  AddScreenEffect(3, 0, 0, 99);
  EXPECT_EQ(G.ScreenEffects[7].P, 99);
  EXPECT_EQ(G.ScreenEffects[19].Kind, 0);

  for (int i = 1; i <= 25; ++i) AddFloatingText("1", 0, 0, 0, 0, 0);
  G.FloatingTexts[12].Age = 0;
  G.FloatingTexts[25].Age = 0;
  AddFloatingText("88", 0, 0, 0, 0, 0);
  EXPECT_EQ(G.FloatingTexts[12].Text, "88");
  EXPECT_EQ(G.FloatingTexts[25].Age, 0);
}

TEST_F(EffectsTest, TextsThatDoNotAgeFillTheList) {
  // With damage numbers off nothing ages the texts: after 25 the rest are dropped.
  for (int i = 1; i <= 40; ++i) AddFloatingText(std::to_string(i), 0, 0, 255, 255, 0);
  EXPECT_EQ(G.FloatingTexts[25].Text, "25");
  for (std::size_t i = 1; i <= 25; ++i) EXPECT_EQ(G.FloatingTexts[i].Age, 1);
}

}  // namespace
