#include "art_trade.h"

#include <stdexcept>
#include <string>

#include "art_ui_kit.h"
#include "platform/forms.h"
#include "window/form2.h"

namespace tools {

namespace fs = std::filesystem;
using art::Align;
using art::Canvas;
using art::Rgba;
using namespace uiart;

namespace {

struct Box {
  int x = 0, y = 0, w = 0, h = 0;
};

// A control's rectangle in the client pixels of its window.
Box Place(const plat::Control& c) { return Box{c.ScreenX(), c.ScreenY(), c.PixelWidth(), c.PixelHeight()}; }

void Heading(Canvas& c, const char* text, int x, int y) {
  c.Text(text, x + 1, y + 1, 12, kTextShadow);
  c.Text(text, x, y, 12, kTitle);
}

// An etched frame with its caption breaking the top line.
void EtchedFrame(Canvas& c, const Box& b, const std::string& caption) {
  const int top = b.y + 6;
  c.FrameRect(b.x, top, b.w, b.h - 6, kRimDark);
  c.FrameRect(b.x + 1, top + 1, b.w - 2, b.h - 8, Rgba{kRimInner.r, kRimInner.g, kRimInner.b, 160});
  const TextSize s = Measure(caption, 12, false);
  c.FillRect(b.x + 8, top - 1, s.w + 6, 4, kWoodDark);
  c.Text(caption, b.x + 12, b.y, 12, kCaption);
}

Canvas Background(const ui::TradeWindow& w) {
  Canvas c(w.Form->PixelWidth(), w.Form->PixelHeight());
  Rng rng(Hash("Form2"));
  Surface(c, Material::Wood, rng);
  Border(c);
  for (const auto& child : w.Form->Children()) {
    if (child->Kind != plat::ControlKind::Image) continue;
    const Box b = Place(*child);
    Well(c, b.x, b.y, b.w, b.h);
  }
  const Box peer = Place(*w.Idf(1)), mine = Place(*w.Imy(1));
  Heading(c, "对方的交易物品", peer.x, peer.y - 18);
  Heading(c, "我的交易物品", mine.x, mine.y - 18);
  // The confirmation buttons sit on a darker sill under each row.
  for (const plat::Control* box : {w.CDF, w.CMY}) {
    const Box b = Place(*box);
    c.FillRect(b.x - 3, b.y - 3, b.w + 6, b.h + 6, Rgba{kWellFill.r, kWellFill.g, kWellFill.b, 140});
  }
  // The description strip between the two rows.
  const Box line1 = Place(*w.ItemInf(1));
  const Box line2 = Place(*w.ItemInf(2));
  c.FillRect(line1.x - 6, line1.y - 3, peer.x + 10 * (peer.w + 4) - line1.x, line2.y + line2.h - line1.y + 8,
             Rgba{kWellFill.r, kWellFill.g, kWellFill.b, 120});
  // A groove between the offers and the bag.
  const int groove = Place(*w.Iitem(ui::kFirstBagSlot)).x - 8;
  c.FillRect(groove, 8, 1, c.H() - 16, kRimDark);
  c.FillRect(groove + 1, 8, 1, c.H() - 16, kRimInner);
  EtchedFrame(c, Place(*w.Frame1), w.Frame1->Caption);
  return c;
}

Canvas DiscardBox(const ui::TradeWindow& w) {
  Canvas c(w.Plost->PixelWidth(), w.Plost->PixelHeight());
  Rng rng(Hash("Plost"));
  Surface(c, Material::Stone, rng);
  Border(c);
  const Box b = Place(*w.Ilost), box = Place(*w.Plost);
  Well(c, b.x - box.x, b.y - box.y, b.w, b.h);
  return c;
}

// Two bags on a scale beam: the trade.
Canvas Icon() {
  Canvas c(32, 32, art::kBlack);
  c.FillCircle(16, 16, 15.5, kWoodDark);
  c.Circle(16, 16, 15, kRimLight, 1.5);
  c.Line(16, 7, 16, 24, kRimLight, 2.0);
  c.Line(6, 11, 26, 11, kRimLight, 2.0);
  c.FillRect(11, 24, 10, 2, kRimLight);
  const Rgba gold{236, 196, 84, 255}, silver{196, 204, 214, 255};
  c.FillCircle(8, 18, 4.5, gold);
  c.Line(6, 11, 8, 14, kRimLight, 1.0);
  c.FillCircle(24, 18, 4.5, silver);
  c.Line(26, 11, 24, 14, kRimLight, 1.0);
  return c;
}

// Every button of the tree with its own pictures: up and down.
void WriteButtons(const fs::path& gameDir, const plat::Control& parent) {
  for (const auto& child : parent.Children()) {
    const bool button = child->Kind == plat::ControlKind::Button || child->Graphical;
    if (button && !child->Picture.empty() && !child->DownPicture.empty()) {
      const int w = child->PixelWidth(), h = child->PixelHeight();
      ButtonStyle style;
      style.px = h < 18 ? 11 : 12;
      Save(gameDir, child->Picture, ButtonPicture(w, h, child->Caption, false, style));
      // A confirm box that is set glows amber, so that it reads as set at a glance.
      ButtonStyle down = style;
      if (child->Graphical) down.face = Rgba{168, 110, 36, 255};
      Save(gameDir, child->DownPicture, ButtonPicture(w, h, child->Caption, true, down));
    }
    WriteButtons(gameDir, *child);
  }
}

}  // namespace

void WriteTradePictures(const fs::path& gameDir) {
  ui::BuildTradeWindow();
  const ui::TradeWindow& w = ui::Form2;
  if (w.Form == nullptr) throw std::runtime_error("the trade window has no controls");
  Save(gameDir, w.Form->Picture, Background(w));
  Save(gameDir, w.Plost->Picture, DiscardBox(w));
  Save(gameDir, w.Form->Icon, Icon());
  WriteButtons(gameDir, *w.Form);
}

}  // namespace tools
