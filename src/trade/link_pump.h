// Keeps a trade link polled by whatever event pump runs: the title screen's, a dialog's
// or the game's own, for as long as the object lives.
#pragma once

#include "platform/clock.h"
#include "platform/forms.h"
#include "trade/link.h"

namespace trade {

class PumpedLink {
 public:
  explicit PumpedLink(Link& link)
      : id_(plat::Application::Get().AddIdleHook([&link] { link.Poll(plat::Tick()); })) {}
  ~PumpedLink() { plat::Application::Get().RemoveIdleHook(id_); }
  PumpedLink(const PumpedLink&) = delete;
  PumpedLink& operator=(const PumpedLink&) = delete;

 private:
  int id_;
};

}  // namespace trade
