// The script language of NPCs and map parts, and its interpreter.
//
// A script is one text of lines ended by CR LF. The text is upper-cased, every CR LF (and
// every "@") ends a line, and empty lines and lines that begin with ";" are dropped; the
// first 999 lines that remain are kept and numbered from 1. A kept line that begins with
// "#" is a command, any other line is dialogue (or, between "#BUY" and "#ENDBUY", a row
// of the shop list). A command's arguments are the blank-separated words after its
// keyword, and the keyword is found by prefix in a fixed order (so "#KILLMONALL" is
// tested before "#KILLMON", "#ENDIF" before "#END").
//
// NPC scripts come from the table NPC of the NPC database and run as dialogue: the
// dialogue panel opens and shows the text and up to six choices. Map-part scripts run
// silently each time the part is entered.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// ---------------------------------------------------------------------------------
// The interpreter

// Lines one script may run, counted over the outermost run and every run inside it
// (label jumps, part scripts run by teleports); past it every run of the chain ends
// silently. No script of the game comes near it; it stops scripts whose jumps multiply.
// The next outermost run starts afresh.
constexpr std::int32_t kScriptLineBudget = 20000;

// Runs a script text from a kept-line number: startLine 1 and above is a dialogue run
// (the dialogue panel is shown), below 1 a silent run from line 1 (map-part scripts).
// Both empty the dialogue text and the six choice captions first.
void RunScript(std::string_view text, std::int32_t startLine);

// The player clicked an NPC: code is "N" followed by the NPC's name. Reads the NPC's
// script for the current part from the NPC database, keeps it upper-cased in ScriptText
// and runs it as dialogue from line 1. No row, an empty script or an unreadable database:
// nothing happens.
void TalkToNpc(std::string_view code);

// The n-th argument word of a command line ("" when the line has none; the last word
// when n goes beyond it; two blanks in a row give an empty word). n is counted down by
// the call, as callers of the game expect.
std::string GetScriptArg(std::string_view line, std::int32_t& n);

// A dialogue choice was clicked: the label "OVER" (any case) closes the dialogue and the
// service panels; any other label runs the NPC script on from its line "#LABEL " + label
// as a fresh dialogue. A label that no line names only resets the if-state.
void ScriptGotoLabel(std::string_view label);

// Hides the sell, dialogue, shop, storage and forge panels and empties the shop's
// description picture and text ("#OVER", and a jump to "OVER").
void ScriptCloseDialogue();

// ---------------------------------------------------------------------------------
// Values and conditions

// A named value of the player or the game ("HP", "LEVEL", "ET5", "RND", "RPGIM" ...);
// any name that is not readable gives -1.
std::int32_t GetScriptValue(std::string_view name);
// "#IF value op number", "#ITEMCK item op number", "#MONCK kind op number": op is ">",
// "<" or "="; the number is rounded down. Any other operator is false.
bool ScriptIfValue(std::string_view line);
bool ScriptIfItemCount(std::string_view line);
bool ScriptIfMonCount(std::string_view line);

// ---------------------------------------------------------------------------------
// Teleports and the return point

// "#move MMNN x y": the player to cell (x, y) of part NN of map MM ("ME" for MM stays on
// the current part), loading the map when MM is not the loaded one and entering the part
// afresh otherwise; then the minimap follows and the teleport animation plays. A
// destination part outside 1..30 changes nothing.
void ScriptMove(std::string_view line);
// "#GOMAP": the player's place becomes the return point, and a town raises MapS.
void ScriptGoMap();

// ---------------------------------------------------------------------------------
// Items, stats and flags

// "#give item count" / "#give 金币 amount". True when something was given (the name
// is then shown); false when no item could be made or laid anywhere.
bool ScriptGive(std::string_view line);
// "#take item count" / "#take 金币 amount".
void ScriptTake(std::string_view line);
// "#change name op number" with op "=", "+" or "-".
void ScriptChange(std::string_view line);
// "#WLEVELUP": the worn weapon's experience + 2000, at most 10000.
void ScriptWLevelUp();

// ---------------------------------------------------------------------------------
// Monsters and NPCs of the current part

// "#mob kind x y": a monster of the named kind on a cell of the current part that holds
// no monster, while fewer than 300 monsters are on the part.
void ScriptMob(std::string_view line);
// "#KILLMON x y": the cell of the live grid becomes free, whatever it held.
void ScriptKillMon(std::string_view line);
// "#KILLMONALL": every monster cell of the live grid becomes free.
void ScriptKillMonAll();
// "#KILLNPC x y" hides the NPC of a cell ("*" before its entry, never doubled);
// "#UNNPC x y" shows it again.
void ScriptKillNpc(std::string_view line);
void ScriptUnNpc(std::string_view line);
