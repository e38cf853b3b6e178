// The nine picture buttons of the bottom bar and of the character window's right edge:
// the system menu, the character window with its status page and skills page, and its
// close button. They look pressed while a mouse button is held on them and click with
// "Sound\按键2.wav" when sounds are on.
#pragma once

namespace ui {

// The system menu: opened (and the game paused) while it is hidden and the player
// lives, else closed (and the game resumed).
void SysB1_Click();
// The character window with the status page, the bag or the skills page; each closes
// the window instead when it is open or the player is dead.
void SysB2_Click();
void SysB3_Click();
void SysB4_Click();
// The character window's side buttons: the worn equipment, the status page, the bag,
// the skills page.
void Sys2b1_Click();
void Sys2B2_Click();
void Sys2B3_Click();
void Sys2b4_Click();
// Closes the character window with both pages and the description panel, and lets go
// of the held slot.
void Sys2b5_Click();

// Attaches the press, release and click handlers of the nine buttons of Form1.
void AttachSystemButtonHandlers();

}  // namespace ui
