#include "window/builders.h"

namespace ui::build {

plat::Control* Put(plat::Control* parent, plat::ControlKind kind, const std::string& name, int l, int t,
                   int w, int h, int index) {
  plat::Control* c = parent->Add(kind, name, index);
  c->Move(l, t, w, h);
  return c;
}

plat::Control* Button(plat::Control* parent, const std::string& name, const std::string& caption, int l,
                      int t, int w, int h) {
  plat::Control* c = Put(parent, plat::ControlKind::Button, name, l, t, w, h);
  c->Caption = caption;
  c->BackColor = 0xC0C0C0;
  c->BackTransparent = false;
  return c;
}

}  // namespace ui::build
