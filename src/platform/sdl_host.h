// The SDL host: shows a form in a window (or headless, into a software renderer), draws
// its controls, turns SDL events into the form's input events, and shows message and
// input boxes inside the window.
//
// The game screen: the form's pixel-scaled picture box named "GameScreen" shows a
// render-target texture owned by the host (GameScreenTarget(), 722 x 450 pixels). The
// game draws into it (Render().SetTarget(GameScreenTarget())) and calls Present(), which
// composes the form with the game screen into the output and shows it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/forms.h"
#include "platform/render.h"

union SDL_Event;
struct SDL_Window;

namespace plat {

constexpr int kGameScreenWidth = 722;
constexpr int kGameScreenHeight = 450;

class SdlHost : public EventSource, public DialogProvider {
 public:
  // Opens a window of the form's client size, centred, with the form's caption; makes
  // the host the application's event source and dialog provider, and adds the form to
  // the application. Throws RenderError when no window or renderer can be created.
  static std::unique_ptr<SdlHost> CreateWindowed(Form& form);
  // The same host drawing into a headless renderer of the form's client size. It becomes
  // the event source but not the dialog provider (tests install their own).
  static std::unique_ptr<SdlHost> CreateHeadless(Form& form);
  // Gives up the event source and dialog provider roles and closes the window.
  ~SdlHost() override;
  SdlHost(const SdlHost&) = delete;
  SdlHost& operator=(const SdlHost&) = delete;

  bool Headless() const;
  Renderer& Render();
  SDL_Window* Window() const;  // nullptr when headless
  Form& CurrentForm();
  // Shows another form in the window instead (resized to it, its caption); the old form
  // leaves the application, the new one joins it.
  void SetForm(Form& form);
  // Sets the window caption from the form's Caption again.
  void RefreshCaption();

  // The game screen's texture (722 x 450), the target the game draws its frames into.
  Texture GameScreenTarget() const;

  // EventSource: moves pending SDL events into the application's queue.
  void Poll() override;
  // Translates one SDL event (Poll does this for every pending event; tests call it).
  void HandleEvent(const SDL_Event& e);

  // Draws the form (and the game screen) into the output; the current target and clip
  // are kept for the caller.
  void DrawForm();
  // Draws the form and shows the output when anything in the window changed since it
  // was last shown: a control (whatever wrote to it), the pointer, a pressed button, a
  // hover or tool tip, the game screen's content, a drawing into the output by anyone
  // else, or a window-system event (expose, restore, resize). Otherwise nothing.
  void Present();
  // How many times Present drew and showed the window.
  std::uint64_t PresentCount() const;
  // The next Present draws and shows the window whatever changed.
  void RequestRedraw();

  // DialogProvider: modal boxes drawn inside the window, with their own event loop.
  // While a box is up only the box gets input and no form timer fires. Closing the
  // window answers Cancel (No for a Yes/No box).
  int ShowMessage(const std::string& text, int buttons, const std::string& title) override;
  std::optional<std::string> ShowInput(const std::string& prompt, const std::string& title,
                                       const std::string& defaultText) override;

  // Minimising and restoring the window.
  std::function<void()> OnMinimize;
  std::function<void()> OnRestore;
  bool Minimized() const { return minimized_; }

  // The Windows virtual-key code of an SDL key; 0 for a key the game does not know.
  static int VirtualKey(int sdlKeycode);
  // Shift bits (kShiftMask, kCtrlMask, kAltMask) of an SDL key modifier state.
  static int ShiftBits(int sdlKeymod);

  // Drops every cached picture (after the game folder's pictures changed).
  void ClearPictureCache();

  struct Impl;

 private:
  SdlHost();
  std::unique_ptr<Impl> impl_;
  bool minimized_ = false;
};

}  // namespace plat
