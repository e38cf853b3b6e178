// What the window builders share: a control put in place, and a plain push button.
#pragma once

#include <string>

#include "platform/forms.h"

namespace ui::build {

// A new control of this kind and name (with its index in a control array, or -1) at
// l, t with size w x h, in the parent's units.
plat::Control* Put(plat::Control* parent, plat::ControlKind kind, const std::string& name, int l, int t,
                   int w, int h, int index = -1);

// A grey push button with its caption.
plat::Control* Button(plat::Control* parent, const std::string& name, const std::string& caption, int l,
                      int t, int w, int h);

}  // namespace ui::build
