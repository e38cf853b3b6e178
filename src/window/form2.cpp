// The trade window's controls with their design values, in twips relative to the
// parent's client area.
#include "window/form2.h"

#include <memory>
#include <string>

#include "window/builders.h"

namespace ui {

TradeWindow Form2;

const char* const kQuickPhraseCaptions[kQuickPhrases] = {"朋友你好",       "非常感谢",         "不好意思",
                                                         "再见朋友",       "朋友能不能快点啊", "请稍等一下",
                                                         "果然是好东西！", "我们以后保持联系"};

namespace {

using build::Put;
using plat::Control;
using plat::ControlKind;

std::unique_ptr<plat::Form> gWindow;

// The background is dark wood: texts are light.
constexpr std::uint32_t kText = 0xE0E0E0;
constexpr std::uint32_t kPhrase = 0x80E0FF;  // quick phrases, a warm yellow (0xBBGGRR)

// A button drawn from its pair of pictures "\date\button\<base>1.dat" (up) and "2.dat"
// (down); its caption stays for a host without the pictures.
Control* PictureButton(Control* parent, const std::string& name, const std::string& caption, int l, int t,
                       int w, int h, const std::string& base) {
  Control* c = build::Button(parent, name, caption, l, t, w, h);
  c->Picture = "\\date\\button\\" + base + "1.dat";
  c->DownPicture = "\\date\\button\\" + base + "2.dat";
  return c;
}

// A check box drawn as a push button: down while ticked.
Control* PushCheck(Control* parent, const std::string& name, int l, int t) {
  Control* c = Put(parent, ControlKind::CheckBox, name, l, t, 1275, 255);
  c->Caption = "交易";
  c->Graphical = true;
  c->Picture = "\\date\\button\\jy1.dat";
  c->DownPicture = "\\date\\button\\jy2.dat";
  return c;
}

// A self-sizing transparent label: as wide and high as one line of its caption.
Control* AutoLabel(Control* parent, const std::string& name, const std::string& caption, int l, int t, int w,
                   int index = -1) {
  Control* c = Put(parent, ControlKind::Label, name, l, t, w, 180, index);
  c->Caption = caption;
  c->ForeColor = kText;
  c->WordWrap = false;
  return c;
}

Control* Slot(Control* parent, const std::string& name, int l, int t, int index) {
  return Put(parent, ControlKind::Image, name, l, t, 450, 405, index);
}

}  // namespace

void BuildTradeWindow() {
  auto& app = plat::Application::Get();
  if (gWindow) app.RemoveForm(gWindow.get());
  Form2 = TradeWindow{};
  gWindow.reset();

  auto form = std::make_unique<plat::Form>("Form2");
  plat::Form* f = form.get();
  TradeWindow& w = Form2;
  w.Form = f;
  f->Caption = "江湖买卖";
  f->Move(0, 0, kTradeWindowWidth, kTradeWindowHeight);
  f->BackColor = 0x203040;
  f->BackTransparent = false;
  f->Picture = "\\date\\Panel\\Form2.bmp";
  f->Icon = "\\date\\Panel\\Form2icon.bmp";
  f->Visible = false;
  f->KeyPreview = false;

  for (int k = 1; k <= 10; ++k) w.Idf.Set(k, Slot(f, "Idf", 600 + 510 * (k - 1), 340, k));
  w.CDF = PushCheck(f, "CDF", 4680, 920);
  w.CDF->Enabled = false;
  // Self-sizing labels: the host gives them the room of the window's left part.
  w.ItemInf.Set(1, AutoLabel(f, "ItemInf", "", 210, 1440, 5900, 1));
  w.ItemInf.Set(2, AutoLabel(f, "ItemInf", "", 210, 1650, 5900, 2));
  for (int k = 1; k <= 10; ++k) w.Imy.Set(k, Slot(f, "Imy", 600 + 510 * (k - 1), 2255, k));
  w.CMY = PushCheck(f, "CMY", 4680, 2760);
  for (int i = kFirstBagSlot; i <= kLastBagSlot; ++i) {
    const int n = i - kFirstBagSlot;
    w.Iitem.Set(i, Slot(f, "Iitem", 6420 + 510 * (n % 6), 220 + 465 * (n / 6), i));
  }

  w.T = Put(f, ControlKind::TextBox, "T", 240, 3330, 5865, 1980);
  w.T->MultiLine = true;
  w.T->Locked = true;
  w.T->BackTransparent = false;
  w.Frame1 = Put(f, ControlKind::Panel, "Frame1", 6480, 3420, 2865, 1725);
  w.Frame1->Caption = "快捷发言：";
  w.Frame1->BackTransparent = true;  // drawn on the window's background
  const int lefts[] = {240, 240, 240, 240, 1080, 1080, 1080, 1080};
  const int tops[] = {390, 690, 990, 1290, 390, 690, 990, 1290};
  for (int k = 0; k < kQuickPhrases; ++k) {
    const int width = k < 4 ? 780 : 1680;
    Control* phrase = AutoLabel(w.Frame1, "Label1", kQuickPhraseCaptions[k], lefts[k], tops[k], width, k);
    phrase->ForeColor = kPhrase;
    w.Label1.Set(k, phrase);
  }
  w.Tsay = Put(f, ControlKind::TextBox, "Tsay", 240, 5370, 4815, 300);
  w.Tsay->BackTransparent = false;
  w.Command1 = PictureButton(f, "Command1", "发送", 5160, 5370, 975, 285, "tfs");
  w.Command3 = PictureButton(f, "Command3", "交易帮助", 6510, 5400, 1395, 255, "tbz");
  w.Command6 = PictureButton(f, "Command6", "结束交易", 7890, 5400, 1485, 255, "tjs");

  // Added last: the discard box lies over the whole bag grid.
  w.Plost = Put(f, ControlKind::Panel, "Plost", 6390, 210, 3045, 2775);
  w.Plost->Visible = false;
  w.Plost->BackTransparent = false;
  w.Plost->BackColor = 0x202020;
  w.Plost->Picture = "\\date\\Panel\\Plost.bmp";
  w.Label2 = AutoLabel(w.Plost, "Label2", "确实要丢弃这件道具？", 390, 510, 2300);
  w.Label2->FontBold = true;
  w.Ilost = Slot(w.Plost, "Ilost", 1230, 1170, -1);
  w.Command2 = PictureButton(w.Plost, "Command2", "确认", 360, 2040, 1125, 285, "tqr");
  w.Command4 = PictureButton(w.Plost, "Command4", "取消", 1470, 2040, 1125, 285, "tqx");

  gWindow = std::move(form);
}

}  // namespace ui
