#include "art_sprites.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "picture_pack.h"
#include "platform/paths.h"
#include "text_table.h"

namespace tools {

namespace {

namespace fs = std::filesystem;
using art::Align;
using art::Canvas;
using art::Darker;
using art::Lighter;
using art::Mix;
using art::PackWriter;
using art::Point;
using art::Rgba;

constexpr double kPi = 3.14159265358979323846;

// ============================================================================
// Small helpers
// ============================================================================

// A deterministic hash for "random" details (speckles, variations).
std::uint32_t Hash(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0) {
  std::uint32_t h = 2166136261u;
  for (std::uint32_t v : {a, b, c}) {
    for (int i = 0; i < 4; ++i) {
      h ^= (v >> (8 * i)) & 0xFF;
      h *= 16777619u;
    }
  }
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return h;
}

double Hash01(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0) { return (Hash(a, b, c) % 10000) / 10000.0; }

Rgba C(int r, int g, int b, int a = 255) {
  return art::NotBlack(Rgba{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b),
                            static_cast<std::uint8_t>(a)});
}

Rgba WithAlpha(Rgba c, int a) {
  c.a = static_cast<std::uint8_t>(std::clamp(a, 0, 255));
  return c;
}

std::string Num(long v) { return std::to_string(v); }

// A picture cut to what is drawn on it, with the place of its top-left corner.
struct Cut {
  Canvas pic;
  int x = 0, y = 0;
};

Cut Crop(const Canvas& c) {
  int x0 = c.W(), y0 = c.H(), x1 = -1, y1 = -1;
  for (int y = 0; y < c.H(); ++y)
    for (int x = 0; x < c.W(); ++x)
      if (!(c.Get(x, y) == art::kBlack)) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
  if (x1 < 0) return Cut{Canvas(1, 1), 0, 0};
  Canvas out(x1 - x0 + 1, y1 - y0 + 1);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) out.Set(x - x0, y - y0, c.Get(x, y));
  return Cut{std::move(out), x0, y0};
}

// ============================================================================
// The stage: figures are built in a small 3-D frame (a forward, b to the right,
// z up) and projected to the screen with the ground seen at a slant.
// ============================================================================

struct V3 {
  double a = 0, b = 0, z = 0;
};
V3 operator+(V3 p, V3 q) { return {p.a + q.a, p.b + q.b, p.z + q.z}; }
V3 operator-(V3 p, V3 q) { return {p.a - q.a, p.b - q.b, p.z - q.z}; }
V3 operator*(V3 p, double k) { return {p.a * k, p.b * k, p.z * k}; }
V3 Lerp(V3 p, V3 q, double t) { return p + (q - p) * t; }
V3 Norm(V3 p) {
  const double l = std::sqrt(p.a * p.a + p.b * p.b + p.z * p.z);
  return l > 0 ? p * (1.0 / l) : V3{0, 0, 1};
}

// Facing of direction d (0 north, clockwise): forward and right on the ground (x east, y south).
struct Facing {
  double fx, fy, rx, ry;
};
Facing FacingOf(int d) {
  const double t = d * kPi / 4.0;
  return Facing{std::sin(t), -std::cos(t), std::cos(t), std::sin(t)};
}

struct Sp {
  double x = 0, y = 0, depth = 0;
};

constexpr double kGroundSlant = 0.5;  // how much of the ground depth shows on screen

class Stage {
 public:
  Stage(int w, int h, double footX, double footY, int dir, double scale)
      : w_(w), h_(h), footX_(footX), footY_(footY), f_(FacingOf(dir)), s_(scale) {}

  const Facing& F() const { return f_; }
  double Scale() const { return s_; }
  void FallBack(double degrees) { back_ = degrees * kPi / 180.0; }
  void FallSide(double degrees) { side_ = degrees * kPi / 180.0; }
  void Tint(Rgba c, double t) {
    tint_ = c;
    tintT_ = t;
  }

  Sp P(V3 p) const {
    p = p * s_;
    if (back_ != 0) {
      // Falling backwards, turned towards the side of the screen, so that a figure lying
      // down shows its length whichever way it faced.
      double gx = std::fabs(f_.fx) < 0.1 ? -1.0 : (f_.fx > 0 ? -1.0 : 1.0), gy = -0.35 * f_.fy;
      const double gl = std::hypot(gx, gy);
      gx /= gl;
      gy /= gl;
      const double ua = gx * f_.fx + gy * f_.fy, ub = gx * f_.rx + gy * f_.ry;
      const double along = p.a * ua + p.b * ub;
      const double turned = along * std::cos(back_) + p.z * std::sin(back_);
      const double z = -along * std::sin(back_) + p.z * std::cos(back_);
      p.a += (turned - along) * ua;
      p.b += (turned - along) * ub;
      p.z = z;
    }
    if (side_ != 0) {
      const double b = p.b * std::cos(side_) + p.z * std::sin(side_);
      const double z = -p.b * std::sin(side_) + p.z * std::cos(side_);
      p.b = b;
      p.z = z;
    }
    p.z = std::max(p.z, 0.0);
    const double gx = p.a * f_.fx + p.b * f_.rx, gy = p.a * f_.fy + p.b * f_.ry;
    return Sp{footX_ + gx, footY_ + gy * kGroundSlant - p.z, gy + 0.01 * p.z};
  }
  // Depth of a local point without the projection's clamp (for visibility tests).
  double GroundY(V3 dir) const { return dir.a * f_.fy + dir.b * f_.ry; }

  Rgba Col(Rgba c) const {
    if (tintT_ > 0) c = Mix(c, Rgba{tint_.r, tint_.g, tint_.b, c.a}, tintT_);
    return art::NotBlack(c);
  }

  void Capsule(V3 p, V3 q, double width, Rgba fill, double bias = 0, bool outline = true) {
    const Sp a = P(p), b = P(q);
    const double w = std::max(1.0, width * s_);
    const Rgba c = Col(fill), o = Darker(c, 0.55);
    Add((a.depth + b.depth) / 2 + bias, [=](Canvas& cv) {
      if (outline) cv.Line(a.x, a.y, b.x, b.y, o, w + 2);
      cv.Line(a.x, a.y, b.x, b.y, c, w);
    });
  }
  void Ball(V3 p, double radius, Rgba fill, double bias = 0, bool outline = true) {
    const Sp a = P(p);
    const double r = std::max(0.8, radius * s_);
    const Rgba c = Col(fill), o = Darker(c, 0.55);
    Add(a.depth + bias, [=](Canvas& cv) {
      if (outline) cv.FillCircle(a.x, a.y, r + 1, o);
      cv.FillCircle(a.x, a.y, r, c);
    });
  }
  void Oval(V3 p, double rx, double ry, Rgba fill, double bias = 0, bool outline = true) {
    const Sp a = P(p);
    const Rgba c = Col(fill), o = Darker(c, 0.55);
    const double sx = rx * s_, sy = ry * s_;
    Add(a.depth + bias, [=](Canvas& cv) {
      if (outline) cv.FillEllipse(a.x, a.y, sx + 1, sy + 1, o);
      cv.FillEllipse(a.x, a.y, sx, sy, c);
    });
  }
  void Poly(const std::vector<V3>& pts, Rgba fill, double bias = 0, bool outline = true) {
    std::vector<Point> sp;
    double depth = 0;
    for (const V3& p : pts) {
      const Sp s = P(p);
      sp.push_back(Point{s.x, s.y});
      depth += s.depth;
    }
    depth /= std::max<std::size_t>(1, pts.size());
    const Rgba c = Col(fill), o = Darker(c, 0.55);
    Add(depth + bias, [=](Canvas& cv) {
      cv.FillPolygon(sp, c);
      if (outline)
        for (std::size_t i = 0; i < sp.size(); ++i) {
          const Point& u = sp[i];
          const Point& v = sp[(i + 1) % sp.size()];
          cv.Line(u.x, u.y, v.x, v.y, o, 1);
        }
    });
  }
  // A trapezoid in screen space hanging from `top` to `bottom` (robes, skirts).
  void Skirt(V3 top, V3 bottom, double topHalf, double bottomHalf, Rgba fill, double bias = 0) {
    const Sp a = P(top), b = P(bottom);
    const double th = topHalf * s_, bh = bottomHalf * s_;
    const Rgba c = Col(fill), o = Darker(c, 0.55);
    Add((a.depth + b.depth) / 2 + bias, [=](Canvas& cv) {
      std::vector<Point> pts = {{a.x - th, a.y}, {a.x + th, a.y}, {b.x + bh, b.y}, {b.x - bh, b.y}};
      cv.FillPolygon(pts, c);
      for (std::size_t i = 0; i < pts.size(); ++i)
        cv.Line(pts[i].x, pts[i].y, pts[(i + 1) % 4].x, pts[(i + 1) % 4].y, o, 1);
    });
  }
  // A soft light in three steps of transparency (few colours keep the pictures small).
  void Glow(V3 p, double radius, Rgba c, double bias = 0.5) {
    const Sp a = P(p);
    const double r = radius * s_;
    const Rgba k = WithAlpha(Col(c), c.a / 3);
    Add(a.depth + bias, [=](Canvas& cv) {
      for (int step = 3; step >= 1; --step) cv.FillCircle(a.x, a.y, r * step / 3.0, k);
    });
  }
  // A bright opaque orb of magic: a coloured rim, a lighter ring and a white core.
  void Orb(V3 p, double radius, Rgba c, double bias = 1.0) {
    const Sp a = P(p);
    const double r = std::max(1.5, radius * s_);
    const Rgba rim = Col(WithAlpha(c, 255)), mid = Lighter(rim, 0.5);
    Add(a.depth + bias, [=](Canvas& cv) {
      cv.FillCircle(a.x, a.y, r, rim);
      cv.FillCircle(a.x, a.y, r * 0.66, mid);
      cv.FillCircle(a.x, a.y, r * 0.33, C(255, 255, 255));
    });
  }
  void Dot(V3 p, double size, Rgba c, double bias) {
    const Sp a = P(p);
    const Rgba k = Col(c);
    const double r = std::max(0.6, size * s_ / 2);
    Add(a.depth + bias, [=](Canvas& cv) { cv.FillCircle(a.x, a.y, r, k); });
  }
  // The shadow on the ground, with a small wedge pointing the way the figure faces.
  void Shadow(double rx, double ry, bool wedge = true) {
    const double k = s_;
    const Facing f = f_;
    const double gx = footX_, gy = footY_;  // the shadow stays on the ground, whatever the figure does
    const Rgba sh = Rgba{0, 0, 1, 110};
    Add(-1e9, [=](Canvas& cv) {
      cv.FillEllipse(gx, gy, rx * k, ry * k, sh);
      if (wedge) {
        const double tipX = gx + f.fx * (rx + 7) * k, tipY = gy + f.fy * (rx + 7) * k * kGroundSlant;
        const double bx = gx + f.fx * rx * 0.6 * k, by = gy + f.fy * rx * 0.6 * k * kGroundSlant;
        const double px = f.rx * 4 * k, py = f.ry * 4 * k * kGroundSlant;
        cv.FillPolygon({{tipX, tipY}, {bx + px, by + py}, {bx - px, by - py}}, Rgba{0, 0, 1, 150});
      }
    });
  }
  void Add(double depth, std::function<void(Canvas&)> fn) { parts_.push_back({depth, order_++, std::move(fn)}); }

  Canvas Render() {
    std::sort(parts_.begin(), parts_.end(), [](const Part& x, const Part& y) {
      return x.depth != y.depth ? x.depth < y.depth : x.order < y.order;
    });
    Canvas c(w_, h_);
    for (const Part& p : parts_) p.fn(c);
    return c;
  }

 private:
  struct Part {
    double depth;
    int order;
    std::function<void(Canvas&)> fn;
  };
  int w_, h_;
  double footX_, footY_;
  Facing f_;
  double s_;
  double back_ = 0, side_ = 0;
  Rgba tint_{};
  double tintT_ = 0;
  std::vector<Part> parts_;
  int order_ = 0;
};

// ============================================================================
// Actions and frame layouts
// ============================================================================

enum class Act { Stand, Walk, Run, Strike, Cast, Hit, Die };

struct FrameSpec {
  Act act = Act::Stand;
  int dir = 4;
  int k = 0;          // step within the group, from 0
  int n = 1;          // steps of the group
  double fall = 0;    // degrees fallen (dying)
  double dark = 0;    // how far a dying figure has faded (0..1)
};

// Player sets: stand 4, walk 6, run 6, strike 6, cast 6, hit 3, death 4 per direction.
std::vector<FrameSpec> PlayerLayout() {
  std::vector<FrameSpec> out;
  struct G {
    Act act;
    int n;
  };
  const G groups[] = {{Act::Stand, 4}, {Act::Walk, 6}, {Act::Run, 6}, {Act::Strike, 6},
                      {Act::Cast, 6},  {Act::Hit, 3},  {Act::Die, 4}};
  const double fall[] = {25, 50, 75, 90};
  for (const G& g : groups)
    for (int d = 0; d < 8; ++d)
      for (int k = 0; k < g.n; ++k) {
        FrameSpec f{g.act, d, k, g.n};
        if (g.act == Act::Die) {
          f.fall = fall[k];
          f.dark = 0.15 * k;
        }
        out.push_back(f);
      }
  return out;
}

// Monster sets: stand 4, move 6, attack 6, then 10 per direction shared by the reel (steps
// 1-4) and the fall (steps 1-10, the last being the corpse).
std::vector<FrameSpec> MonsterLayout() {
  std::vector<FrameSpec> out;
  for (int d = 0; d < 8; ++d)
    for (int k = 0; k < 4; ++k) out.push_back(FrameSpec{Act::Stand, d, k, 4});
  for (int d = 0; d < 8; ++d)
    for (int k = 0; k < 6; ++k) out.push_back(FrameSpec{Act::Walk, d, k, 6});
  for (int d = 0; d < 8; ++d)
    for (int k = 0; k < 6; ++k) out.push_back(FrameSpec{Act::Strike, d, k, 6});
  for (int d = 0; d < 8; ++d)
    for (int k = 0; k < 10; ++k) {
      if (k < 3) {
        out.push_back(FrameSpec{Act::Hit, d, k, 3});
      } else {
        FrameSpec f{Act::Die, d, k - 3, 7};
        f.fall = std::min(90.0, (k - 2) * 15.0);
        f.dark = k == 9 ? 0.45 : 0.05 * (k - 3);
        out.push_back(f);
      }
    }
  return out;
}

// NPC sets: facing south, west and east, four idle frames each.
std::vector<FrameSpec> NpcLayout() {
  std::vector<FrameSpec> out;
  for (int d : {4, 6, 2})
    for (int k = 0; k < 4; ++k) out.push_back(FrameSpec{Act::Stand, d, k, 4});
  return out;
}

const double kWalkSwing[6] = {0.5, 1.0, 0.5, -0.5, -1.0, -0.5};
const int kStandBob[4] = {0, 1, 1, 0};
const double kHitLean[3] = {0.6, 1.0, 0.6};

// ============================================================================
// Humanoids
// ============================================================================

enum class Weapon { None, Sword, Broad, Staff, Spear, Axe, Hammer, Claws, Bottle, Book };
enum class HeadKind { Human, Skull, Horns, Helmet, Crown, Hood, Bull, Orc, Bald };
enum class Hat { None, Straw, Cap, Scarf, Topknot };

struct HumanLook {
  Rgba skin = C(235, 190, 150);
  Rgba hair = C(50, 35, 25);
  Rgba torso = C(90, 120, 200);
  Rgba trim = C(60, 60, 70);
  Rgba arms = C(90, 120, 200);
  Rgba legs = C(90, 70, 50);
  Rgba boots = C(70, 50, 35);
  Rgba eyes = C(25, 20, 30);
  bool robe = false;
  Rgba robeColour = C(120, 60, 160);
  HeadKind head = HeadKind::Human;
  Rgba headColour = C(170, 170, 180);  // helmet / hood / crown / horns
  Hat hat = Hat::None;
  Rgba hatColour = C(200, 170, 90);
  bool beard = false;
  Rgba beardColour = C(225, 225, 225);
  bool longHair = false;
  Weapon weapon = Weapon::None;
  Rgba blade = C(200, 205, 215);
  Rgba hilt = C(120, 80, 40);
  Rgba gem = C(90, 200, 255);
  bool shoulderPads = false;
  bool ribs = false;
  bool wings = false;
  Rgba wingColour = C(120, 40, 40);
  bool cape = false;
  Rgba capeColour = C(120, 30, 120);
  bool armsForward = false;  // the walking dead
  bool castAttack = false;   // attacks by casting
  double girth = 1.0;
  double limb = 1.0;         // limb thickness
  Rgba glow = C(150, 220, 255);
};

struct HumanPose {
  V3 footL, footR, hipL, hipR, hip, neck, shL, shR, handL, handR, head;
  V3 weaponDir{0.35, 0.15, -0.9};
  double glow = 0;
  bool mouthOpen = false;
};

bool IsPole(Weapon w) { return w == Weapon::Staff || w == Weapon::Spear; }

HumanPose PoseHuman(const FrameSpec& f, const HumanLook& look) {
  HumanPose p;
  double bob = 0, lean = 0, swing = 0, stride = 0;
  p.footL = {0, -4.5, 0};
  p.footR = {0, 4.5, 0};
  p.handL = {1, -10, 21};
  p.handR = {1, 10, 21};
  const bool pole = IsPole(look.weapon);
  if (pole) p.weaponDir = {0.12, 0.05, 1};
  switch (f.act) {
    case Act::Stand:
      bob = kStandBob[f.k % 4];
      if (f.n == 4 && f.k == 2 && look.weapon == Weapon::None && !look.armsForward) {
        // an idle gesture: the right hand comes up a little
        p.handR = {5, 9, 27};
      }
      break;
    case Act::Walk:
    case Act::Run: {
      const bool run = f.act == Act::Run;
      swing = kWalkSwing[f.k % 6];
      stride = run ? 9 : 6;
      p.footL.a = stride * swing;
      p.footR.a = -stride * swing;
      if (swing > 0.7) p.footR.z = run ? 3 : 1.5;
      if (swing < -0.7) p.footL.z = run ? 3 : 1.5;
      const double arm = run ? 7 : 5;
      p.handL.a = -arm * swing;
      p.handR.a = arm * swing;
      if (run) {
        lean = 4;
        p.handL.z = p.handR.z = 26;
      }
      bob = std::fabs(swing) > 0.9 ? 0 : 1;
      break;
    }
    case Act::Strike: {
      p.footL.a = 5;
      p.footR.a = -3;
      const int k = f.k % 6;
      if (look.castAttack) {
        const double g[6] = {0.25, 0.5, 0.8, 1.0, 0.7, 0.35};
        p.glow = g[k];
        p.handL = {6 + 3 * g[k], -6, 33 + 9 * g[k]};
        p.handR = {6 + 3 * g[k], 6, 33 + 9 * g[k]};
        p.weaponDir = {0.3, 0, 1};
        lean = 1;
        break;
      }
      if (look.weapon == Weapon::Spear) {
        const double reach[6] = {-4, -6, 2, 14, 10, 3};
        p.handR = {reach[k], 6, 30};
        p.handL = {reach[k] - 6, -2, 30};
        p.weaponDir = {1, 0, 0.12};
        lean = reach[k] > 5 ? 3 : 0;
        break;
      }
      const V3 hands[6] = {{-2, 9, 36}, {-4, 8, 46}, {6, 7, 42}, {14, 5, 30}, {12, 2, 20}, {5, 9, 22}};
      const V3 dirs[6] = {{-0.3, 0.1, 1}, {-0.6, 0, 0.8}, {0.5, 0, 0.85}, {1, 0, 0.1}, {0.7, -0.3, -0.65}, {0.45, 0.1, -0.85}};
      const double leans[6] = {0, -1, 2, 4, 3, 1};
      p.handR = hands[k];
      p.weaponDir = dirs[k];
      p.handL = {5, -8, 30};
      lean = leans[k];
      p.mouthOpen = k == 3;
      break;
    }
    case Act::Cast: {
      const double g[6] = {0.2, 0.45, 0.7, 1.0, 0.7, 0.45};
      const int k = f.k % 6;
      p.glow = g[k];
      p.handL = {6 + 2 * g[k], -6, 33 + 9 * g[k]};
      p.handR = {6 + 2 * g[k], 6, 33 + 9 * g[k]};
      p.weaponDir = pole ? V3{0.25, 0, 1} : V3{0.2, 0.1, 1};
      break;
    }
    case Act::Hit: {
      const double l = kHitLean[f.k % 3];
      lean = -4 * l;
      p.handL = {-2, -13, 28 + 4 * l};
      p.handR = {-2, 13, 28 + 4 * l};
      p.mouthOpen = true;
      break;
    }
    case Act::Die:
      p.handL = {-1, -12, 24};
      p.handR = {-1, 12, 24};
      break;
  }
  if (look.armsForward && f.act != Act::Hit && f.act != Act::Die && !(f.act == Act::Strike)) {
    p.handL = {11 + p.handL.a * 0.3, -6, 32};
    p.handR = {11 + p.handR.a * 0.3, 6, 32};
  }
  p.hipL = {0, -4.5, 22 + bob * 0.5};
  p.hipR = {0, 4.5, 22 + bob * 0.5};
  p.hip = {0, 0, 22 + bob * 0.5};
  p.neck = {lean * 0.8, 0, 37 + bob};
  p.shL = {lean * 0.7, -8, 35 + bob};
  p.shR = {lean * 0.7, 8, 35 + bob};
  p.head = {lean, 0, 44 + bob};
  return p;
}

// Which parts of a humanoid go into a picture.
enum LayerMask { kLayerBody = 1, kLayerHead = 2, kLayerWeapon = 4, kLayerAll = 7 };

void DrawEyes(Stage& st, V3 head, double r, Rgba eyes, double size, bool sockets) {
  const Facing& f = st.F();
  for (double side : {-1.0, 1.0}) {
    // The eye's direction from the head's centre on the ground.
    const double na = 0.62, nb = 0.4 * side;
    const double gy = na * f.fy + nb * f.ry;
    if (gy < -0.12) continue;
    const V3 at = head + V3{na * r * 0.85, nb * r * 0.85, r * 0.1};
    st.Dot(at, sockets ? size * 1.5 : size, eyes, 0.2 + gy);
  }
}

void DrawWeapon(Stage& st, const HumanLook& look, V3 grip, V3 dir, double bias) {
  dir = Norm(dir);
  const V3 side{0, 1, 0};
  switch (look.weapon) {
    case Weapon::None:
      break;
    case Weapon::Claws:
      st.Capsule(grip, grip + dir * 5 + V3{0, -1.5, 0}, 1.3, look.blade, bias + 0.05);
      st.Capsule(grip, grip + dir * 5 + V3{0, 1.5, 0}, 1.3, look.blade, bias + 0.05);
      break;
    case Weapon::Sword:
      st.Capsule(grip - dir * 3, grip + dir * 2, 2.5, look.hilt, bias);
      st.Capsule(grip + dir * 2 - side * 3, grip + dir * 2 + side * 3, 2, look.hilt, bias + 0.01);
      st.Capsule(grip + dir * 3, grip + dir * 20, 3, look.blade, bias + 0.02);
      break;
    case Weapon::Broad:
      st.Capsule(grip - dir * 3, grip + dir * 2, 3, look.hilt, bias);
      st.Capsule(grip + dir * 3, grip + dir * 22, 6, look.blade, bias + 0.02);
      break;
    case Weapon::Staff:
      st.Capsule(grip - dir * 16, grip + dir * 16, 3, look.hilt, bias);
      st.Ball(grip + dir * 18, 3.2, look.gem, bias + 0.03);
      break;
    case Weapon::Spear:
      st.Capsule(grip - dir * 12, grip + dir * 22, 2.5, look.hilt, bias);
      st.Capsule(grip + dir * 21, grip + dir * 28, 4, look.blade, bias + 0.02);
      break;
    case Weapon::Axe:
      st.Capsule(grip - dir * 3, grip + dir * 18, 2.5, look.hilt, bias);
      st.Capsule(grip + dir * 15 - side * 1, grip + dir * 15 + side * 6, 7, look.blade, bias + 0.02);
      break;
    case Weapon::Hammer:
      st.Capsule(grip - dir * 2, grip + dir * 12, 2.5, look.hilt, bias);
      st.Capsule(grip + dir * 12 - side * 3, grip + dir * 12 + side * 3, 5.5, look.blade, bias + 0.02);
      break;
    case Weapon::Bottle:
      st.Ball(grip + V3{0, 0, 2}, 2.6, look.blade, bias + 0.02);
      st.Capsule(grip + V3{0, 0, 4}, grip + V3{0, 0, 6}, 1.5, look.hilt, bias + 0.03);
      break;
    case Weapon::Book:
      st.Capsule(grip + V3{0, -2, 1}, grip + V3{0, 2, 1}, 5, look.blade, bias + 0.02);
      break;
  }
}

void DrawHumanHead(Stage& st, const HumanLook& look, const HumanPose& p) {
  const double r = 7;
  const V3 h = p.head;
  const Facing& f = st.F();
  const double facingAway = st.GroundY({1, 0, 0});  // negative when the face turns away
  switch (look.head) {
    case HeadKind::Skull:
      st.Ball(h, r * 0.95, look.skin);
      st.Capsule(h + V3{0.35 * r, 0, -0.6 * r}, h + V3{0.55 * r, 0, -0.85 * r}, 5, look.skin, 0.01);
      DrawEyes(st, h, r, C(40, 10, 10), 2.4, true);
      return;
    case HeadKind::Bull:
      st.Ball(h, r * 1.1, look.skin);
      st.Ball(h + V3{r * 0.9, 0, -r * 0.35}, r * 0.55, Lighter(look.skin, 0.25), facingAway > -0.2 ? 0.3 : -0.3);
      for (double side : {-1.0, 1.0})
        st.Capsule(h + V3{0, side * r * 0.7, r * 0.5}, h + V3{0.2 * r, side * r * 1.5, r * 1.3}, 2.6, look.headColour, 0.05);
      DrawEyes(st, h, r, C(200, 40, 20), 2.0, false);
      return;
    default:
      break;
  }
  // Hair or hood behind the face: seen from behind it covers the head.
  if (look.head == HeadKind::Hood) {
    st.Ball(h + V3{-0.25 * r, 0, 0.15 * r}, r * 1.2, look.headColour, -0.02);
  } else if (look.head != HeadKind::Bald && look.head != HeadKind::Helmet && look.head != HeadKind::Orc) {
    st.Ball(h + V3{-0.35 * r, 0, 0.28 * r}, r * 0.98, look.hair, 0);
    if (look.longHair) st.Capsule(h + V3{-0.6 * r, 0, 0}, h + V3{-0.8 * r, 0, -1.5 * r}, r * 1.5, look.hair, -0.05);
  }
  st.Ball(h, r, look.skin, 0.001);
  if (look.head == HeadKind::Hood) {
    // the hood's rim frames the face
    if (facingAway < -0.2) st.Ball(h + V3{-0.3 * r, 0, 0.1 * r}, r * 1.15, look.headColour, 0.4);
  } else if (look.head != HeadKind::Bald && look.head != HeadKind::Helmet && look.head != HeadKind::Orc &&
             facingAway < -0.2) {
    st.Ball(h + V3{-0.35 * r, 0, 0.28 * r}, r * 0.98, look.hair, 0.4);
  }
  // The face: eyes and nose where they can be seen.
  if (facingAway > -0.5) st.Dot(h + V3{r * 0.95, 0, -0.15 * r}, 2.4, Darker(look.skin, 0.2), 0.3 + facingAway);
  DrawEyes(st, h, r, look.eyes, 2.0, false);
  if (p.mouthOpen && facingAway > -0.2) st.Dot(h + V3{r * 0.8, 0, -0.5 * r}, 2.0, C(120, 20, 20), 0.35 + facingAway);
  if (look.beard && facingAway > -0.4)
    st.Capsule(h + V3{0.6 * r, 0, -0.45 * r}, h + V3{0.75 * r, 0, -1.2 * r}, r * 0.9, look.beardColour, 0.3 + facingAway);
  switch (look.head) {
    case HeadKind::Helmet:
      st.Ball(h + V3{-0.1 * r, 0, 0.35 * r}, r * 0.95, look.headColour, 0.5);
      st.Capsule(h + V3{0, 0, 0.9 * r}, h + V3{0, 0, 1.4 * r}, 2.2, C(200, 40, 40), 0.55);
      break;
    case HeadKind::Horns:
      for (double side : {-1.0, 1.0})
        st.Capsule(h + V3{0, side * r * 0.6, r * 0.5}, h + V3{-0.2 * r, side * r * 1.1, r * 1.5}, 2.4, look.headColour, 0.5);
      break;
    case HeadKind::Crown: {
      std::vector<V3> crown;
      const double z0 = h.z + r * 0.6, z1 = h.z + r * 1.45;
      for (int i = 0; i <= 6; ++i) {
        const double t = -1 + i / 3.0;
        crown.push_back(V3{h.a, h.b + t * r * 0.9, (i % 2 == 0) ? z1 : z1 - r * 0.45});
      }
      crown.push_back(V3{h.a, h.b + r * 0.9, z0});
      crown.push_back(V3{h.a, h.b - r * 0.9, z0});
      st.Poly(crown, look.headColour, 0.5);
      break;
    }
    case HeadKind::Orc:
      st.Ball(h + V3{-0.2 * r, 0, 0.45 * r}, r * 0.8, look.hair, facingAway < -0.2 ? 0.4 : -0.01);
      if (facingAway > -0.2)
        for (double side : {-1.0, 1.0}) st.Dot(h + V3{r * 0.85, side * r * 0.35, -0.55 * r}, 2.0, C(245, 240, 220), 0.45 + facingAway);
      break;
    default:
      break;
  }
  switch (look.hat) {
    case Hat::Straw:
      st.Oval(h + V3{0, 0, r * 0.75}, r * 1.8, r * 0.7, look.hatColour, 0.6);
      st.Ball(h + V3{0, 0, r * 1.05}, r * 0.6, Darker(look.hatColour, 0.1), 0.61);
      break;
    case Hat::Cap:
      st.Oval(h + V3{-0.1 * r, 0, 0.75 * r}, r * 0.95, r * 0.55, look.hatColour, 0.6);
      break;
    case Hat::Scarf:
      st.Ball(h + V3{-0.15 * r, 0, 0.45 * r}, r * 0.9, look.hatColour, 0.6);
      break;
    case Hat::Topknot:
      st.Ball(h + V3{-0.2 * r, 0, 1.15 * r}, r * 0.45, look.hair, 0.6);
      break;
    case Hat::None:
      break;
  }
  (void)f;
}

// Draws a humanoid (or some of its layers) into the stage.
void DrawHuman(Stage& st, const HumanLook& look, const FrameSpec& fs, int layers) {
  const HumanPose p = PoseHuman(fs, look);
  const double limb = look.limb;
  if (layers & kLayerBody) {
    st.Shadow(10, 4);
    // legs and feet
    if (!look.robe) {
      st.Capsule(p.hipL, p.footL + V3{0, 0, 1.5}, 4.5 * limb, look.legs);
      st.Capsule(p.hipR, p.footR + V3{0, 0, 1.5}, 4.5 * limb, look.legs);
    }
    st.Capsule(p.footL + V3{-0.5, 0, 1}, p.footL + V3{2.5, 0, 1}, 3.6, look.boots, 0.02);
    st.Capsule(p.footR + V3{-0.5, 0, 1}, p.footR + V3{2.5, 0, 1}, 3.6, look.boots, 0.02);
    // cape and wings behind the back
    if (look.cape) st.Capsule(p.neck + V3{-3, 0, -2}, V3{p.hip.a - 6, 0, 12}, 11 * look.girth, look.capeColour, -0.3);
    if (look.wings) {
      double flap = 0;
      if (fs.act == Act::Strike) flap = 6;
      if (fs.act == Act::Walk || fs.act == Act::Run) flap = kWalkSwing[fs.k % 6] * 3;
      if (fs.act == Act::Stand) flap = kStandBob[fs.k % 4] * 2;
      for (double side : {-1.0, 1.0})
        st.Poly({p.neck + V3{-3, side * 3, -2}, p.neck + V3{-7, side * 20, 8 + flap}, p.neck + V3{-6, side * 17, -6 + flap / 2},
                 p.neck + V3{-4, side * 8, -10}},
                look.wingColour, -0.2);
    }
    // the body
    const Sp sL = st.P(p.shL), sR = st.P(p.shR);
    const double span = std::hypot(sL.x - sR.x, sL.y - sR.y) / st.Scale();
    const double width = std::max(9.0, span + 2) * look.girth;
    if (look.robe) {
      st.Skirt(p.hip + V3{0, 0, 3}, V3{p.hip.a * 0.3, 0, 1}, 6.5 * look.girth, 10 * look.girth, look.robeColour, 0.005);
    }
    st.Capsule(p.hip + V3{0, 0, 1}, p.neck + V3{0, 0, -2}, width * (look.ribs ? 0.7 : 1.0), look.torso, 0.01);
    if (look.ribs) {
      for (int i = 0; i < 3; ++i) {
        const V3 at = Lerp(p.hip, p.neck, 0.35 + 0.18 * i);
        st.Capsule(at + V3{0, -4, 0}, at + V3{0, 4, 0}, 1.3, Darker(look.torso, 0.35), 0.02);
      }
    }
    st.Capsule(Lerp(p.hipL, p.hipR, -0.1) + V3{0, 0, 2}, Lerp(p.hipL, p.hipR, 1.1) + V3{0, 0, 2}, 2.4, look.trim, 0.015);
    if (look.shoulderPads) {
      st.Ball(p.shL + V3{0, 0, 1}, 3.6 * look.girth, look.trim, 0.02);
      st.Ball(p.shR + V3{0, 0, 1}, 3.6 * look.girth, look.trim, 0.02);
    }
    // arms
    st.Capsule(p.shL, p.handL, 3.6 * limb, look.arms);
    st.Capsule(p.shR, p.handR, 3.6 * limb, look.arms);
    st.Ball(p.handL, 2.1 * limb, look.skin, 0.01);
    st.Ball(p.handR, 2.1 * limb, look.skin, 0.01);
    if (p.glow > 0) st.Orb(Lerp(p.handL, p.handR, 0.5) + V3{4, 0, 3}, 3.5 + 6 * p.glow, look.glow);
  }
  if (layers & kLayerHead) DrawHumanHead(st, look, p);
  if (layers & kLayerWeapon) DrawWeapon(st, look, p.handR, p.weaponDir, 0.03);
}

// ============================================================================
// Other body plans
// ============================================================================

enum class Plan { Human, Beast, Bird, Spider, Bat, Worm, Tree, Fairy };

struct BeastLook {
  Rgba body = C(150, 150, 160);
  Rgba belly = C(200, 200, 205);
  Rgba head = C(150, 150, 160);
  Rgba legs = C(120, 120, 130);
  Rgba accent = C(230, 220, 200);
  double len = 20, height = 11, girth = 7, headR = 5, snout = 5;
  bool ears = false, antlers = false, tusks = false, wool = false, horns = false;
  double tail = 6;
  Rgba eyes = C(25, 20, 30);
};

struct Figure {
  Plan plan = Plan::Human;
  HumanLook human;
  BeastLook beast;
  double scale = 1.0;
  bool runIsWalk = false;  // running shows the walking pictures
};

void DrawBeast(Stage& st, const BeastLook& b, const FrameSpec& fs) {
  double lunge = 0, headDrop = 0, recoil = 0, swing = 0;
  bool mouth = false;
  switch (fs.act) {
    case Act::Walk:
    case Act::Run:
      swing = kWalkSwing[fs.k % 6] * (fs.act == Act::Run ? 1.5 : 1.0);
      break;
    case Act::Strike: {
      const double l[6] = {-1, -2, 3, 6, 4, 1};
      lunge = l[fs.k % 6];
      headDrop = std::max(0.0, lunge) * 0.7;
      mouth = fs.k % 6 == 3 || fs.k % 6 == 2;
      break;
    }
    case Act::Hit:
      recoil = 2.5 * kHitLean[fs.k % 3];
      mouth = true;
      break;
    case Act::Cast:
      lunge = 1;
      mouth = true;
      break;
    default:
      headDrop = fs.act == Act::Stand ? kStandBob[fs.k % 4] * 0.6 : 0;
      break;
  }
  if (fs.act == Act::Die) st.FallSide(fs.fall);
  const double L = b.len, H = b.height, W = b.girth * 0.55;
  const double shift = lunge - recoil;
  st.Shadow(L * 0.6, 4.5);
  const V3 rear{-L / 2 + shift, 0, H + 1}, front{L / 2 + shift, 0, H + 2};
  // legs: diagonal pairs swing together
  const double s4 = 4 * swing;
  const V3 feet[4] = {{L / 2 - 1 + s4, -W, 0}, {L / 2 - 1 - s4, W, 0}, {-L / 2 + 2 - s4, -W, 0}, {-L / 2 + 2 + s4, W, 0}};
  const V3 tops[4] = {{front.a - 1, -W, H}, {front.a - 1, W, H}, {rear.a + 2, -W, H}, {rear.a + 2, W, H}};
  for (int i = 0; i < 4; ++i) {
    st.Capsule(tops[i], feet[i] + V3{0, 0, 1}, 3.2, b.legs);
    st.Dot(feet[i] + V3{0.5, 0, 0.8}, 3.2, Darker(b.legs, 0.4), 0.02);
  }
  // tail
  if (b.tail > 0) st.Capsule(rear + V3{-1, 0, 1}, rear + V3{-b.tail, 0, 3.0 + (fs.act == Act::Stand ? kStandBob[fs.k % 4] : 0)}, 2.6, b.body, -0.05);
  // body
  if (b.wool) {
    for (int i = 0; i < 4; ++i) {
      const V3 at = Lerp(rear, front, (i + 0.5) / 4.0) + V3{0, 0, 2};
      st.Ball(at, b.girth * 0.95, b.body, 0.001 * i);
    }
  } else {
    st.Capsule(rear + V3{0, 0, 1.5}, front + V3{0, 0, 1.5}, b.girth * 2, b.body, 0.0);
    st.Capsule(rear + V3{1, 0, -1.2}, front + V3{-1, 0, -1.2}, b.girth * 1.1, b.belly, 0.005);
  }
  // head and snout
  const V3 head = front + V3{3.5 + lunge * 0.3, 0, 5 - headDrop * 1.6 + (recoil > 0 ? 2 : 0)};
  const V3 tip = head + V3{b.snout, 0, -2 - headDrop * 0.5};
  st.Capsule(front + V3{0, 0, 1}, head, b.headR * 1.3, b.body, 0.01);
  st.Ball(head, b.headR, b.head, 0.02);
  st.Capsule(head, tip, b.headR * 1.15, b.head, 0.03);
  st.Dot(tip + V3{0.6, 0, 0.4}, 2.2, C(40, 30, 30), 0.04);
  if (mouth) st.Dot(tip + V3{-0.5, 0, -1.4}, 2.6, C(150, 20, 20), 0.035);
  DrawEyes(st, head + V3{0.5, 0, 0.8}, b.headR, b.eyes, 1.9, false);
  if (b.ears)
    for (double side : {-1.0, 1.0})
      st.Poly({head + V3{-1, side * 1.5, b.headR * 0.6}, head + V3{-2.5, side * 3.2, b.headR * 1.9}, head + V3{-3, side * 1, b.headR * 0.8}},
              b.head, 0.05);
  if (b.antlers)
    for (double side : {-1.0, 1.0}) {
      const V3 base = head + V3{-1, side * 2, b.headR * 0.7};
      const V3 top = base + V3{-3, side * 4, 9};
      st.Capsule(base, top, 1.6, b.accent, 0.06);
      st.Capsule(Lerp(base, top, 0.5), Lerp(base, top, 0.5) + V3{2, side * 3, 3}, 1.4, b.accent, 0.06);
    }
  if (b.horns)
    for (double side : {-1.0, 1.0}) st.Capsule(head + V3{-1, side * 2, b.headR * 0.6}, head + V3{1, side * 5, b.headR * 1.4}, 2.2, b.accent, 0.06);
  if (b.tusks)
    for (double side : {-1.0, 1.0}) st.Capsule(tip + V3{-1, side * 2.4, -1}, tip + V3{0.5, side * 2.8, 2}, 1.6, b.accent, 0.05);
}

void DrawBird(Stage& st, const BeastLook& b, const FrameSpec& fs) {
  double peck = 0, flap = 0, swing = 0;
  switch (fs.act) {
    case Act::Walk:
    case Act::Run:
      swing = kWalkSwing[fs.k % 6];
      break;
    case Act::Strike: {
      const double p[6] = {0, -1, 2, 5, 3, 1};
      peck = p[fs.k % 6];
      flap = fs.k % 2 == 0 ? 4 : -2;
      break;
    }
    case Act::Cast:
      flap = fs.k % 2 == 0 ? 5 : -3;
      break;
    case Act::Hit:
      flap = 5;
      peck = -2;
      break;
    default:
      break;
  }
  if (fs.act == Act::Die) st.FallSide(fs.fall);
  st.Shadow(8, 3.5);
  const double H = 8;
  for (double side : {-1.0, 1.0}) {
    const V3 foot{side * swing * 2.5, side * 2.5, 0};
    st.Capsule(V3{0, side * 2.5, H}, foot, 1.6, b.legs);
    st.Capsule(foot, foot + V3{2.5, 0, 0}, 1.4, b.legs, 0.01);
  }
  const V3 body{0, 0, H + 5};
  st.Capsule(body + V3{-4, 0, 1}, body + V3{-8, 0, 6}, 4, b.body, -0.02);  // tail feathers
  st.Oval(body, 7.5, 5.5, b.body, 0.0);
  for (double side : {-1.0, 1.0})
    st.Poly({body + V3{2, side * 4, 2}, body + V3{-5, side * (6 + flap * 0.4), 2 + flap}, body + V3{-3, side * 5, -2}}, b.belly, 0.1 * side + 0.02);
  const V3 head = body + V3{5 + peck, 0, 6 - std::max(0.0, peck) * 1.2};
  st.Ball(head, 3.8, b.body, 0.05);
  st.Capsule(head + V3{0, 0, 3}, head + V3{-2, 0, 4.5}, 2.2, b.accent, 0.06);  // comb
  st.Capsule(head + V3{2.5, 0, -0.5}, head + V3{6, 0, -1.5}, 2.2, C(240, 160, 40), 0.07);  // beak
  DrawEyes(st, head, 3.8, b.eyes, 1.6, false);
}

void DrawSpider(Stage& st, const BeastLook& b, const FrameSpec& fs) {
  double lunge = 0, raise = 0, curl = 0, shift = 0, swing = 0;
  switch (fs.act) {
    case Act::Walk:
    case Act::Run:
      swing = kWalkSwing[fs.k % 6];
      break;
    case Act::Strike: {
      const double l[6] = {0, -1, 2, 5, 3, 1};
      lunge = l[fs.k % 6];
      raise = fs.k % 6 >= 1 && fs.k % 6 <= 3 ? 7 : 3;
      break;
    }
    case Act::Hit:
      shift = -2 * kHitLean[fs.k % 3];
      curl = 0.25;
      break;
    case Act::Die:
      curl = std::min(1.0, fs.fall / 90.0);
      break;
    default:
      raise = kStandBob[fs.k % 4];
      break;
  }
  st.Shadow(13, 5);
  const double lower = curl * 4;
  const V3 abdomen{-6 + shift + lunge * 0.5, 0, 8 - lower};
  const V3 head{4 + shift + lunge, 0, 7 - lower};
  const double angles[4] = {40, 75, 105, 140};
  for (double side : {-1.0, 1.0})
    for (int i = 0; i < 4; ++i) {
      const double t = angles[i] * kPi / 180;
      const double wiggle = ((i + (side > 0)) % 2 == 0 ? 1 : -1) * swing * 2.5;
      const V3 root = V3{2 - 2.5 * i + shift + lunge * 0.7, side * 3.0, 7 - lower};
      double reach = 13 * (1 - 0.6 * curl);
      V3 knee = root + V3{std::cos(t) * 7 * (1 - 0.4 * curl) + wiggle, side * std::sin(t) * 7 * (1 - 0.4 * curl), 6 + curl * 2};
      V3 foot = root + V3{std::cos(t) * reach + wiggle, side * std::sin(t) * reach, -root.z + curl * 5};
      if (i == 0 && raise > 0) {
        knee.z += raise * 0.6;
        foot = foot + V3{2, 0, raise};
      }
      st.Capsule(root, knee, 2.2, b.legs, -0.01);
      st.Capsule(knee, foot, 1.8, b.legs, -0.01);
    }
  st.Ball(abdomen, 8, b.body, 0.0);
  st.Dot(abdomen + V3{-2, 0, 5}, 3.5, b.accent, 0.02);
  st.Ball(head, 5, b.head, 0.03);
  const double away = st.GroundY({1, 0, 0});
  for (double side : {-1.0, 1.0})
    st.Capsule(head + V3{3.5, side * 1.5, -1}, head + V3{5.5, side * 1.2, -4}, 1.6, C(220, 210, 190), 0.05 + (away > -0.2 ? 0.1 : -0.2));
  DrawEyes(st, head, 5, C(230, 40, 40), 1.9, false);
}

void DrawBat(Stage& st, const BeastLook& b, const FrameSpec& fs) {
  double lift = 20, flap = 0, dive = 0, fold = 0;
  switch (fs.act) {
    case Act::Stand: {
      const double f[4] = {6, 0, -6, 0};
      flap = f[fs.k % 4];
      lift += kStandBob[fs.k % 4] * 2;
      break;
    }
    case Act::Walk:
    case Act::Run: {
      const double f[6] = {7, 3, -6, -2, 5, -4};
      flap = f[fs.k % 6];
      break;
    }
    case Act::Strike:
    case Act::Cast: {
      const double d[6] = {0, 2, 6, 9, 5, 2};
      dive = d[fs.k % 6];
      flap = fs.k % 2 == 0 ? 8 : -5;
      break;
    }
    case Act::Hit:
      flap = 9;
      lift += 3;
      break;
    case Act::Die: {
      const double t = std::min(1.0, fs.fall / 90.0);
      lift = 20 * (1 - t) + 2;
      fold = t;
      flap = -3 * t;
      break;
    }
  }
  st.Shadow(9, 3.5);
  const V3 body{dive * 0.8, 0, lift - dive};
  const double span = 17 * (1 - 0.35 * fold);
  for (double side : {-1.0, 1.0})
    st.Poly({body + V3{2, side * 2.5, 1}, body + V3{-1, side * span, 6 + flap}, body + V3{-4, side * span * 0.75, flap * 0.5 - 1},
             body + V3{-5, side * span * 0.45, -3 + flap * 0.3}, body + V3{-3, side * 2.5, -1}},
            b.legs, -0.02);
  st.Ball(body, 5, b.body, 0.0);
  const V3 head = body + V3{3.5, 0, 3};
  st.Ball(head, 3.8, b.head, 0.02);
  for (double side : {-1.0, 1.0})
    st.Poly({head + V3{-0.5, side * 1.2, 2.8}, head + V3{-1.5, side * 2.8, 7}, head + V3{-1.5, side * 2.6, 2.5}}, b.head, 0.03);
  DrawEyes(st, head, 3.8, C(240, 50, 50), 1.7, false);
  if (fs.act == Act::Strike) st.Dot(head + V3{3, 0, -1.5}, 1.8, C(245, 240, 230), 0.2);
}

void DrawWorm(Stage& st, const BeastLook& b, const FrameSpec& fs) {
  double phase = 0, rear = 0, lunge = 0, flat = 0;
  bool mouth = false;
  switch (fs.act) {
    case Act::Walk:
    case Act::Run:
      phase = fs.k * kPi / 3;
      break;
    case Act::Strike: {
      const double r[6] = {2, 5, 8, 6, 3, 1};
      rear = r[fs.k % 6];
      lunge = fs.k % 6 == 3 ? 4 : 0;
      mouth = true;
      break;
    }
    case Act::Cast:
      rear = 4;
      mouth = true;
      break;
    case Act::Hit:
      rear = 2;
      phase = 1.5 + fs.k;
      mouth = true;
      break;
    case Act::Die:
      flat = std::min(1.0, fs.fall / 90.0);
      phase = 2.0;
      break;
    default:
      phase = fs.k * kPi / 2;
      break;
  }
  st.Shadow(11, 4);
  for (int i = 4; i >= 0; --i) {
    const double r = 6.2 - 0.7 * i;
    const double bz = r * (1 - 0.5 * flat) + (i == 0 ? rear : std::max(0.0, rear - 3 * i));
    const V3 at{6 - 5.2 * i + (i == 0 ? lunge : 0), 2.2 * std::sin(phase + i * 1.2), bz};
    if (flat > 0) {
      st.Oval(at, r, r * (1 - 0.5 * flat), i % 2 == 0 ? b.body : b.belly, 0.001 * (5 - i));
    } else {
      st.Ball(at, r, i % 2 == 0 ? b.body : b.belly, 0.001 * (5 - i));
    }
    if (i == 0) {
      DrawEyes(st, at, r, C(40, 20, 30), 1.8, false);
      if (mouth) st.Dot(at + V3{r * 0.85, 0, -r * 0.2}, 3.2, C(150, 30, 40), 0.3 + st.GroundY({1, 0, 0}));
    }
  }
}

void DrawTree(Stage& st, const HumanLook& look, const BeastLook& b, const FrameSpec& fs) {
  HumanPose p = PoseHuman(fs, look);
  if (fs.act == Act::Die) st.FallBack(fs.fall);
  st.Shadow(12, 4.5);
  const double sway = fs.act == Act::Walk ? kWalkSwing[fs.k % 6] * 1.5 : 0;
  for (int i = 0; i < 4; ++i) {
    const double t = (i * 90 + 45) * kPi / 180;
    st.Capsule(V3{0, 0, 4}, V3{std::cos(t) * 8 + (i < 2 ? sway : -sway), std::sin(t) * 8, 0}, 3, Darker(b.body, 0.15), -0.01);
  }
  const V3 top{p.neck.a, sway, 34};
  st.Capsule(V3{0, 0, 2}, top, 11, b.body, 0.0);
  // the crown of leaves
  st.Ball(top + V3{-2, -7, 3}, 8, Darker(b.accent, 0.15), -0.5);
  st.Ball(top + V3{-2, 7, 3}, 8, Darker(b.accent, 0.15), -0.5);
  st.Ball(top + V3{-4, 0, 9}, 11, b.accent, -0.4);
  st.Ball(top + V3{1, 0, 13}, 7, Lighter(b.accent, 0.15), -0.3);
  // the face on the bark
  const double away = st.GroundY({1, 0, 0});
  if (away > -0.3) {
    DrawEyes(st, V3{top.a * 0.8, sway, 27}, 5.5, C(250, 220, 60), 2.4, false);
    st.Dot(V3{top.a * 0.7 + 5, sway, 21}, p.mouthOpen ? 3.5 : 2.4, C(60, 30, 20), 0.4 + away);
  }
  // branch arms
  st.Capsule(V3{0, -4, 27}, p.handL, 3, b.body, 0.01);
  st.Capsule(V3{0, 4, 27}, p.handR, 3, b.body, 0.01);
  st.Ball(p.handL, 3, b.accent, 0.02);
  st.Ball(p.handR, 3, b.accent, 0.02);
  if (p.glow > 0) st.Orb(Lerp(p.handL, p.handR, 0.5) + V3{4, 0, 2}, 3 + 5 * p.glow, C(140, 255, 120));
}

void DrawFairy(Stage& st, const BeastLook& b, const FrameSpec& fs) {
  double lift = 14, glow = 0, flap = 0, lean = 0;
  switch (fs.act) {
    case Act::Stand:
      lift += kStandBob[fs.k % 4] * 2;
      flap = fs.k % 2 ? 3 : -2;
      break;
    case Act::Walk:
    case Act::Run:
      flap = kWalkSwing[fs.k % 6] * 4;
      lean = 2;
      break;
    case Act::Strike:
    case Act::Cast: {
      const double g[6] = {0.3, 0.55, 0.8, 1.0, 0.75, 0.45};
      glow = g[fs.k % 6];
      flap = fs.k % 2 ? 4 : -3;
      break;
    }
    case Act::Hit:
      lean = -3;
      flap = 5;
      break;
    case Act::Die:
      lift = 14 * (1 - std::min(1.0, fs.fall / 90.0)) + 1;
      st.FallBack(fs.fall);
      break;
  }
  st.Shadow(6, 2.5);
  const V3 body{lean * 0.3, 0, lift};
  st.Glow(body + V3{0, 0, 6}, 14 + glow * 8, WithAlpha(C(200, 240, 255), 90 + static_cast<int>(glow * 100)), -0.5);
  for (double side : {-1.0, 1.0})
    st.Poly({body + V3{-1, side * 1.5, 8}, body + V3{-3, side * 9, 15 + flap}, body + V3{-3, side * 7, 4 + flap / 2}}, WithAlpha(C(210, 240, 255), 190),
            -0.2, false);
  st.Capsule(body, body + V3{lean * 0.3, 0, 9}, 5, b.body, 0.0);
  const V3 head = body + V3{lean * 0.5, 0, 13};
  st.Ball(head + V3{-1, 0, 1}, 3.8, b.accent, -0.01);
  st.Ball(head, 3.4, b.head, 0.02);
  DrawEyes(st, head, 3.4, C(40, 40, 120), 1.5, false);
  const V3 hands = body + V3{3 + glow * 2, 0, 7 + glow * 6};
  st.Capsule(body + V3{0, -2, 8}, hands + V3{0, -1.5, 0}, 1.6, b.body, 0.03);
  st.Capsule(body + V3{0, 2, 8}, hands + V3{0, 1.5, 0}, 1.6, b.body, 0.03);
  if (glow > 0) st.Orb(hands + V3{2, 0, 1}, 2.5 + 4 * glow, C(255, 235, 120));
}

// Draws a whole figure for one frame (all layers); `layers` only matters for humanoids.
void DrawFigure(Stage& st, const Figure& fig, const FrameSpec& fs, int layers = kLayerAll) {
  switch (fig.plan) {
    case Plan::Human:
      if (fs.act == Act::Die) st.FallBack(fs.fall);
      DrawHuman(st, fig.human, fs, layers);
      break;
    case Plan::Beast:
      DrawBeast(st, fig.beast, fs);
      break;
    case Plan::Bird:
      DrawBird(st, fig.beast, fs);
      break;
    case Plan::Spider:
      DrawSpider(st, fig.beast, fs);
      break;
    case Plan::Bat:
      DrawBat(st, fig.beast, fs);
      break;
    case Plan::Worm:
      DrawWorm(st, fig.beast, fs);
      break;
    case Plan::Tree:
      DrawTree(st, fig.human, fig.beast, fs);
      break;
    case Plan::Fairy:
      DrawFairy(st, fig.beast, fs);
      break;
  }
  // Figures without hands cast with a light above their head.
  if (fs.act == Act::Cast && fig.plan != Plan::Human && fig.plan != Plan::Tree && fig.plan != Plan::Fairy) {
    const double g[6] = {0.2, 0.45, 0.7, 1.0, 0.7, 0.45};
    st.Orb(V3{4, 0, fig.plan == Plan::Bat ? 34.0 : 26.0}, 2.5 + 4.5 * g[fs.k % 6], C(150, 220, 255), 2.0);
  }
}

// ============================================================================
// The cast: monster sets, player looks, weapons and NPCs
// ============================================================================

Figure HumanFigure(const HumanLook& h, double scale = 1.0) {
  Figure f;
  f.plan = Plan::Human;
  f.human = h;
  f.scale = scale;
  return f;
}

Figure BeastFigure(Plan plan, const BeastLook& b, double scale = 1.0) {
  Figure f;
  f.plan = plan;
  f.beast = b;
  f.scale = scale;
  return f;
}

// The figure of a monster sprite set (the Pic of the monster tables; 83 is the spirit).
Figure MonsterFigure(int set) {
  BeastLook b;
  HumanLook h;
  switch (set) {
    case 1:  // chicken
      b.body = C(245, 245, 240);
      b.belly = C(225, 225, 215);
      b.legs = C(235, 170, 60);
      b.accent = C(230, 40, 40);
      return BeastFigure(Plan::Bird, b, 1.1);
    case 2:  // sheep
      b.body = C(245, 245, 238);
      b.belly = C(230, 230, 225);
      b.head = C(120, 110, 100);
      b.legs = C(110, 100, 95);
      b.wool = true;
      b.len = 16;
      b.height = 8;
      b.girth = 7;
      b.snout = 3;
      b.ears = true;
      b.tail = 3;
      return BeastFigure(Plan::Beast, b);
    case 3:  // deer
      b.body = C(185, 125, 70);
      b.belly = C(235, 215, 180);
      b.head = C(185, 125, 70);
      b.legs = C(150, 100, 60);
      b.accent = C(225, 205, 160);
      b.antlers = true;
      b.ears = true;
      b.len = 19;
      b.height = 14;
      b.girth = 5.5;
      b.snout = 4;
      b.tail = 3;
      return BeastFigure(Plan::Beast, b);
    case 4:  // wolf
      b.body = C(165, 165, 175);
      b.belly = C(215, 215, 220);
      b.head = C(165, 165, 175);
      b.legs = C(140, 140, 150);
      b.ears = true;
      b.len = 20;
      b.height = 10;
      b.girth = 5.5;
      b.snout = 6;
      b.tail = 9;
      return BeastFigure(Plan::Beast, b);
    case 5:  // spider
      b.body = C(190, 160, 150);
      b.head = C(170, 140, 130);
      b.legs = C(150, 120, 110);
      b.accent = C(230, 90, 60);
      return BeastFigure(Plan::Spider, b);
    case 6:  // bat
      b.body = C(175, 150, 165);
      b.head = C(175, 150, 165);
      b.legs = C(140, 105, 130);
      return BeastFigure(Plan::Bat, b);
    case 7:  // skeleton
      h.skin = C(235, 232, 215);
      h.torso = C(225, 222, 205);
      h.arms = h.legs = C(225, 222, 205);
      h.boots = C(200, 195, 180);
      h.trim = C(150, 120, 90);
      h.head = HeadKind::Skull;
      h.ribs = true;
      h.limb = 0.7;
      h.girth = 0.8;
      h.weapon = Weapon::Sword;
      h.blade = C(180, 170, 160);
      return HumanFigure(h);
    case 8:  // the walking dead
      h.skin = C(160, 185, 140);
      h.torso = C(125, 110, 90);
      h.arms = C(160, 185, 140);
      h.legs = C(100, 90, 80);
      h.boots = C(90, 80, 70);
      h.hair = C(80, 80, 60);
      h.eyes = C(200, 40, 40);
      h.armsForward = true;
      return HumanFigure(h);
    case 9:  // boar
      b.body = C(150, 105, 80);
      b.belly = C(175, 135, 105);
      b.head = C(140, 95, 70);
      b.legs = C(115, 80, 60);
      b.accent = C(250, 245, 225);
      b.tusks = true;
      b.ears = true;
      b.len = 19;
      b.height = 8;
      b.girth = 8;
      b.headR = 6;
      b.snout = 5;
      b.tail = 3;
      return BeastFigure(Plan::Beast, b, 1.1);
    case 10:  // half-orc
      h.skin = C(130, 175, 95);
      h.hair = C(60, 50, 40);
      h.torso = C(140, 100, 65);
      h.arms = C(130, 175, 95);
      h.legs = C(95, 75, 55);
      h.trim = C(80, 60, 40);
      h.head = HeadKind::Orc;
      h.weapon = Weapon::Axe;
      h.blade = C(170, 175, 185);
      h.girth = 1.25;
      h.limb = 1.2;
      return HumanFigure(h, 1.12);
    case 11:  // guard
      h.torso = C(175, 180, 195);
      h.trim = C(180, 40, 40);
      h.arms = C(150, 155, 170);
      h.legs = C(110, 90, 70);
      h.head = HeadKind::Helmet;
      h.headColour = C(185, 190, 205);
      h.shoulderPads = true;
      h.weapon = Weapon::Spear;
      return HumanFigure(h);
    case 12:  // robed caster
      h.torso = C(110, 80, 170);
      h.arms = C(110, 80, 170);
      h.robe = true;
      h.robeColour = C(95, 65, 150);
      h.trim = C(230, 200, 90);
      h.head = HeadKind::Hood;
      h.headColour = C(85, 55, 135);
      h.weapon = Weapon::Staff;
      h.gem = C(120, 230, 255);
      h.castAttack = true;
      h.glow = C(170, 140, 255);
      return HumanFigure(h);
    case 13:  // bull-man
      h.skin = C(150, 100, 65);
      h.torso = C(150, 100, 65);
      h.arms = C(150, 100, 65);
      h.legs = C(110, 80, 55);
      h.trim = C(200, 170, 80);
      h.head = HeadKind::Bull;
      h.headColour = C(240, 230, 200);
      h.weapon = Weapon::Axe;
      h.girth = 1.35;
      h.limb = 1.3;
      return HumanFigure(h, 1.25);
    case 14:  // demon
      h.skin = C(215, 75, 60);
      h.torso = C(200, 65, 55);
      h.arms = C(215, 75, 60);
      h.legs = C(120, 40, 40);
      h.boots = C(90, 30, 30);
      h.trim = C(60, 40, 40);
      h.head = HeadKind::Horns;
      h.headColour = C(240, 225, 190);
      h.hair = C(70, 25, 25);
      h.eyes = C(255, 230, 60);
      h.wings = true;
      h.wingColour = C(110, 40, 50);
      h.weapon = Weapon::Claws;
      h.blade = C(240, 235, 220);
      h.girth = 1.1;
      return HumanFigure(h, 1.1);
    case 15: {  // tree spirit
      b.body = C(140, 100, 60);
      b.accent = C(90, 170, 70);
      h.castAttack = false;
      Figure f = BeastFigure(Plan::Tree, b);
      f.human = h;
      return f;
    }
    case 16:  // maggot
      b.body = C(245, 235, 215);
      b.belly = C(230, 205, 185);
      return BeastFigure(Plan::Worm, b);
    case 17:  // golden lord
      h.torso = C(235, 195, 70);
      h.trim = C(170, 60, 60);
      h.arms = C(220, 180, 60);
      h.legs = C(150, 110, 50);
      h.boots = C(120, 80, 40);
      h.head = HeadKind::Crown;
      h.headColour = C(250, 215, 60);
      h.shoulderPads = true;
      h.cape = true;
      h.capeColour = C(140, 40, 150);
      h.weapon = Weapon::Broad;
      h.blade = C(230, 230, 240);
      h.girth = 1.3;
      h.limb = 1.2;
      return HumanFigure(h, 1.3);
    case 83:  // the spirit companion
      b.body = C(235, 225, 255);
      b.head = C(250, 230, 215);
      b.accent = C(255, 220, 120);
      return BeastFigure(Plan::Fairy, b, 1.1);
    default: {
      // A set the tables name without a look of its own: a humanoid in colours of its number.
      const std::uint32_t k = Hash(static_cast<std::uint32_t>(set), 77);
      h.torso = C(80 + k % 150, 80 + (k >> 8) % 150, 80 + (k >> 16) % 150);
      h.arms = h.torso;
      h.weapon = Weapon::Sword;
      return HumanFigure(h);
    }
  }
}

Figure BodyLookFigure(int look);

// The player's body looks: 0 is the body without armour; 101..107 the spirit forms, drawn
// at the size of the player and running as they walk.
Figure BodyFigure(int look) {
  Figure f = BodyLookFigure(look);
  if (look >= 100) {
    f.scale = 1.0;
    f.runIsWalk = true;
  }
  return f;
}

Figure BodyLookFigure(int look) {
  HumanLook h;
  h.skin = C(240, 200, 160);
  switch (look) {
    case 0:
      h.torso = h.arms = C(225, 215, 190);
      h.legs = C(120, 95, 70);
      h.trim = C(100, 80, 60);
      break;
    case 1:  // cloth
      h.torso = h.arms = C(70, 110, 200);
      h.legs = C(60, 70, 110);
      h.trim = C(230, 220, 200);
      break;
    case 2:  // leather
      h.torso = C(160, 110, 60);
      h.arms = C(140, 95, 55);
      h.legs = C(110, 80, 50);
      h.trim = C(90, 60, 35);
      h.shoulderPads = true;
      break;
    case 3:  // bronze
      h.torso = C(205, 145, 70);
      h.arms = C(185, 130, 65);
      h.legs = C(120, 95, 70);
      h.trim = C(235, 190, 110);
      h.shoulderPads = true;
      h.girth = 1.1;
      break;
    case 4:  // mage robe
      h.torso = h.arms = C(130, 70, 185);
      h.robe = true;
      h.robeColour = C(115, 60, 170);
      h.trim = C(240, 210, 100);
      break;
    case 5:  // Taoist robe
      h.torso = h.arms = C(235, 235, 240);
      h.robe = true;
      h.robeColour = C(220, 220, 230);
      h.trim = C(50, 50, 70);
      break;
    case 6:  // war-god armour
      h.torso = C(230, 190, 60);
      h.arms = C(200, 60, 50);
      h.legs = C(160, 50, 45);
      h.trim = C(250, 230, 140);
      h.shoulderPads = true;
      h.cape = true;
      h.capeColour = C(190, 40, 40);
      h.girth = 1.15;
      break;
    case 101:
      return MonsterFigure(6);
    case 102:
      return MonsterFigure(1);
    case 103:
      return MonsterFigure(16);
    case 104:
      return MonsterFigure(7);
    case 105:
      return MonsterFigure(11);
    case 106: {
      Figure f = MonsterFigure(12);
      f.human.robeColour = C(60, 60, 70);
      f.human.torso = f.human.arms = C(70, 70, 80);
      f.human.headColour = C(50, 50, 60);
      f.human.trim = C(220, 40, 40);
      return f;
    }
    case 107: {
      Figure f = MonsterFigure(14);
      f.human.skin = f.human.arms = C(180, 30, 40);
      f.human.torso = C(150, 25, 35);
      return f;
    }
    default: {
      const std::uint32_t k = Hash(static_cast<std::uint32_t>(look), 99);
      h.torso = h.arms = C(70 + k % 160, 70 + (k >> 8) % 160, 70 + (k >> 16) % 160);
      h.trim = Darker(h.torso, 0.4);
      h.shoulderPads = (k >> 24) % 2 == 1;
      break;
    }
  }
  return HumanFigure(h);
}

// The player's weapon looks.
HumanLook WeaponLook(int look) {
  HumanLook h;
  switch (look) {
    case 1:  // wooden / bronze sword
      h.weapon = Weapon::Sword;
      h.blade = C(205, 160, 95);
      h.hilt = C(110, 70, 35);
      break;
    case 2:  // blade
      h.weapon = Weapon::Broad;
      h.blade = C(200, 205, 215);
      h.hilt = C(90, 60, 40);
      break;
    case 3:  // long slender sword
      h.weapon = Weapon::Sword;
      h.blade = C(225, 235, 245);
      h.hilt = C(200, 160, 60);
      break;
    case 4:  // staff
      h.weapon = Weapon::Staff;
      h.hilt = C(120, 80, 45);
      h.gem = C(110, 220, 255);
      break;
    case 5:  // great blade
      h.weapon = Weapon::Broad;
      h.blade = C(235, 225, 200);
      h.hilt = C(170, 40, 40);
      break;
    case 47:  // thunder sword
      h.weapon = Weapon::Sword;
      h.blade = C(140, 200, 255);
      h.hilt = C(240, 210, 80);
      break;
    default: {
      const std::uint32_t k = Hash(static_cast<std::uint32_t>(look), 5);
      h.weapon = (k % 3 == 0) ? Weapon::Broad : Weapon::Sword;
      h.blade = C(150 + k % 100, 150 + (k >> 8) % 100, 150 + (k >> 16) % 100);
      break;
    }
  }
  return h;
}

// The player's own head (hair and face, no hat).
HumanLook HeadLook() {
  HumanLook h;
  h.skin = C(240, 200, 160);
  h.hair = C(45, 35, 30);
  h.hat = Hat::Topknot;
  return h;
}

// NPC looks 1..53: the first ones are the village's people; the others are made from
// a set of clothes, hats and trades.
Figure NpcFigure(int n) {
  HumanLook h;
  h.torso = h.arms = C(120, 140, 90);
  switch (n) {
    case 1:  // village elder
      h.torso = h.arms = C(150, 110, 70);
      h.robe = true;
      h.robeColour = C(135, 95, 60);
      h.hair = C(220, 220, 220);
      h.beard = true;
      h.weapon = Weapon::Staff;
      h.hilt = C(120, 85, 50);
      h.gem = C(120, 200, 90);
      return HumanFigure(h);
    case 2:  // druggist
      h.torso = h.arms = C(70, 150, 110);
      h.trim = C(240, 240, 230);
      h.legs = C(80, 80, 90);
      h.hat = Hat::Cap;
      h.hatColour = C(60, 130, 90);
      h.weapon = Weapon::Bottle;
      h.blade = C(200, 60, 60);
      h.hilt = C(240, 230, 200);
      return HumanFigure(h);
    case 3:  // smith
      h.skin = C(215, 165, 120);
      h.torso = C(120, 85, 55);
      h.arms = C(215, 165, 120);
      h.trim = C(70, 50, 35);
      h.head = HeadKind::Bald;
      h.beard = true;
      h.beardColour = C(90, 60, 40);
      h.weapon = Weapon::Hammer;
      h.blade = C(120, 120, 130);
      h.girth = 1.2;
      return HumanFigure(h);
    case 4:  // town guard
      return MonsterFigure(11);
    case 5:  // merchant
      h.torso = h.arms = C(190, 50, 50);
      h.robe = true;
      h.robeColour = C(170, 45, 45);
      h.trim = C(240, 200, 80);
      h.hat = Hat::Cap;
      h.hatColour = C(60, 40, 30);
      h.girth = 1.2;
      return HumanFigure(h);
    default:
      break;
  }
  const std::uint32_t k = Hash(static_cast<std::uint32_t>(n), 1234);
  static const Rgba clothes[] = {C(70, 110, 190), C(180, 60, 60),  C(80, 150, 80),  C(190, 150, 60), C(120, 80, 160),
                                 C(60, 150, 160), C(200, 120, 60), C(150, 150, 150), C(220, 200, 170), C(100, 70, 50),
                                 C(200, 90, 140), C(40, 90, 70)};
  static const Rgba skins[] = {C(240, 200, 160), C(220, 175, 130), C(190, 140, 100)};
  static const Rgba hairs[] = {C(45, 35, 30), C(110, 70, 40), C(200, 200, 200), C(160, 110, 50)};
  h.torso = clothes[k % 12];
  h.arms = Darker(h.torso, 0.1);
  h.legs = clothes[(k >> 4) % 12];
  h.trim = clothes[(k >> 8) % 12];
  h.skin = skins[(k >> 12) % 3];
  h.hair = hairs[(k >> 14) % 4];
  h.robe = (k >> 16) % 3 == 0;
  h.robeColour = Darker(h.torso, 0.15);
  h.hat = static_cast<Hat>((k >> 18) % 5);
  h.hatColour = clothes[(k >> 21) % 12];
  h.longHair = (k >> 25) % 3 == 0 && h.hat != Hat::Scarf;
  h.beard = !h.longHair && (k >> 27) % 4 == 0;
  static const Weapon held[] = {Weapon::None, Weapon::None, Weapon::Staff, Weapon::Book, Weapon::Bottle, Weapon::Hammer};
  h.weapon = held[(k >> 28) % 6];
  h.blade = C(150, 110, 70);
  const double scale = (k >> 30) == 0 ? 0.8 : 1.0;  // some are children
  return HumanFigure(h, scale);
}

// ============================================================================
// Frames, packs and offset tables
// ============================================================================

// Where a figure's feet stand inside its cell (offsets are relative to the cell's corner).
constexpr int kFootInCellX = 24;
constexpr int kFootInCellY = 26;

struct FramePicture {
  std::vector<std::uint8_t> png;
  int ox = 0, oy = 0;  // offset of the picture's corner from the cell's corner
};

FramePicture RenderFrame(const Figure& fig, FrameSpec fs, int layers) {
  if (fig.runIsWalk && fs.act == Act::Run) fs.act = Act::Walk;
  const double s = fig.scale;
  const int w = static_cast<int>(std::ceil(110 * s)), h = static_cast<int>(std::ceil(110 * s));
  const double footX = w / 2.0, footY = h - std::ceil(16 * s);
  Stage st(w, h, footX, footY, fs.dir, s);
  if (fs.act == Act::Hit) st.Tint(C(255, 30, 30), 0.45);
  if (fs.act == Act::Die) st.Tint(fs.dark > 0.3 ? C(90, 80, 80) : C(200, 40, 40), std::max(fs.dark, 0.25));
  DrawFigure(st, fig, fs, layers);
  const Cut cut = Crop(st.Render());
  FramePicture out;
  out.png = cut.pic.EncodePng();
  out.ox = kFootInCellX - static_cast<int>(footX) + cut.x;
  out.oy = kFootInCellY - static_cast<int>(footY) + cut.y;
  return out;
}

std::string OffsetLine(int x, int y) { return Num(x) + "," + Num(y) + "\r\n"; }

// The game-folder file of a game path ("\date\Mon\3.zb"), following folders that already
// exist under another case.
fs::path GameFile(const fs::path& gameDir, const std::string& gamePath) {
  std::string p = gamePath;
  std::replace(p.begin(), p.end(), '/', '\\');
  // The folder is looked up as the game looks it up; the file keeps our spelling.
  const std::size_t cut = p.find_last_of('\\');
  const fs::path folder = plat::ResolvePathIn(gameDir, p.substr(0, cut));
  return folder / fs::u8path(p.substr(cut + 1));
}

// Writes one sprite set: the pack and its offset table.
std::vector<WrittenSprites> WriteFigureSet(const fs::path& gameDir, const std::string& gameBase, const Figure& fig,
                                           const std::vector<FrameSpec>& layout, int layers) {
  PackWriter pack;
  std::string zb;
  for (const FrameSpec& fs : layout) {
    FramePicture fp = RenderFrame(fig, fs, layers);
    zb += OffsetLine(fp.ox, fp.oy);
    pack.AddShared(std::move(fp.png));
  }
  const fs::path base = GameFile(gameDir, gameBase);
  art::WriteTextFile(fs::path(base.string() + ".zb"), zb);
  pack.Write(base);
  std::error_code ec;
  std::string shown = gameBase.substr(1);
  std::replace(shown.begin(), shown.end(), '\\', '/');
  return {{shown, pack.Count(), static_cast<long>(fs::file_size(fs::path(base.string() + ".dat"), ec))},
          {shown + ".zb", static_cast<int>(layout.size()), static_cast<long>(zb.size())}};
}

// The offset table of a monster picture number that has no pictures: every frame placed
// like a figure of ordinary size standing in its cell.
std::vector<WrittenSprites> WriteOffsetsOnly(const fs::path& gameDir, const std::string& gameBase, int frames) {
  std::string zb;
  for (int i = 0; i < frames; ++i) zb += OffsetLine(kFootInCellX - 24, kFootInCellY - 60);
  const fs::path base = GameFile(gameDir, gameBase);
  // A pack left by an earlier build whose tables still used this number goes; a data
  // file without an index is not ours (74 and 75 are databases) and stays.
  const fs::path index(base.string() + ".Mxx");
  std::error_code ec;
  if (fs::exists(index, ec)) {
    fs::remove(index, ec);
    fs::remove(fs::path(base.string() + ".dat"), ec);
  }
  art::WriteTextFile(fs::path(base.string() + ".zb"), zb);
  std::string shown = gameBase.substr(1);
  std::replace(shown.begin(), shown.end(), '\\', '/');
  return {{shown + ".zb", frames, static_cast<long>(zb.size())}};
}

// ============================================================================
// Floor tiles (48 x 32, seamless)
// ============================================================================

constexpr int kTileW = 48;
constexpr int kTileH = 32;

// Speckles of a few colours scattered over the tile (seamless: every speckle is one pixel
// or a short stroke that wraps around the edges).
void Speckle(Canvas& c, std::uint32_t seed, int count, const std::vector<Rgba>& colours, int strokeLen = 1,
             bool vertical = true) {
  for (int i = 0; i < count; ++i) {
    const int x = static_cast<int>(Hash(seed, i, 1) % kTileW);
    const int y = static_cast<int>(Hash(seed, i, 2) % kTileH);
    const Rgba col = colours[Hash(seed, i, 3) % colours.size()];
    for (int k = 0; k < strokeLen; ++k) {
      const int xx = vertical ? x : (x + k) % kTileW;
      const int yy = vertical ? (y + kTileH - k) % kTileH : y;
      c.Set(xx, yy, col);
    }
  }
}

// A blob that wraps around the tile's edges.
void WrapBlob(Canvas& c, double cx, double cy, double rx, double ry, Rgba col) {
  for (int dx : {-kTileW, 0, kTileW})
    for (int dy : {-kTileH, 0, kTileH}) c.FillEllipse(cx + dx, cy + dy, rx, ry, col);
}

Canvas FloorTile(int n) {
  Canvas c(kTileW, kTileH);
  const std::uint32_t seed = static_cast<std::uint32_t>(n) * 7919u;
  auto stones = [&](Rgba base, Rgba gap, int sw, int sh, bool offsetRows, double jitter) {
    c.Fill(gap);
    for (int row = 0; row * sh < kTileH; ++row)
      for (int col = -1; col * sw < kTileW + sw; ++col) {
        const int x = col * sw + ((offsetRows && row % 2) ? sw / 2 : 0);
        const int y = row * sh;
        const Rgba k = Mix(base, Lighter(base, 0.3), Hash01(seed, row * 31 + col + 40, 9) * jitter);
        for (int yy = 1; yy < sh; ++yy)
          for (int xx = 1; xx < sw; ++xx) {
            // rounded corners
            if ((xx == 1 || xx == sw - 1) && (yy == 1 || yy == sh - 1)) continue;
            c.Set(((x + xx) % kTileW + kTileW) % kTileW, (y + yy) % kTileH, k);
          }
      }
  };
  switch (n) {
    case kFloorGrass:
    case kFloorGrass2:
    case kFloorGrassFlowers:
    case kFloorDarkGrass: {
      const bool dark = n == kFloorDarkGrass;
      const Rgba base = dark ? C(48, 92, 46) : (n == kFloorGrass2 ? C(84, 138, 58) : C(76, 132, 56));
      c.Fill(base);
      Speckle(c, seed, 60, {Darker(base, 0.18), Lighter(base, 0.12), Darker(base, 0.08)}, 2);
      if (n == kFloorGrassFlowers) Speckle(c, seed + 3, 9, {C(250, 250, 240), C(250, 220, 70), C(240, 130, 170)}, 1);
      break;
    }
    case kFloorDirt:
      c.Fill(C(146, 110, 74));
      Speckle(c, seed, 50, {C(128, 95, 62), C(160, 124, 86), C(118, 88, 60)});
      for (int i = 0; i < 4; ++i)
        WrapBlob(c, Hash(seed, i, 4) % kTileW, Hash(seed, i, 5) % kTileH, 1.6, 1.1, C(170, 150, 120));
      break;
    case kFloorRoad:
      stones(C(160, 152, 138), C(108, 100, 90), 12, 8, true, 1.0);
      break;
    case kFloorSand:
      c.Fill(C(218, 198, 144));
      for (int y = 3; y < kTileH; y += 8)
        for (int x = 0; x < kTileW; ++x) c.Set(x, (y + static_cast<int>(std::lround(1.5 * std::sin(x * 2 * kPi / kTileW)))) % kTileH, C(200, 178, 124));
      Speckle(c, seed, 25, {C(230, 212, 160), C(190, 170, 120)});
      break;
    case kFloorWater:
    case kFloorShallows: {
      const Rgba base = n == kFloorWater ? C(40, 92, 165) : C(78, 148, 178);
      c.Fill(base);
      for (int i = 0; i < 5; ++i) {
        const int x = static_cast<int>(Hash(seed, i, 6) % kTileW), y = static_cast<int>(Hash(seed, i, 7) % kTileH);
        for (int k = 0; k < 7; ++k) c.Set((x + k) % kTileW, (y + (k == 0 || k == 6 ? 1 : 0)) % kTileH, Lighter(base, 0.35));
      }
      if (n == kFloorShallows) Speckle(c, seed, 14, {C(150, 170, 150)});
      break;
    }
    case kFloorStone:
      stones(C(168, 168, 172), C(118, 118, 124), 24, 16, true, 0.6);
      break;
    case kFloorWood:
      c.Fill(C(90, 60, 35));
      for (int row = 0; row < 4; ++row) {
        const Rgba k = Mix(C(150, 105, 62), C(170, 122, 74), Hash01(seed, row, 8));
        c.FillRect(0, row * 8, kTileW, 7, k);
        for (int x = 0; x < kTileW; x += 5) c.Set((x + row * 7) % kTileW, row * 8 + 3, Darker(k, 0.12));
        c.FillRect((row * 19) % kTileW, row * 8, 1, 7, C(90, 60, 35));
      }
      break;
    case kFloorCave:
      c.Fill(C(96, 84, 72));
      Speckle(c, seed, 50, {C(84, 72, 62), C(110, 98, 84), C(76, 66, 58)});
      for (int i = 0; i < 3; ++i)
        WrapBlob(c, Hash(seed, i, 4) % kTileW, Hash(seed, i, 5) % kTileH, 3, 2, C(118, 106, 92));
      break;
    case kFloorDungeon:
      stones(C(78, 78, 90), C(48, 48, 56), 16, 16, true, 0.5);
      break;
    case kFloorSnow:
      c.Fill(C(236, 240, 250));
      Speckle(c, seed, 30, {C(214, 222, 240), C(250, 252, 255)});
      break;
    case kFloorLava:
      c.Fill(C(60, 40, 36));
      for (int i = 0; i < 5; ++i) {
        double x = Hash(seed, i, 4) % kTileW, y = Hash(seed, i, 5) % kTileH;
        for (int k = 0; k < 8; ++k) {
          const double nx = x + (Hash01(seed, i * 10 + k, 6) - 0.5) * 8, ny = y + (Hash01(seed, i * 10 + k, 7) - 0.5) * 6;
          for (int dx : {-kTileW, 0, kTileW})
            for (int dy : {-kTileH, 0, kTileH}) c.Line(x + dx, y + dy, nx + dx, ny + dy, k % 3 ? C(240, 110, 30) : C(255, 200, 60), 1.2);
          x = nx;
          y = ny;
        }
      }
      break;
    case kFloorSwamp:
      c.Fill(C(70, 84, 50));
      for (int i = 0; i < 3; ++i)
        WrapBlob(c, Hash(seed, i, 4) % kTileW, Hash(seed, i, 5) % kTileH, 6, 3, C(54, 74, 66));
      Speckle(c, seed, 30, {C(86, 100, 56), C(60, 70, 42)}, 2);
      break;
    case kFloorFarmland:
      c.Fill(C(120, 84, 54));
      for (int y = 0; y < kTileH; y += 4) c.FillRect(0, y, kTileW, 1, C(96, 66, 42));
      Speckle(c, seed, 20, {C(136, 98, 64)});
      break;
    case kFloorCarpet:
      c.Fill(C(160, 30, 40));
      for (int y = 0; y < kTileH; y += 16)
        for (int x = 0; x < kTileW; x += 16)
          c.FillPolygon({{x + 8.0, y + 3.0}, {x + 13.0, y + 8.0}, {x + 8.0, y + 13.0}, {x + 3.0, y + 8.0}}, C(220, 180, 70));
      break;
    case kFloorAsh:
      c.Fill(C(82, 72, 68));
      Speckle(c, seed, 40, {C(70, 62, 60), C(96, 86, 80)});
      Speckle(c, seed + 9, 5, {C(230, 110, 40)});
      break;
    case kFloorIce:
      c.Fill(C(186, 218, 236));
      for (int i = 0; i < 3; ++i) {
        const double x = Hash(seed, i, 4) % kTileW, y = Hash(seed, i, 5) % kTileH;
        c.Line(x, y, x + 9, y + 4, C(230, 245, 255), 1);
        c.Line(x + 9, y + 4, x + 13, y + 1, C(230, 245, 255), 1);
      }
      break;
    default:
      c.Fill(C(120, 120, 120));
      break;
  }
  return c;
}

// ============================================================================
// Scenery objects
// ============================================================================

// The whole pictures; the catalogue adds their cell pieces.
const std::vector<SceneryPicture> kWholeScenery = {
    // set 1: nature
    {1, 1, "oak tree", 144, 128, 1, 1, true},
    {1, 2, "pine tree", 48, 96, 1, 1, true},
    {1, 3, "bush", 48, 32, 1, 1},
    {1, 4, "large rock", 96, 64, 2, 1},
    {1, 5, "small rock", 48, 32, 1, 1},
    {1, 6, "flowers", 48, 32, 0, 0},
    {1, 7, "tall grass", 48, 32, 0, 0},
    {1, 8, "tree stump", 48, 32, 1, 1},
    {1, 9, "fallen log", 96, 32, 2, 1},
    {1, 10, "dead tree", 48, 96, 1, 1, true},
    {1, 11, "mushrooms", 48, 32, 0, 0},
    {1, 12, "reeds", 48, 32, 0, 0},
    {1, 13, "snowy pine", 48, 96, 1, 1, true},
    {1, 14, "boulders", 144, 96, 3, 1},
    {1, 15, "water lilies", 48, 32, 0, 0},
    {1, 16, "fruit tree", 144, 128, 1, 1, true},
    // set 2: village
    {2, 1, "house", 192, 192, 4, 2, true},
    {2, 2, "large house", 240, 192, 5, 2, true},
    {2, 3, "fence (east-west)", 48, 32, 1, 1},
    {2, 4, "fence (north-south)", 48, 32, 1, 1},
    {2, 5, "well", 96, 96, 2, 1, true},
    {2, 6, "signpost", 48, 64, 1, 1},
    {2, 7, "barrel", 48, 64, 1, 1},
    {2, 8, "crate", 48, 64, 1, 1},
    {2, 9, "market stall", 144, 128, 3, 1, true},
    {2, 10, "lamp post", 48, 96, 1, 1},
    {2, 11, "haystack", 96, 64, 2, 1},
    {2, 12, "cart", 96, 64, 2, 1},
    {2, 13, "stone wall", 48, 64, 1, 1},
    {2, 14, "gate arch", 144, 128, 3, 1, true},
    {2, 15, "anvil", 48, 32, 1, 1},
    {2, 16, "potion table", 96, 64, 2, 1},
    {2, 17, "statue", 48, 96, 1, 1},
    {2, 18, "bench", 96, 32, 2, 1},
    {2, 19, "tent", 144, 128, 3, 2, true},
    // set 3: caves and dungeons
    {3, 1, "cave wall", 48, 64, 1, 1},
    {3, 2, "tall rock wall", 48, 96, 1, 1},
    {3, 3, "stalagmite", 48, 64, 1, 1},
    {3, 4, "stone pillar", 48, 128, 1, 1},
    {3, 5, "bones", 48, 32, 0, 0},
    {3, 6, "skull", 48, 32, 0, 0},
    {3, 7, "torch stand", 48, 64, 1, 1},
    {3, 8, "treasure chest", 48, 32, 1, 1},
    {3, 9, "brick wall", 48, 64, 1, 1},
    {3, 10, "crystals", 48, 64, 1, 1},
    {3, 11, "cobweb", 48, 64, 0, 0},
    {3, 12, "coffin", 96, 32, 2, 1},
    {3, 13, "tombstone", 48, 64, 1, 1},
    {3, 14, "broken pillar", 48, 64, 1, 1},
    {3, 15, "lava rock", 48, 64, 1, 1},
    {3, 16, "iron bars", 48, 96, 1, 1},
    // set 4: special places
    {4, 1, "portal circle", 96, 64, 0, 0},
    {4, 2, "altar", 96, 64, 2, 1},
    {4, 3, "demon statue", 96, 128, 2, 1},
    {4, 4, "campfire", 48, 64, 1, 1},
    {4, 5, "ice crystal", 48, 96, 1, 1},
    {4, 6, "grave cross", 48, 64, 1, 1},
    {4, 7, "obelisk", 48, 128, 1, 1},
    {4, 8, "throne", 96, 96, 2, 1},
    {4, 9, "blood pool", 48, 32, 0, 0},
    {4, 10, "banner", 48, 96, 1, 1},
    {4, 11, "great dead tree", 144, 160, 1, 1, true},
};

// Helpers for scenery: simple shaded shapes with dark outlines.
void OutlinedEllipse(Canvas& c, double cx, double cy, double rx, double ry, Rgba fill) {
  c.FillEllipse(cx, cy, rx + 1, ry + 1, Darker(fill, 0.6));
  c.FillEllipse(cx, cy, rx, ry, fill);
}
void OutlinedRect(Canvas& c, int x, int y, int w, int h, Rgba fill) {
  c.FillRect(x, y, w, h, Darker(fill, 0.6));
  c.FillRect(x + 1, y + 1, w - 2, h - 2, fill);
}
void OutlinedPoly(Canvas& c, const std::vector<Point>& pts, Rgba fill) {
  c.FillPolygon(pts, fill);
  for (std::size_t i = 0; i < pts.size(); ++i)
    c.Line(pts[i].x, pts[i].y, pts[(i + 1) % pts.size()].x, pts[(i + 1) % pts.size()].y, Darker(fill, 0.6), 1);
}
void GroundShadow(Canvas& c, double cx, double cy, double rx, double ry) { c.FillEllipse(cx, cy, rx, ry, Rgba{0, 0, 1, 100}); }

void LeafCrown(Canvas& c, double cx, double cy, double r, Rgba leaf, std::uint32_t seed) {
  const Rgba dark = Darker(leaf, 0.25), light = Lighter(leaf, 0.18);
  for (int i = 0; i < 7; ++i) {
    const double a = i * 2 * kPi / 7, d = r * 0.55;
    OutlinedEllipse(c, cx + std::cos(a) * d, cy + std::sin(a) * d * 0.8, r * 0.5, r * 0.45, dark);
  }
  OutlinedEllipse(c, cx, cy, r * 0.75, r * 0.65, leaf);
  for (int i = 0; i < 10; ++i)
    c.FillCircle(cx + (Hash01(seed, i, 1) - 0.5) * r * 1.2, cy + (Hash01(seed, i, 2) - 0.6) * r, 2.5, light);
}

void Trunk(Canvas& c, double x, double top, double bottom, double w, Rgba bark) {
  c.FillPolygon({{x - w / 2 - 1, top}, {x + w / 2 + 1, top}, {x + w / 2 + 3, bottom}, {x - w / 2 - 3, bottom}}, Darker(bark, 0.55));
  c.FillPolygon({{x - w / 2, top}, {x + w / 2, top}, {x + w / 2 + 2, bottom - 1}, {x - w / 2 - 2, bottom - 1}}, bark);
  c.Line(x - 1, top + 4, x - 1, bottom - 4, Darker(bark, 0.2), 1);
}

void PineShape(Canvas& c, double x, double top, double bottom, Rgba leaf, bool snow) {
  Trunk(c, x, bottom - 18, bottom - 4, 6, C(110, 75, 45));
  const int layers = 4;
  for (int i = 0; i < layers; ++i) {
    const double y0 = top + i * (bottom - top - 20) / layers;
    const double y1 = y0 + (bottom - top - 20) / layers + 10;
    const double half = 8 + i * 4.5;
    OutlinedPoly(c, {{x, y0}, {x + half, y1}, {x - half, y1}}, i % 2 ? leaf : Darker(leaf, 0.12));
    if (snow) c.FillPolygon({{x, y0 + 1}, {x + half * 0.5, y0 + (y1 - y0) * 0.5}, {x - half * 0.5, y0 + (y1 - y0) * 0.5}}, C(240, 245, 255));
  }
}

void Rock(Canvas& c, double cx, double bottom, double w, double h, Rgba stone, std::uint32_t seed) {
  std::vector<Point> pts;
  for (int i = 0; i < 9; ++i) {
    const double a = kPi + i * kPi / 8;
    const double k = 0.85 + 0.15 * Hash01(seed, i, 3);
    pts.push_back({cx + std::cos(a) * w / 2 * k, bottom + std::sin(a) * h * k});
  }
  OutlinedPoly(c, pts, stone);
  c.FillEllipse(cx - w * 0.15, bottom - h * 0.6, w * 0.2, h * 0.15, Lighter(stone, 0.25));
}

Canvas SceneryCanvas(const SceneryPicture& s) {
  Canvas c(s.width, s.height);
  const double W = s.width, H = s.height, mid = W / 2;
  const std::uint32_t seed = static_cast<std::uint32_t>(s.set * 100 + s.number);
  const Rgba wood = C(140, 95, 55), stone = C(150, 148, 140), leaf = C(60, 135, 55);
  switch (s.set * 100 + s.number) {
    case 101:
    case 116:
      GroundShadow(c, mid, H - 8, 30, 7);
      Trunk(c, mid, H - 60, H - 6, 12, C(120, 80, 45));
      LeafCrown(c, mid, H - 82, 44, s.number == 1 ? leaf : C(70, 145, 60), seed);
      if (s.number == 16)
        for (int i = 0; i < 9; ++i) OutlinedEllipse(c, mid + (Hash01(seed, i, 4) - 0.5) * 60, H - 82 + (Hash01(seed, i, 5) - 0.5) * 40, 3, 3, C(220, 40, 40));
      break;
    case 102:
    case 113:
      GroundShadow(c, mid, H - 6, 16, 5);
      PineShape(c, mid, 4, H - 2, C(40, 110, 60), s.number == 13);
      break;
    case 103:
      GroundShadow(c, mid, H - 5, 18, 4);
      for (int i = 0; i < 5; ++i) OutlinedEllipse(c, 12 + i * 6, H - 12 - (i % 2) * 4, 9, 8, i % 2 ? leaf : Darker(leaf, 0.15));
      break;
    case 104:
      GroundShadow(c, mid, H - 6, 44, 8);
      Rock(c, mid, H - 6, 84, 48, stone, seed);
      break;
    case 105:
      GroundShadow(c, mid, H - 6, 16, 4);
      Rock(c, mid, H - 6, 30, 16, stone, seed);
      break;
    case 106:
      for (int i = 0; i < 8; ++i) {
        const double x = 6 + Hash01(seed, i, 1) * 36, y = 8 + Hash01(seed, i, 2) * 18;
        c.Line(x, y + 2, x, y + 6, C(60, 120, 50), 1);
        const Rgba petal = i % 3 == 0 ? C(250, 240, 90) : (i % 3 == 1 ? C(245, 120, 170) : C(250, 250, 250));
        for (int k = 0; k < 4; ++k) c.FillCircle(x + std::cos(k * kPi / 2) * 1.6, y + std::sin(k * kPi / 2) * 1.6, 1.3, petal);
        c.FillCircle(x, y, 1, C(240, 160, 40));
      }
      break;
    case 107:
    case 112:
      for (int i = 0; i < 14; ++i) {
        const double x = 4 + Hash01(seed, i, 1) * 40, y = H - 3 - Hash01(seed, i, 2) * 6;
        const double lean = (Hash01(seed, i, 3) - 0.5) * 6;
        c.Line(x, y, x + lean, y - 12 - Hash01(seed, i, 4) * 8, s.number == 7 ? C(90, 150, 60) : C(120, 140, 70), 1.6);
        if (s.number == 12 && i % 3 == 0) c.FillEllipse(x + lean, y - 18, 1.5, 3, C(120, 80, 50));
      }
      break;
    case 108:
      GroundShadow(c, mid, H - 6, 16, 4);
      OutlinedRect(c, static_cast<int>(mid - 10), static_cast<int>(H - 18), 20, 12, wood);
      OutlinedEllipse(c, mid, H - 18, 10, 4, C(200, 165, 110));
      c.Circle(mid, H - 18, 5, C(160, 120, 80), 1);
      break;
    case 109:
      GroundShadow(c, mid, H - 5, 42, 5);
      OutlinedRect(c, 6, static_cast<int>(H - 20), static_cast<int>(W - 16), 12, wood);
      OutlinedEllipse(c, W - 10, H - 14, 4, 6, C(200, 165, 110));
      break;
    case 110:
    case 411: {
      const bool big = s.number == 11;
      GroundShadow(c, mid, H - 6, big ? 26 : 14, 5);
      Trunk(c, mid, big ? 40 : 20, H - 4, big ? 12 : 7, C(100, 85, 70));
      auto branch = [&](double x0, double y0, double x1, double y1, double w) { c.Line(x0, y0, x1, y1, C(100, 85, 70), w); };
      const double k = big ? 1.8 : 1.0;
      branch(mid, H * 0.45, mid - 16 * k, H * 0.25, 3 * k);
      branch(mid, H * 0.35, mid + 15 * k, H * 0.15, 3 * k);
      branch(mid - 16 * k, H * 0.25, mid - 20 * k, H * 0.12, 2);
      branch(mid + 15 * k, H * 0.15, mid + 20 * k, H * 0.05, 2);
      branch(mid, H * 0.4, mid + 4 * k, H * 0.05, 2.5 * k);
      break;
    }
    case 111:
      for (int i = 0; i < 5; ++i) {
        const double x = 10 + i * 7, y = H - 6 - (i % 2) * 5;
        c.FillRect(static_cast<int>(x - 1), static_cast<int>(y - 4), 3, 5, C(235, 225, 200));
        OutlinedEllipse(c, x, y - 5, 5, 3, i % 2 ? C(200, 50, 40) : C(190, 140, 80));
      }
      break;
    case 114:
      GroundShadow(c, mid, H - 8, 66, 10);
      Rock(c, 36, H - 8, 66, 56, Darker(stone, 0.05), seed);
      Rock(c, 104, H - 8, 72, 70, stone, seed + 1);
      Rock(c, 70, H - 6, 50, 34, Lighter(stone, 0.08), seed + 2);
      break;
    case 115:
      for (int i = 0; i < 3; ++i) {
        const double x = 10 + i * 14, y = 10 + (i % 2) * 10;
        OutlinedEllipse(c, x, y, 7, 4, C(70, 150, 70));
        if (i == 1) c.FillCircle(x, y - 1, 2, C(250, 180, 210));
      }
      break;
    // ---- village ----
    case 201:
    case 202: {
      const double wallTop = H - 84, wallBottom = H - 4;
      GroundShadow(c, mid, H - 4, W / 2 - 6, 6);
      OutlinedRect(c, 10, static_cast<int>(wallTop), static_cast<int>(W - 20), static_cast<int>(wallBottom - wallTop), C(215, 195, 160));
      for (int x = 14; x < W - 14; x += 16) c.Line(x, wallTop + 2, x, wallBottom - 2, C(180, 150, 110), 1);
      c.FillRect(10, static_cast<int>(wallTop), static_cast<int>(W - 20), 4, wood);
      // roof
      OutlinedPoly(c, {{2, wallTop + 6}, {W - 2, wallTop + 6}, {W - 30, 6}, {30, 6}}, C(170, 60, 45));
      for (double y = 14; y < wallTop; y += 8) c.Line(30 - (y - 6) * 0.3, y, W - 30 + (y - 6) * 0.3, y, C(140, 45, 35), 1);
      // door and windows
      OutlinedRect(c, static_cast<int>(mid - 12), static_cast<int>(wallBottom - 40), 24, 40, C(110, 70, 40));
      c.FillCircle(mid + 7, wallBottom - 20, 1.5, C(230, 200, 80));
      for (double wx : {30.0, W - 58}) {
        OutlinedRect(c, static_cast<int>(wx), static_cast<int>(wallTop + 20), 28, 20, C(120, 170, 220));
        c.Line(wx + 14, wallTop + 21, wx + 14, wallTop + 39, C(110, 70, 40), 2);
      }
      break;
    }
    case 203:
    case 204: {
      const bool ew = s.number == 3;
      if (ew) {
        for (double x : {4.0, 24.0, 44.0}) OutlinedRect(c, static_cast<int>(x - 2), 8, 5, 22, wood);
        OutlinedRect(c, 0, 12, 48, 4, Lighter(wood, 0.1));
        OutlinedRect(c, 0, 21, 48, 4, Lighter(wood, 0.1));
      } else {
        OutlinedRect(c, 21, 2, 6, 28, wood);
        OutlinedRect(c, 22, 0, 4, 32, Lighter(wood, 0.1));
      }
      break;
    }
    case 205:
      GroundShadow(c, mid, H - 8, 40, 8);
      OutlinedEllipse(c, mid, H - 34, 34, 12, C(150, 150, 150));
      OutlinedRect(c, static_cast<int>(mid - 34), static_cast<int>(H - 34), 68, 26, stone);
      OutlinedEllipse(c, mid, H - 34, 26, 8, C(30, 50, 90));
      OutlinedRect(c, static_cast<int>(mid - 30), 6, 5, static_cast<int>(H - 40), wood);
      OutlinedRect(c, static_cast<int>(mid + 25), 6, 5, static_cast<int>(H - 40), wood);
      OutlinedPoly(c, {{mid - 40, 16}, {mid + 40, 16}, {mid, 2}}, C(160, 60, 45));
      break;
    case 206:
      GroundShadow(c, mid, H - 5, 10, 3);
      OutlinedRect(c, static_cast<int>(mid - 2), 14, 5, static_cast<int>(H - 18), wood);
      OutlinedPoly(c, {{6, 10}, {38, 10}, {44, 17}, {38, 24}, {6, 24}}, C(190, 150, 95));
      c.Line(10, 15, 34, 15, C(110, 80, 50), 1);
      c.Line(10, 19, 30, 19, C(110, 80, 50), 1);
      break;
    case 207:
      GroundShadow(c, mid, H - 5, 15, 4);
      OutlinedRect(c, static_cast<int>(mid - 13), static_cast<int>(H - 34), 26, 30, wood);
      for (double y : {H - 30, H - 12}) c.FillRect(static_cast<int>(mid - 13), static_cast<int>(y), 26, 2, C(90, 90, 100));
      OutlinedEllipse(c, mid, H - 34, 13, 4, Lighter(wood, 0.15));
      break;
    case 208:
      GroundShadow(c, mid, H - 5, 17, 4);
      OutlinedRect(c, static_cast<int>(mid - 15), static_cast<int>(H - 32), 30, 28, C(180, 135, 80));
      c.Line(mid - 14, H - 31, mid + 14, H - 5, C(130, 95, 55), 2);
      c.Line(mid + 14, H - 31, mid - 14, H - 5, C(130, 95, 55), 2);
      break;
    case 209:
      GroundShadow(c, mid, H - 6, 66, 7);
      OutlinedRect(c, 12, static_cast<int>(H - 44), static_cast<int>(W - 24), 36, wood);
      for (int i = 0; i < 6; ++i) OutlinedEllipse(c, 26 + i * 18, H - 48, 6, 5, i % 2 ? C(230, 70, 50) : C(240, 200, 60));
      OutlinedRect(c, 14, 30, 4, static_cast<int>(H - 60), wood);
      OutlinedRect(c, static_cast<int>(W - 18), 30, 4, static_cast<int>(H - 60), wood);
      for (int i = 0; i < 6; ++i)
        OutlinedPoly(c, {{8.0 + i * 22, 34}, {30.0 + i * 22, 34}, {30.0 + i * 22, 12}, {8.0 + i * 22, 12}}, i % 2 ? C(240, 240, 230) : C(200, 60, 60));
      break;
    case 210:
      GroundShadow(c, mid, H - 5, 10, 3);
      OutlinedRect(c, static_cast<int>(mid - 2), 14, 5, static_cast<int>(H - 18), C(60, 60, 70));
      c.Glow(mid, 12, 16, Rgba{255, 220, 120, 160});
      OutlinedRect(c, static_cast<int>(mid - 6), 4, 13, 14, C(250, 230, 150));
      break;
    case 211:
      GroundShadow(c, mid, H - 6, 42, 7);
      OutlinedEllipse(c, mid, H - 24, 40, 20, C(220, 190, 90));
      for (int i = 0; i < 12; ++i) c.Line(mid - 30 + i * 5, H - 36, mid - 28 + i * 5, H - 12, C(190, 160, 70), 1);
      break;
    case 212:
      GroundShadow(c, mid, H - 5, 42, 6);
      OutlinedRect(c, 12, static_cast<int>(H - 40), 70, 22, wood);
      OutlinedEllipse(c, 24, H - 14, 10, 10, C(110, 75, 45));
      OutlinedEllipse(c, 70, H - 14, 10, 10, C(110, 75, 45));
      c.Line(82, H - 30, 94, H - 22, wood, 3);
      break;
    case 213:
      GroundShadow(c, mid, H - 4, 24, 4);
      OutlinedRect(c, 0, 10, 48, static_cast<int>(H - 12), C(140, 138, 132));
      for (int row = 0; row < 6; ++row)
        for (int col = 0; col < 3; ++col) {
          const int x = col * 16 + (row % 2) * 8, y = 12 + row * 8;
          c.FrameRect(x, y, 16, 8, C(110, 108, 104));
        }
      OutlinedRect(c, 0, 6, 48, 6, Lighter(stone, 0.2));
      break;
    case 214:
      GroundShadow(c, mid, H - 5, 66, 6);
      OutlinedRect(c, 6, 30, 28, static_cast<int>(H - 34), stone);
      OutlinedRect(c, static_cast<int>(W - 34), 30, 28, static_cast<int>(H - 34), stone);
      OutlinedRect(c, 0, 14, static_cast<int>(W), 22, C(165, 160, 150));
      OutlinedPoly(c, {{0, 14}, {W, 14}, {W - 12, 2}, {12, 2}}, C(170, 60, 45));
      break;
    case 215:
      GroundShadow(c, mid, H - 5, 16, 4);
      OutlinedRect(c, static_cast<int>(mid - 5), static_cast<int>(H - 14), 10, 10, C(70, 70, 80));
      OutlinedPoly(c, {{mid - 16, H - 22}, {mid + 14, H - 22}, {mid + 8, H - 14}, {mid - 10, H - 14}}, C(90, 90, 100));
      break;
    case 216:
      GroundShadow(c, mid, H - 5, 42, 6);
      OutlinedRect(c, 8, static_cast<int>(H - 34), static_cast<int>(W - 16), 8, wood);
      OutlinedRect(c, 12, static_cast<int>(H - 26), 5, 22, wood);
      OutlinedRect(c, static_cast<int>(W - 17), static_cast<int>(H - 26), 5, 22, wood);
      for (int i = 0; i < 5; ++i) {
        const Rgba col = i % 3 == 0 ? C(220, 50, 50) : (i % 3 == 1 ? C(60, 110, 230) : C(60, 200, 90));
        OutlinedEllipse(c, 20 + i * 14, H - 40, 4, 5, col);
        c.FillRect(18 + i * 14, static_cast<int>(H - 49), 4, 4, C(230, 220, 200));
      }
      break;
    case 217:
      GroundShadow(c, mid, H - 5, 16, 4);
      OutlinedRect(c, static_cast<int>(mid - 14), static_cast<int>(H - 20), 28, 16, stone);
      {
        Stage st(s.width, s.height - 18, mid, H - 20, 4, 0.95);
        HumanLook statue;
        statue.skin = statue.torso = statue.arms = statue.legs = statue.boots = statue.trim = statue.hair = C(185, 185, 180);
        statue.eyes = C(140, 140, 135);
        statue.weapon = Weapon::Sword;
        statue.blade = statue.hilt = C(170, 170, 165);
        DrawHuman(st, statue, FrameSpec{Act::Stand, 4, 0, 4}, kLayerAll);
        c.Draw(st.Render(), 0, 0);
      }
      break;
    case 218:
      GroundShadow(c, mid, H - 4, 42, 4);
      OutlinedRect(c, 6, static_cast<int>(H - 20), static_cast<int>(W - 12), 6, wood);
      OutlinedRect(c, 10, static_cast<int>(H - 14), 4, 10, wood);
      OutlinedRect(c, static_cast<int>(W - 14), static_cast<int>(H - 14), 4, 10, wood);
      break;
    case 219:
      GroundShadow(c, mid, H - 6, 66, 8);
      OutlinedPoly(c, {{mid, 6}, {W - 6, H - 6}, {6, H - 6}}, C(200, 180, 140));
      OutlinedPoly(c, {{mid, 6}, {mid + 16, H - 6}, {mid - 16, H - 6}}, C(160, 140, 100));
      OutlinedPoly(c, {{mid, H - 44}, {mid + 12, H - 6}, {mid - 12, H - 6}}, C(70, 55, 40));
      break;
    // ---- caves and dungeons ----
    case 301:
    case 302:
    case 315: {
      const Rgba rock = s.number == 15 ? C(70, 50, 45) : C(110, 96, 84);
      OutlinedRect(c, 0, 6, 48, static_cast<int>(H - 6), rock);
      c.FillRect(1, 7, 46, 10, Lighter(rock, 0.15));
      for (int i = 0; i < 6; ++i) {
        const double x = Hash01(seed, i, 1) * 44 + 2, y = 20 + Hash01(seed, i, 2) * (H - 28);
        c.Line(x, y, x + 6, y + 3, Darker(rock, 0.3), 1);
      }
      if (s.number == 15)
        for (int i = 0; i < 3; ++i) c.Line(6 + i * 14, 22, 12 + i * 14, H - 6, C(250, 120, 30), 1.5);
      break;
    }
    case 303:
      GroundShadow(c, mid, H - 5, 14, 4);
      OutlinedPoly(c, {{mid, 6}, {mid + 12, H - 5}, {mid - 12, H - 5}}, C(130, 115, 100));
      c.Line(mid - 2, 16, mid - 5, H - 8, C(160, 145, 130), 1);
      break;
    case 304:
    case 314: {
      const bool broken = s.number == 14;
      GroundShadow(c, mid, H - 5, 18, 4);
      const double top = broken ? 24 : 10;
      OutlinedRect(c, static_cast<int>(mid - 11), static_cast<int>(top), 22, static_cast<int>(H - top - 8), C(170, 165, 155));
      for (double x = mid - 6; x <= mid + 6; x += 6) c.Line(x, top + 4, x, H - 12, C(140, 135, 128), 1);
      OutlinedRect(c, static_cast<int>(mid - 15), static_cast<int>(H - 12), 30, 8, C(150, 145, 138));
      if (broken) {
        OutlinedPoly(c, {{mid - 11, top}, {mid - 3, top - 8}, {mid + 4, top - 2}, {mid + 11, top - 10}, {mid + 11, top + 2}, {mid - 11, top + 2}}, C(170, 165, 155));
      } else {
        OutlinedRect(c, static_cast<int>(mid - 15), static_cast<int>(top - 6), 30, 8, C(150, 145, 138));
      }
      break;
    }
    case 305:
      for (int i = 0; i < 5; ++i) {
        const double x = 8 + i * 8, y = 14 + (i % 2) * 8;
        c.Line(x, y, x + 10, y - 4 + (i % 3) * 3, C(230, 225, 205), 2.5);
        c.FillCircle(x, y, 2, C(240, 235, 215));
      }
      break;
    case 306:
      OutlinedEllipse(c, mid, 16, 9, 8, C(235, 230, 210));
      c.FillCircle(mid - 3, 15, 2.2, C(50, 40, 40));
      c.FillCircle(mid + 3, 15, 2.2, C(50, 40, 40));
      c.FillRect(static_cast<int>(mid - 3), 21, 6, 3, C(200, 195, 180));
      break;
    case 307:
      GroundShadow(c, mid, H - 5, 10, 3);
      OutlinedRect(c, static_cast<int>(mid - 2), 22, 5, static_cast<int>(H - 26), C(90, 70, 50));
      OutlinedRect(c, static_cast<int>(mid - 6), 20, 13, 5, C(80, 80, 90));
      c.Glow(mid, 14, 14, Rgba{255, 170, 60, 170});
      c.FillPolygon({{mid, 4}, {mid + 5, 18}, {mid - 5, 18}}, C(250, 140, 40));
      c.FillPolygon({{mid, 10}, {mid + 2.5, 18}, {mid - 2.5, 18}}, C(255, 230, 120));
      break;
    case 308:
      GroundShadow(c, mid, H - 4, 18, 4);
      OutlinedRect(c, static_cast<int>(mid - 15), 12, 30, 16, C(150, 95, 45));
      OutlinedRect(c, static_cast<int>(mid - 15), 6, 30, 8, C(170, 110, 55));
      c.FillRect(static_cast<int>(mid - 15), 13, 30, 2, C(220, 180, 60));
      c.FillRect(static_cast<int>(mid - 2), 11, 4, 6, C(230, 200, 70));
      break;
    case 309:
      OutlinedRect(c, 0, 6, 48, static_cast<int>(H - 6), C(120, 70, 55));
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 4; ++col) c.FrameRect(col * 16 - (row % 2) * 8, 8 + row * 8, 16, 8, C(90, 50, 40));
      break;
    case 310:
      GroundShadow(c, mid, H - 5, 16, 4);
      c.Glow(mid, H - 24, 24, Rgba{120, 200, 255, 110});
      OutlinedPoly(c, {{mid - 2, 8}, {mid + 5, H - 6}, {mid - 8, H - 6}}, C(130, 210, 250));
      OutlinedPoly(c, {{mid + 9, 22}, {mid + 14, H - 6}, {mid + 4, H - 6}}, C(100, 180, 240));
      OutlinedPoly(c, {{mid - 12, 26}, {mid - 6, H - 6}, {mid - 16, H - 6}}, C(160, 225, 255));
      break;
    case 311:
      for (int i = 0; i < 6; ++i) {
        const double a = i * kPi / 10;
        c.Line(0, 0, std::cos(a) * 46, std::sin(a) * 46, Rgba{230, 230, 235, 200}, 1);
      }
      for (int r = 10; r <= 40; r += 10)
        for (int i = 0; i < 5; ++i) {
          const double a0 = i * kPi / 10, a1 = (i + 1) * kPi / 10;
          c.Line(std::cos(a0) * r, std::sin(a0) * r, std::cos(a1) * r, std::sin(a1) * r, Rgba{230, 230, 235, 190}, 1);
        }
      break;
    case 312:
      GroundShadow(c, mid, H - 4, 44, 4);
      OutlinedPoly(c, {{8, 8}, {W - 20, 6}, {W - 6, 14}, {W - 20, 26}, {8, 24}}, C(110, 75, 50));
      c.Line(20, 16, W - 24, 15, C(200, 180, 120), 2);
      break;
    case 313:
    case 406: {
      GroundShadow(c, mid, H - 5, 14, 4);
      if (s.number == 13) {
        OutlinedPoly(c, {{mid - 12, H - 5}, {mid - 12, 22}, {mid, 12}, {mid + 12, 22}, {mid + 12, H - 5}}, C(150, 150, 150));
        c.Line(mid - 5, 28, mid + 5, 28, C(110, 110, 110), 1);
        c.Line(mid, 23, mid, 38, C(110, 110, 110), 1);
      } else {
        OutlinedRect(c, static_cast<int>(mid - 3), 10, 7, static_cast<int>(H - 14), C(130, 110, 90));
        OutlinedRect(c, static_cast<int>(mid - 12), 20, 25, 7, C(130, 110, 90));
      }
      break;
    }
    case 316:
      for (double x = 4; x < 48; x += 8) OutlinedRect(c, static_cast<int>(x), 6, 4, static_cast<int>(H - 8), C(110, 110, 120));
      OutlinedRect(c, 0, 4, 48, 5, C(90, 90, 100));
      OutlinedRect(c, 0, static_cast<int>(H - 24), 48, 5, C(90, 90, 100));
      break;
    // ---- special places ----
    case 401:
      c.Glow(mid, H / 2 + 4, 46, Rgba{140, 120, 255, 120});
      c.FillEllipse(mid, H / 2 + 4, 40, 18, Rgba{80, 60, 200, 160});
      c.Circle(mid, H / 2 + 4, 30, C(200, 180, 255), 2);
      for (int i = 0; i < 8; ++i) {
        const double a = i * kPi / 4;
        c.FillCircle(mid + std::cos(a) * 36, H / 2 + 4 + std::sin(a) * 16, 2.5, C(230, 220, 255));
      }
      break;
    case 402:
      GroundShadow(c, mid, H - 5, 42, 6);
      OutlinedRect(c, 10, static_cast<int>(H - 34), static_cast<int>(W - 20), 28, C(160, 155, 150));
      OutlinedRect(c, 4, static_cast<int>(H - 42), static_cast<int>(W - 8), 10, C(185, 180, 172));
      c.Glow(mid, H - 50, 14, Rgba{255, 80, 60, 200});
      OutlinedEllipse(c, mid, H - 46, 5, 3, C(200, 40, 40));
      break;
    case 403: {
      GroundShadow(c, mid, H - 5, 40, 6);
      OutlinedRect(c, 12, static_cast<int>(H - 22), static_cast<int>(W - 24), 18, C(90, 80, 80));
      Stage st(s.width, s.height - 20, mid, H - 22, 4, 1.5);
      Figure demon = MonsterFigure(14);
      demon.human.skin = demon.human.torso = demon.human.arms = demon.human.legs = demon.human.boots = C(100, 90, 95);
      demon.human.wingColour = C(80, 70, 75);
      demon.human.eyes = C(250, 60, 40);
      DrawHuman(st, demon.human, FrameSpec{Act::Stand, 4, 0, 4}, kLayerAll);
      c.Draw(st.Render(), 0, 0);
      break;
    }
    case 404:
      GroundShadow(c, mid, H - 6, 16, 4);
      for (int i = 0; i < 5; ++i) {
        const double a = i * 2 * kPi / 5;
        OutlinedEllipse(c, mid + std::cos(a) * 9, H - 10 + std::sin(a) * 3, 5, 3, C(130, 125, 120));
      }
      c.Line(mid - 10, H - 12, mid + 10, H - 16, C(110, 70, 40), 3);
      c.Line(mid - 10, H - 16, mid + 10, H - 12, C(110, 70, 40), 3);
      c.Glow(mid, H - 24, 22, Rgba{255, 160, 50, 150});
      c.FillPolygon({{mid, H - 44}, {mid + 9, H - 14}, {mid - 9, H - 14}}, C(245, 120, 30));
      c.FillPolygon({{mid, H - 34}, {mid + 5, H - 14}, {mid - 5, H - 14}}, C(255, 220, 100));
      break;
    case 405:
      GroundShadow(c, mid, H - 5, 16, 4);
      c.Glow(mid, H - 40, 30, Rgba{180, 230, 255, 100});
      OutlinedPoly(c, {{mid, 4}, {mid + 12, 30}, {mid + 8, H - 5}, {mid - 8, H - 5}, {mid - 12, 30}}, C(170, 220, 250));
      c.Line(mid - 3, 12, mid - 5, H - 12, C(230, 250, 255), 2);
      break;
    case 407:
      GroundShadow(c, mid, H - 5, 14, 4);
      OutlinedPoly(c, {{mid, 4}, {mid + 9, 16}, {mid + 9, H - 6}, {mid - 9, H - 6}, {mid - 9, 16}}, C(70, 65, 80));
      for (int i = 0; i < 4; ++i) c.FillCircle(mid, 26.0 + i * 22, 2.5, C(150, 110, 255));
      c.Glow(mid, 26, 10, Rgba{150, 110, 255, 200});
      break;
    case 408:
      GroundShadow(c, mid, H - 5, 40, 6);
      OutlinedRect(c, 16, 8, static_cast<int>(W - 32), static_cast<int>(H - 30), C(170, 40, 50));
      OutlinedRect(c, 8, static_cast<int>(H - 40), static_cast<int>(W - 16), 36, C(200, 160, 60));
      OutlinedRect(c, 20, static_cast<int>(H - 44), static_cast<int>(W - 40), 8, C(170, 40, 50));
      for (int i = 0; i < 3; ++i) OutlinedEllipse(c, 26 + i * 22, 10, 4, 4, C(240, 210, 80));
      break;
    case 409:
      c.FillEllipse(mid, 16, 18, 9, C(140, 20, 25));
      c.FillEllipse(mid - 5, 14, 8, 4, C(175, 35, 40));
      c.FillEllipse(mid + 14, 22, 4, 2, C(140, 20, 25));
      break;
    case 410:
      GroundShadow(c, mid, H - 5, 10, 3);
      OutlinedRect(c, static_cast<int>(mid - 2), 4, 4, static_cast<int>(H - 8), C(110, 80, 50));
      OutlinedPoly(c, {{mid + 2, 8}, {mid + 20, 8}, {mid + 20, 50}, {mid + 11, 42}, {mid + 2, 50}}, C(170, 40, 50));
      c.FillCircle(mid + 11, 24, 4, C(240, 200, 70));
      break;
    default:
      OutlinedRect(c, 2, 2, s.width - 4, s.height - 4, C(200, 0, 200));
      break;
  }
  return c;
}

// ============================================================================
// Effects: death bursts, screen effects, skills, aura, glow and flash
// ============================================================================

// A ring of sparks: `count` dots on an ellipse.
void SparkRing(Canvas& c, double cx, double cy, double rx, double ry, int count, double size, Rgba col, double turn = 0) {
  for (int i = 0; i < count; ++i) {
    const double a = turn + i * 2 * kPi / count;
    c.FillCircle(cx + std::cos(a) * rx, cy + std::sin(a) * ry, size, col);
  }
}

// A four-pointed star.
void Star(Canvas& c, double cx, double cy, double r, Rgba col) {
  const double k = r * 0.28;
  c.FillPolygon({{cx, cy - r}, {cx + k, cy - k}, {cx + r, cy}, {cx + k, cy + k}, {cx, cy + r}, {cx - k, cy + k}, {cx - r, cy}, {cx - k, cy - k}}, col);
}

// A jagged bolt from (x0, y0) to (x1, y1).
void Bolt(Canvas& c, double x0, double y0, double x1, double y1, std::uint32_t seed, Rgba outer, Rgba inner, double width) {
  const int steps = 7;
  double px = x0, py = y0;
  for (int i = 1; i <= steps; ++i) {
    const double t = double(i) / steps;
    double nx = x0 + (x1 - x0) * t, ny = y0 + (y1 - y0) * t;
    if (i < steps) nx += (Hash01(seed, i, 1) - 0.5) * 14;
    c.Line(px, py, nx, ny, outer, width + 3);
    c.Line(px, py, nx, ny, inner, width);
    px = nx;
    py = ny;
  }
}

// Death bursts of monster types 1..3: 108 x 122 pictures, the body at (54, 116).
Canvas DeadFrame(int type, int i) {
  Canvas c(108, 122);
  const double t = (i - 1) / 7.0;  // 0..1 over the eight frames
  const double cx = 54, cy = 100;
  switch (type) {
    case 1:  // a crimson splash
      for (int k = 0; k < 14; ++k) {
        const double a = k * 2 * kPi / 14 + Hash01(1, k) * 0.4;
        const double d = 6 + t * (26 + Hash01(1, k, 2) * 18);
        const double drop = t * t * 30;
        c.FillCircle(cx + std::cos(a) * d, cy - 20 + std::sin(a) * d * 0.7 + drop, 4 * (1 - t * 0.6), WithAlpha(C(200, 20, 30), static_cast<int>(255 * (1 - t * 0.5))));
      }
      c.FillEllipse(cx, cy + 12, 8 + t * 22, 3 + t * 8, WithAlpha(C(150, 10, 20), 200));
      break;
    case 2:  // grey ghost smoke rising
      for (int k = 0; k < 6; ++k) {
        const double y = cy - t * 70 - k * 8;
        const double r = 10 + t * 10 - k;
        if (r > 0) c.Glow(cx + std::sin(k + t * 6) * 8, y, r * 1.6, WithAlpha(C(200, 205, 215), static_cast<int>(220 * (1 - t * 0.7))));
      }
      if (i >= 3) {
        const double y = cy - 30 - t * 50;
        c.FillEllipse(cx, y, 9, 11, WithAlpha(C(235, 240, 250), static_cast<int>(230 * (1 - t * 0.6))));
        c.FillCircle(cx - 3, y - 2, 2, WithAlpha(C(40, 40, 60), 230));
        c.FillCircle(cx + 3, y - 2, 2, WithAlpha(C(40, 40, 60), 230));
      }
      break;
    default:  // a great burst of fire and gold
      c.Glow(cx, cy - 40, 20 + t * 34, WithAlpha(C(255, 180, 60), static_cast<int>(240 * (1 - t * 0.7))));
      c.Glow(cx, cy - 40, 8 + t * 16, WithAlpha(C(255, 250, 200), static_cast<int>(255 * (1 - t * 0.8))));
      for (int k = 0; k < 12; ++k) {
        const double a = k * 2 * kPi / 12;
        const double d = 10 + t * 44;
        Star(c, cx + std::cos(a) * d, cy - 40 + std::sin(a) * d * 0.8, 5 * (1 - t * 0.5), WithAlpha(C(255, 220, 90), static_cast<int>(255 * (1 - t * 0.6))));
      }
      break;
  }
  return c;
}

// Screen effects 1..10 (see the frame counts): drawn over the player or a cell.
Canvas ScreenEffectFrame(int set, int i, int frames) {
  const double t = frames > 1 ? (i - 1.0) / (frames - 1.0) : 0.0;
  switch (set) {
    case 1: {  // level-up: a column of golden light with rising rings (80 x 130)
      Canvas c(80, 130);
      c.Glow(40, 90, 36, WithAlpha(C(255, 230, 120), static_cast<int>(200 * (1 - t * 0.5))));
      c.FillRect(28, 0, 24, 128, WithAlpha(C(255, 240, 160), static_cast<int>(90 * (1 - t * 0.6))));
      for (int k = 0; k < 3; ++k) {
        const double y = 120 - std::fmod(t * 110 + k * 38, 120);
        c.Circle(40, y, 26, WithAlpha(C(255, 215, 80), 230), 2.5);
      }
      for (int k = 0; k < 6; ++k) Star(c, 40 + std::sin(k * 2.1 + t * 5) * 28, 120 - std::fmod(k * 21 + t * 140, 120), 4, C(255, 255, 220));
      return c;
    }
    case 2: {  // a blue cast swirl around the body (104 x 56)
      Canvas c(104, 56);
      c.Glow(52, 30, 40 * (0.5 + t * 0.5), WithAlpha(C(110, 170, 255), static_cast<int>(180 * (1 - t * 0.6))));
      SparkRing(c, 52, 30, 34 * (0.4 + t * 0.6), 14 * (0.4 + t * 0.6), 10, 2.5, C(200, 230, 255), t * 3);
      return c;
    }
    case 3: {  // paralysis: yellow sparks crackling around the body (72 x 80)
      Canvas c(72, 80);
      for (int k = 0; k < 3; ++k) {
        const double a = k * 2.1 + i * 1.3;
        Bolt(c, 36 + std::cos(a) * 24, 20 + std::sin(a) * 16, 36 + std::cos(a + 2.4) * 22, 60 + std::sin(a + 2.4) * 12,
             static_cast<std::uint32_t>(i * 7 + k), WithAlpha(C(255, 240, 120), 160), C(255, 255, 230), 1.2);
      }
      return c;
    }
    case 4: {  // an arrow strikes: a flying arrow then a spark (72 x 80)
      Canvas c(72, 80);
      if (i <= 4) {
        const double x = 6 + t * 2.0 * 30;
        c.Line(x, 24 + x * 0.3, x + 22, 24 + (x + 22) * 0.3, C(150, 110, 60), 2);
        c.FillPolygon({{x + 28, 24 + (x + 28) * 0.3}, {x + 20, 20 + (x + 20) * 0.3}, {x + 21, 28 + (x + 21) * 0.3}}, C(200, 205, 215));
        c.Line(x - 2, 23 + x * 0.3, x + 3, 20 + x * 0.3, C(230, 230, 230), 2);
      } else {
        Star(c, 38, 40, 10 + (i - 4) * 3, WithAlpha(C(255, 240, 200), static_cast<int>(255 - (i - 5) * 60)));
      }
      return c;
    }
    case 5: {  // poison: a green cloud with bubbles (112 x 90)
      Canvas c(112, 90);
      for (int k = 0; k < 5; ++k)
        c.Glow(56 + std::cos(k * 1.3 + t * 2) * 22, 56 - t * 20 + std::sin(k * 1.7) * 10, 22 + t * 8,
               WithAlpha(C(90, 220, 80), static_cast<int>(170 * (1 - t * 0.5))));
      for (int k = 0; k < 7; ++k)
        c.Circle(30 + k * 9, 70 - std::fmod(k * 13 + t * 60, 60), 3, C(170, 255, 140), 1.2);
      return c;
    }
    case 6: {  // thorns from the ground (102 x 118)
      Canvas c(102, 118);
      const double h = 20 + 60 * std::sin(std::min(1.0, t * 1.4) * kPi / 2) * (t > 0.8 ? (1 - t) * 5 : 1);
      for (int k = 0; k < 5; ++k) {
        const double x = 20 + k * 15, base = 108 - (k % 2) * 6;
        OutlinedPoly(c, {{x - 5, base}, {x + 5, base}, {x + (k - 2) * 3, base - h * (0.6 + 0.1 * (k % 3))}}, C(110, 160, 60));
      }
      return c;
    }
    case 7: {  // a magic bolt bursting on the body (122 x 128)
      Canvas c(122, 128);
      const double r = 10 + t * 40;
      c.Glow(61, 80, r, WithAlpha(C(180, 120, 255), static_cast<int>(220 * (1 - t * 0.6))));
      SparkRing(c, 61, 80, r * 0.9, r * 0.6, 12, 2.4, C(230, 210, 255), t * 2);
      c.Glow(61, 80, r * 0.35, WithAlpha(C(255, 255, 255), 230));
      return c;
    }
    case 8: {  // the transformation: a purple swirl that closes in (128 x 110)
      Canvas c(128, 110);
      const double r = 60 * (1 - t * 0.7);
      for (int k = 0; k < 16; ++k) {
        const double a = k * 2 * kPi / 16 + t * 6;
        Star(c, 64 + std::cos(a) * r, 70 + std::sin(a) * r * 0.45 - k * 2.5, 4, C(230, 150, 255));
      }
      c.Glow(64, 64, 30 + t * 20, WithAlpha(C(190, 90, 255), static_cast<int>(120 + 100 * t)));
      return c;
    }
    case 9: {  // fire on the body (128 x 115)
      Canvas c(128, 115);
      for (int k = 0; k < 7; ++k) {
        const double x = 30 + k * 11, h = 30 + 26 * std::fabs(std::sin(k * 1.7 + i));
        c.FillPolygon({{x - 9, 108}, {x + 9, 108}, {x + std::sin(i + k) * 4, 108 - h}}, WithAlpha(C(245, 110, 30), 230));
        c.FillPolygon({{x - 5, 108}, {x + 5, 108}, {x + std::sin(i + k) * 3, 108 - h * 0.6}}, WithAlpha(C(255, 220, 90), 240));
      }
      return c;
    }
    default: {  // 10: arrival, a blue column of light (80 x 120)
      Canvas c(80, 120);
      const double w = 30 * std::sin((0.15 + t * 0.85) * kPi);
      c.FillRect(static_cast<int>(40 - w / 2), 0, static_cast<int>(std::max(1.0, w)), 118, WithAlpha(C(150, 210, 255), 150));
      c.Glow(40, 100, 34, WithAlpha(C(200, 240, 255), 200));
      for (int k = 0; k < 6; ++k) Star(c, 40 + std::sin(k * 2.4) * 20, std::fmod(k * 19 + t * 90, 118), 3, C(240, 250, 255));
      return c;
    }
  }
}

// A skill frame and its offset (x, y) from the point the game draws it at.
struct SkillFrame {
  Canvas pic;
  int x = 0, y = 0;
};

// The player's feet relative to (384, 256), the point the skill sets centred on the player use.
constexpr int kPlayerFootFromSkillX = 360 - 384;
constexpr int kPlayerFootFromSkillY = 250 - 256;
// A cell's feet relative to the cell's corner (cell-anchored sets).
constexpr int kCellFootX = 24, kCellFootY = 26;

SkillFrame Centred(Canvas pic, double footX, double footY, double atX, double atY) {
  SkillFrame f;
  f.x = static_cast<int>(std::lround(footX - atX));
  f.y = static_cast<int>(std::lround(footY - atY));
  f.pic = std::move(pic);
  return f;
}

SkillFrame SkillPicture(int set, int i, int frames) {
  switch (set) {
    case 2:
    case 3: {  // air slash / fire-dragon sword: an arc swept in front of the player
      const int d = (i - 1) / 6, step = (i - 1) % 6;
      const Facing f = FacingOf(d);
      Canvas c(120, 100);
      const double cx = 60 + f.fx * 30, cy = 50 + f.fy * 18;
      const double base = std::atan2(f.fy, f.fx);
      const double sweep = (step + 1) / 6.0;
      const bool fire = set == 3;
      for (int k = 0; k < 14; ++k) {
        const double u = k / 13.0;
        if (u > sweep) break;
        const double a = base - 1.2 + u * 2.4;
        const double r = 26;
        const double px = cx + std::cos(a) * r, py = cy + std::sin(a) * r * 0.6;
        const double fade = 1 - (sweep - u);
        if (fire) {
          c.Glow(px, py, 9, WithAlpha(C(255, 120, 30), static_cast<int>(220 * fade)));
          c.FillCircle(px, py, 3, WithAlpha(C(255, 230, 120), static_cast<int>(255 * fade)));
        } else {
          c.FillCircle(px, py, 4.5 * fade + 1.5, WithAlpha(C(200, 235, 255), static_cast<int>(230 * fade)));
          c.FillCircle(px, py, 2 * fade + 0.8, WithAlpha(C(255, 255, 255), static_cast<int>(250 * fade)));
        }
      }
      return Centred(std::move(c), kPlayerFootFromSkillX, kPlayerFootFromSkillY - 18, 60, 50);
    }
    case 4: {  // shock slash: a ring bursting out around the player, stronger ahead
      const int d = (i - 1) / 4, step = (i - 1) % 4;
      const Facing f = FacingOf(d);
      Canvas c(150, 100);
      const double r = 16 + step * 14;
      c.Circle(75, 60, r, WithAlpha(C(240, 240, 200), 220 - step * 40), 3);
      for (int k = 0; k < 3; ++k) Star(c, 75 + f.fx * (r + 4) + f.rx * (k - 1) * 8, 60 + f.fy * (r * 0.6 + 3) + f.ry * (k - 1) * 5, 6, C(255, 250, 200));
      Canvas squashed = c.Scaled(150, 70);
      return Centred(std::move(squashed), kPlayerFootFromSkillX, kPlayerFootFromSkillY - 4, 75, 42);
    }
    case 5: {  // corpse alchemy: green-violet smoke rising from the cell
      const double t = (i - 1.0) / (frames - 1.0);
      Canvas c(72, 90);
      for (int k = 0; k < 5; ++k)
        c.Glow(36 + std::sin(k * 1.9 + t * 5) * 12, 80 - t * 40 - k * 9, 14, WithAlpha(k % 2 ? C(140, 90, 220) : C(110, 220, 120), static_cast<int>(200 * (1 - t * 0.5))));
      SparkRing(c, 36, 80, 22, 8, 8, 2, C(220, 255, 220), t * 4);
      return Centred(std::move(c), kCellFootX, kCellFootY, 36, 80);
    }
    case 7: {  // spirit shield: a bubble forming around the player
      const double t = (i - 1.0) / (frames - 1.0);
      Canvas c(80, 90);
      const double r = 20 + 16 * t;
      c.FillEllipse(40, 50, r, r * 1.15, WithAlpha(C(120, 190, 255), 70));
      c.Circle(40, 50, r, WithAlpha(C(180, 225, 255), 220), 2);
      SparkRing(c, 40, 50, r, r * 1.15, 6, 2, C(240, 250, 255), t * 3);
      return Centred(std::move(c), kPlayerFootFromSkillX, kPlayerFootFromSkillY, 40, 82);
    }
    case 8: {  // heal: green sparkles rising around the player
      const double t = (i - 1.0) / (frames - 1.0);
      Canvas c(80, 100);
      c.Glow(40, 70, 30, WithAlpha(C(120, 255, 140), static_cast<int>(150 * (1 - t * 0.5))));
      for (int k = 0; k < 8; ++k) Star(c, 40 + std::sin(k * 2.3) * 26, 92 - std::fmod(k * 11 + t * 80, 90), 4, C(220, 255, 220));
      return Centred(std::move(c), kPlayerFootFromSkillX, kPlayerFootFromSkillY, 40, 92);
    }
    case 9: {  // summoning sparkles
      const double t = (i - 1.0) / (frames - 1.0);
      Canvas c(60, 60);
      for (int k = 0; k < 6; ++k) Star(c, 30 + std::cos(k + t * 6) * 20 * t, 30 + std::sin(k + t * 6) * 20 * t, 4, C(255, 240, 160));
      Star(c, 30, 30, 8, C(255, 255, 230));
      return Centred(std::move(c), kPlayerFootFromSkillX, kPlayerFootFromSkillY - 30, 30, 30);
    }
    case 10: {  // snowflakes (drawn at the particles' own positions)
      const int r = 2 + i;
      Canvas c(2 * r + 1, 2 * r + 1);
      for (int k = 0; k < 3; ++k) {
        const double a = k * kPi / 3;
        c.Line(r + std::cos(a) * r, r + std::sin(a) * r, r - std::cos(a) * r, r - std::sin(a) * r, C(235, 245, 255), 1);
      }
      c.Set(r, r, C(255, 255, 255));
      SkillFrame f;
      f.pic = std::move(c);
      return f;
    }
    case 11: {  // lightning: a spark gathers above the player, then a bolt strikes the cell
      if (i <= 3) {
        Canvas c(40, 40);
        c.Glow(20, 20, 8 + i * 4, WithAlpha(C(200, 220, 255), 230));
        Star(c, 20, 20, 5 + i * 2, C(255, 255, 255));
        // drawn at (336 + x, 160 + y): over the player's head
        return Centred(std::move(c), 24, 20, 20, 20);
      }
      Canvas c(50, 150);
      const double fade = 1 - (i - 4) / 5.0;
      Bolt(c, 25, 0, 25, 140, static_cast<std::uint32_t>(i), WithAlpha(C(150, 190, 255), static_cast<int>(200 * fade + 40)),
           WithAlpha(C(255, 255, 255), static_cast<int>(230 * fade + 25)), 2);
      c.Glow(25, 140, 16, WithAlpha(C(200, 220, 255), static_cast<int>(200 * fade + 30)));
      return Centred(std::move(c), kCellFootX, kCellFootY, 25, 140);
    }
    case 12: {  // a rolling rock (BMP: solid colours only)
      Canvas c(28, 28);
      OutlinedEllipse(c, 14, 14, 12, 11, C(140, 125, 105));
      const double a = i * kPi / 4;
      c.Line(14 + std::cos(a) * 8, 14 + std::sin(a) * 8, 14 - std::cos(a) * 6, 14 - std::sin(a) * 6, C(100, 88, 72), 2);
      c.FillCircle(10, 10, 2.5, C(175, 160, 140));
      return Centred(std::move(c), kCellFootX, kCellFootY - 6, 14, 14);
    }
    case 13: {  // whirlwind over the 3 x 3 block around the cell
      const double t = (i - 1.0) / (frames - 1.0);
      Canvas c(150, 130);
      const double grow = std::sin(std::min(1.0, t * 1.3) * kPi / 2);
      for (int k = 0; k < 9; ++k) {
        const double y = 120 - k * 12;
        const double rx = (14 + k * 6) * (0.5 + 0.5 * grow);
        c.Circle(75 + std::sin(k + i) * 4, y, rx, WithAlpha(C(210, 240, 230), static_cast<int>(200 * (1 - t * 0.4))), 2);
      }
      c.Glow(75, 70, 60, WithAlpha(C(180, 230, 220), 70));
      Canvas squashed = c.Scaled(150, 110);
      return Centred(std::move(squashed), kCellFootX, kCellFootY + 10, 75, 102);
    }
    default: {  // 15: hell fire, a ring of flames over the 5 x 5 block around the player
      const double t = (i - 1.0) / (frames - 1.0);
      Canvas c(250, 200);
      const double r = 40 + 70 * t;
      for (int k = 0; k < 18; ++k) {
        const double a = k * 2 * kPi / 18 + t;
        const double x = 125 + std::cos(a) * r, y = 120 + std::sin(a) * r * 0.55;
        const double h = 26 + 14 * std::fabs(std::sin(k * 1.3 + i));
        c.FillPolygon({{x - 8, y}, {x + 8, y}, {x + std::sin(i + k) * 3, y - h}}, WithAlpha(C(240, 90, 30), 230));
        c.FillPolygon({{x - 4, y}, {x + 4, y}, {x, y - h * 0.6}}, WithAlpha(C(255, 220, 90), 240));
      }
      c.Glow(125, 120, r, WithAlpha(C(255, 120, 40), 60));
      // drawn at (336 + x, 224 + y): the player's feet are at (24, 26) from there
      return Centred(std::move(c), 24, 26, 125, 120);
    }
  }
}

Canvas AuraPicture() {
  Canvas c(26, 24);
  c.Glow(13, 12, 13, Rgba{255, 255, 255, 230});
  c.Circle(13, 12, 11, Rgba{255, 255, 255, 200}, 1.5);
  return c;
}

Canvas SpiritGlowPicture() {
  Canvas c(24, 24);
  Star(c, 12, 12, 11, C(255, 235, 150));
  Star(c, 12, 12, 6, C(255, 255, 230));
  return c;
}

Canvas FlashPicture() { return Canvas(2, 2, C(255, 255, 255)); }

// ============================================================================
// The start-up and story pack "date/Game"
// ============================================================================

// A banded sky: a few flat steps between two colours (flat colours keep pictures small).
void BandedSky(Canvas& c, int h, Rgba top, Rgba bottom, int bands) {
  for (int b = 0; b < bands; ++b) {
    const int y0 = h * b / bands, y1 = h * (b + 1) / bands;
    c.FillRect(0, y0, c.W(), y1 - y0, Mix(top, bottom, bands > 1 ? double(b) / (bands - 1) : 0.0));
  }
}

void Mountains(Canvas& c, int baseY, int height, Rgba col, std::uint32_t seed) {
  std::vector<Point> pts = {{0, static_cast<double>(c.H())}};
  for (int x = 0; x <= c.W(); x += 20) pts.push_back({static_cast<double>(x), baseY - height * (0.4 + 0.6 * Hash01(seed, x))});
  pts.push_back({static_cast<double>(c.W()), static_cast<double>(c.H())});
  c.FillPolygon(pts, col);
}

void Hut(Canvas& c, int x, int groundY, int w, Rgba wall, Rgba roof) {
  c.FillRect(x, groundY - w * 2 / 3, w, w * 2 / 3, wall);
  c.FillPolygon({{x - 4.0, groundY - w * 2 / 3.0}, {x + w + 4.0, groundY - w * 2 / 3.0}, {x + w / 2.0, groundY - w * 1.25}}, roof);
  c.FillRect(x + w / 2 - 3, groundY - 12, 7, 12, Darker(wall, 0.5));
}

// A standing hero seen from behind or the side, for the story pictures.
void StoryFigure(Canvas& c, int footX, int footY, int dir, double scale, const Figure& fig) {
  Stage st(c.W(), c.H(), footX, footY, dir, scale);
  DrawFigure(st, fig, FrameSpec{Act::Stand, dir, 0, 4});
  c.Draw(st.Render(), 0, 0);
}

void Caption(Canvas& c, const std::string& text, int y, int size, Rgba col) {
  c.Text(text, c.W() / 2 + 1, y + 1, size, C(20, 20, 30), Align::Centre);
  c.Text(text, c.W() / 2, y, size, col, Align::Centre);
}

Canvas GamePicture(int n) {
  Figure hero = BodyFigure(1);
  hero.human.weapon = Weapon::Sword;
  switch (n) {
    case 1: {  // the story begins: the village at dawn, the hero sets out
      Canvas c(400, 200);
      BandedSky(c, 130, C(250, 190, 120), C(255, 235, 190), 5);
      c.FillCircle(300, 110, 22, C(255, 245, 210));
      Mountains(c, 120, 50, C(120, 110, 150), 11);
      Mountains(c, 140, 30, C(90, 120, 100), 12);
      c.FillRect(0, 140, 400, 60, C(96, 140, 70));
      Hut(c, 40, 150, 40, C(210, 190, 150), C(170, 70, 50));
      Hut(c, 95, 148, 34, C(200, 180, 140), C(160, 60, 45));
      c.FillPolygon({{180, 200}, {230, 200}, {214, 140}, {204, 140}}, C(180, 150, 100));
      StoryFigure(c, 206, 182, 0, 1.3, hero);
      Caption(c, "魔物出没，无名村危在旦夕……", 8, 18, C(255, 250, 235));
      Caption(c, "按回车键继续", 176, 12, C(255, 255, 220));
      return c;
    }
    case 2: {  // the lord of demons falls
      Canvas c(400, 200);
      BandedSky(c, 200, C(40, 20, 50), C(110, 40, 60), 6);
      for (int k = 0; k < 8; ++k) {
        const double a = k * kPi / 8 + 0.2;
        c.Line(200, 120, 200 + std::cos(a) * 240, 120 - std::sin(a) * 200, Rgba{255, 230, 160, 90}, 8);
      }
      c.FillRect(0, 150, 400, 50, C(70, 50, 55));
      {
        Figure demon = MonsterFigure(17);
        demon.human.torso = C(150, 60, 150);
        Stage st(400, 200, 230, 160, 2, 1.6);
        FrameSpec f{Act::Die, 2, 6, 7};
        f.fall = 90;
        st.FallBack(90);
        st.Tint(C(90, 80, 80), 0.4);
        DrawHuman(st, demon.human, f, kLayerAll);
        c.Draw(st.Render(), 0, 0);
      }
      StoryFigure(c, 130, 176, 2, 1.5, hero);
      Caption(c, "恶魔之王倒下了。", 12, 20, C(255, 240, 200));
      return c;
    }
    case 3: {  // peace returns
      Canvas c(400, 200);
      BandedSky(c, 140, C(110, 170, 240), C(200, 230, 255), 5);
      c.FillCircle(80, 50, 24, C(255, 240, 150));
      Mountains(c, 130, 40, C(110, 150, 120), 21);
      c.FillRect(0, 140, 400, 60, C(100, 160, 70));
      for (int i = 0; i < 4; ++i) Hut(c, 200 + i * 45, 150 - (i % 2) * 4, 36, C(215, 195, 160), C(170, 70, 50));
      for (int i = 0; i < 5; ++i) StoryFigure(c, 60 + i * 32, 182 - (i % 2) * 6, 4, 1.0, NpcFigure(6 + i));
      StoryFigure(c, 230, 186, 4, 1.2, hero);
      Caption(c, "和平重新回到了大地。", 12, 20, C(255, 255, 255));
      return c;
    }
    case 4: {  // the end
      Canvas c(400, 200);
      BandedSky(c, 200, C(20, 24, 60), C(60, 50, 100), 5);
      for (int i = 0; i < 40; ++i) c.FillCircle(Hash(4, i) % 400, Hash(5, i) % 120, Hash(6, i) % 3 == 0 ? 1.5 : 0.8, C(255, 255, 230));
      Caption(c, "全剧终", 60, 40, C(255, 230, 150));
      Caption(c, "感谢您的游玩", 122, 16, C(220, 220, 255));
      Caption(c, "Orvanth", 150, 14, C(200, 200, 230));
      return c;
    }
    case 5: {  // first logo (shown on a light background)
      Canvas c(360, 108);
      const Rgba blue = C(30, 60, 120), gold = C(200, 150, 40);
      c.FillPolygon({{54, 10}, {94, 54}, {54, 98}, {14, 54}}, blue);
      c.FillPolygon({{54, 24}, {80, 54}, {54, 84}, {28, 54}}, gold);
      c.Line(54, 30, 54, 80, blue, 3);
      c.Text("Orvanth", 110, 22, 44, blue, Align::Left, true);
      c.Text("出 品", 112, 76, 16, gold);
      return c;
    }
    case 6: {  // the title (shown on a light background)
      Canvas c(420, 208);
      const Rgba red = C(150, 30, 30), dark = C(40, 30, 60);
      c.Line(70, 130, 350, 130, C(120, 120, 140), 6);
      c.Line(70, 130, 350, 130, C(210, 215, 230), 3);
      c.Line(90, 118, 90, 142, C(150, 100, 40), 5);
      c.FillPolygon({{350, 126}, {362, 130}, {350, 134}}, C(210, 215, 230));
      c.Text("Orvanth", 210, 58, 64, dark, Align::Centre, true);
      c.Text("Orvanth", 208, 56, 64, red, Align::Centre, true);
      c.Text("单机角色扮演游戏", 210, 150, 20, dark, Align::Centre);
      return c;
    }
    case 7: {  // the large loading picture (190 x 190)
      Canvas c(190, 190, C(10, 12, 24));
      c.FillCircle(95, 95, 80, C(40, 44, 80));
      c.Circle(95, 95, 80, C(200, 160, 60), 3);
      c.Circle(95, 95, 66, C(120, 100, 60), 1);
      c.Line(60, 140, 130, 50, C(210, 215, 230), 5);
      c.Line(62, 110, 84, 134, C(200, 150, 50), 5);
      c.Text("Orvanth", 95, 150, 18, C(240, 220, 160), Align::Centre, true);
      return c;
    }
    case 8: {  // the small loading picture (180 x 40)
      Canvas c(180, 40, C(10, 12, 24));
      c.FrameRect(0, 0, 180, 40, C(200, 160, 60), 2);
      c.Text("正在载入，请稍候……", 90, 10, 16, C(240, 230, 200), Align::Centre);
      return c;
    }
    case 9: {  // the head-up display frame: orb socket and two bar slots
      Canvas c(164, 42);
      const Rgba panel{20, 22, 36, 190}, gold = C(200, 160, 60);
      c.FillRect(36, 3, 126, 34, panel);
      c.FrameRect(36, 3, 126, 34, gold);
      c.FillCircle(19.5, 19.5, 20.5, gold);
      c.FillCircle(19.5, 19.5, 18.5, C(24, 24, 40));
      c.FillRect(54, 6, 102, 12, C(40, 30, 30));
      c.FrameRect(54, 6, 102, 12, C(120, 100, 60));
      c.FillRect(54, 22, 102, 12, C(30, 30, 45));
      c.FrameRect(54, 22, 102, 12, C(120, 100, 60));
      c.Text("HP", 40, 6, 10, C(240, 200, 200));
      c.Text("MP", 40, 22, 10, C(200, 210, 250));
      return c;
    }
    case 10: {  // the experience orb's fill (39 x 39)
      Canvas c(39, 39);
      c.FillCircle(19.5, 19.5, 18, C(230, 170, 40));
      c.FillCircle(19.5, 23, 13, C(250, 200, 70));
      c.FillEllipse(14, 12, 5, 3, C(255, 240, 180));
      return c;
    }
    case 11:
    case 12: {  // HP and MP bars (100 x 10)
      Canvas c(100, 10);
      const bool hp = n == 11;
      c.Gradient(0, 0, 100, 10, hp ? C(255, 170, 170) : C(170, 210, 255), hp ? C(225, 70, 70) : C(70, 130, 235));
      c.FillRect(0, 1, 100, 2, hp ? C(255, 210, 210) : C(215, 235, 255));
      return c;
    }
    case 13: {  // fill of the small bar over monsters (38 x 3)
      Canvas c(38, 3, C(230, 40, 40));
      c.FillRect(0, 0, 38, 1, C(255, 120, 120));
      return c;
    }
    case 14:  // its frame
      return Canvas(38, 3, C(50, 50, 55));
    default: {  // 15: the target's health bar (230 x 22), drawn once in blue and once in white
      Canvas c(230, 22, C(220, 220, 230));
      c.Gradient(2, 2, 226, 18, C(255, 130, 120), C(215, 50, 45));
      c.FillRect(2, 3, 226, 3, C(255, 180, 170));
      return c;
    }
  }
}

// ============================================================================
// Writing everything
// ============================================================================

// The sprite sets that the tables name: monster sets and the player's looks.
struct TableLooks {
  std::set<int> monsterSets;
  std::set<int> bodies;
  std::set<int> weapons;
};

TableLooks ReadTableLooks(const fs::path& dataDir) {
  TableLooks t;
  for (const char* name : {"mon1.tsv", "mon2.tsv", "mon3.tsv"}) {
    const TextTable table = ReadTextTable(dataDir / "tables" / name);
    for (const TextRow& row : table.rows) {
      const long pic = ParseLong(table.Field(row, "Pic"), table.Where(row));
      if (pic < 1 || pic > kMonsterTables)
        throw SourceError(table.Where(row) + ": monster picture " + Num(pic) + " is outside 1.." + Num(kMonsterTables));
      if (pic == 74 || pic == 75)
        throw SourceError(table.Where(row) + ": monster picture " + Num(pic) + " would overwrite a database");
      t.monsterSets.insert(static_cast<int>(pic));
    }
  }
  t.monsterSets.insert(83);  // the spirit companion
  t.bodies.insert(0);        // no armour worn
  for (int form = 101; form <= 107; ++form) t.bodies.insert(form);
  const TextTable items = ReadTextTable(dataDir / "tables" / "items.tsv");
  for (const TextRow& row : items.rows) {
    const long type = ParseLong(items.Field(row, "Type"), items.Where(row));
    const long pic2 = ParseLong(items.Field(row, "Pic2"), items.Where(row));
    if (type == 12) {
      if (pic2 == 21) throw SourceError(items.Where(row) + ": body look 21 would overwrite a database");
      if (pic2 < 0 || pic2 >= 100) throw SourceError(items.Where(row) + ": body look " + Num(pic2) + " is outside 0..99");
      t.bodies.insert(static_cast<int>(pic2));
    } else if (type == 20 && pic2 > 0) {
      t.weapons.insert(static_cast<int>(pic2));
    }
  }
  return t;
}

std::vector<WrittenSprites> WriteFloor(const fs::path& gameDir) {
  PackWriter pack;
  for (int n = 1; n <= kFloorTileCount; ++n) pack.Add(FloorTile(n).EncodePng());
  const fs::path base = GameFile(gameDir, "\\date\\floor");
  pack.Write(base);
  std::error_code ec;
  return {{"date/floor", pack.Count(), static_cast<long>(fs::file_size(fs::path(base.string() + ".dat"), ec))}};
}

// The cell (col, row) of a whole picture's canvas.
Canvas PieceCanvas(const Canvas& whole, int col, int row) {
  Canvas piece(48, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 48; ++x) piece.Set(x, y, whole.Get(col * 48 + x, row * 32 + y));
  return piece;
}

// A piece with hardly anything on it is left out.
bool PieceShows(const Canvas& piece) {
  int drawn = 0;
  for (int y = 0; y < piece.H(); ++y)
    for (int x = 0; x < piece.W(); ++x) {
      const Rgba c = piece.Get(x, y);
      drawn += (c.a != 0 && (c.r != 0 || c.g != 0 || c.b != 0)) ? 1 : 0;
    }
  return drawn > 24;
}

std::vector<WrittenSprites> WriteScenery(const fs::path& gameDir, int set) {
  PackWriter pack;
  std::map<int, Canvas> wholes;
  for (const SceneryPicture& s : SceneryCatalogue()) {
    if (s.set != set) continue;
    if (s.number != pack.Count() + 1) throw std::logic_error("scenery numbers must run without gaps");
    if (s.pieceOf == 0) {
      Canvas c = SceneryCanvas(s);
      pack.Add(c.EncodePng());
      wholes.emplace(s.number, std::move(c));
    } else {
      pack.Add(PieceCanvas(wholes.at(s.pieceOf), s.pieceCol, s.pieceRow).EncodePng());
    }
  }
  const std::string path = "\\date\\fj\\" + Num(set);
  const fs::path base = GameFile(gameDir, path);
  pack.Write(base);
  std::error_code ec;
  return {{"date/fj/" + Num(set), pack.Count(), static_cast<long>(fs::file_size(fs::path(base.string() + ".dat"), ec))}};
}

std::vector<WrittenSprites> WriteGamePack(const fs::path& gameDir) {
  PackWriter pack;
  for (int n = 1; n <= 15; ++n) pack.Add(GamePicture(n).EncodePng());
  const fs::path base = GameFile(gameDir, "\\date\\Game");
  pack.Write(base);
  std::error_code ec;
  return {{"date/Game", pack.Count(), static_cast<long>(fs::file_size(fs::path(base.string() + ".dat"), ec))}};
}

WrittenSprites SaveSingle(const fs::path& gameDir, const std::string& gamePath, const Canvas& c) {
  const fs::path file = GameFile(gameDir, gamePath);
  c.Save(file);
  std::error_code ec;
  std::string shown = gamePath.substr(1);
  std::replace(shown.begin(), shown.end(), '\\', '/');
  return {shown, 1, static_cast<long>(fs::file_size(file, ec))};
}

std::vector<WrittenSprites> WriteEffects(const fs::path& gameDir) {
  std::vector<WrittenSprites> out;
  for (int type = 1; type <= 3; ++type)
    for (int i = 1; i <= 8; ++i) out.push_back(SaveSingle(gameDir, "\\date\\Dead\\" + Num(type) + "\\" + Num(i) + ".tga", DeadFrame(type, i)));
  for (int set = 1; set <= 10; ++set)
    for (int i = 1; i <= kScreenEffectFrames[set]; ++i)
      out.push_back(SaveSingle(gameDir, "\\date\\mgc\\sp" + Num(set) + "\\" + Num(i) + ".tga", ScreenEffectFrame(set, i, kScreenEffectFrames[set])));
  for (const SkillSet& s : kSkillSets) {
    std::string xy;
    for (int i = 1; i <= s.frames; ++i) {
      const SkillFrame f = SkillPicture(s.set, i, s.frames);
      out.push_back(SaveSingle(gameDir, "\\date\\mgc\\" + Num(s.set) + "\\" + Num(i) + s.extension, f.pic));
      xy += OffsetLine(f.x, f.y);
    }
    if (s.offsets) {
      const fs::path file = GameFile(gameDir, "\\date\\mgc\\" + Num(s.set) + "\\xy.txt");
      art::WriteTextFile(file, xy);
      out.push_back({"date/mgc/" + Num(s.set) + "/xy.txt", s.frames, static_cast<long>(xy.size())});
    }
  }
  out.push_back(SaveSingle(gameDir, "\\date\\mgc\\Tz.tga", AuraPicture()));
  out.push_back(SaveSingle(gameDir, "\\date\\mgc\\Sp.bmp", SpiritGlowPicture()));
  out.push_back(SaveSingle(gameDir, "\\date\\mgc\\Lj.bmp", FlashPicture()));
  return out;
}

}  // namespace

const std::vector<SceneryPicture>& SceneryCatalogue() {
  static const std::vector<SceneryPicture> all = [] {
    std::vector<SceneryPicture> out;
    for (int set = 1; set <= 4; ++set) {
      std::vector<SceneryPicture> wholes;
      for (const SceneryPicture& s : kWholeScenery)
        if (s.set == set) wholes.push_back(s);
      out.insert(out.end(), wholes.begin(), wholes.end());
      int next = static_cast<int>(wholes.size()) + 1;
      for (const SceneryPicture& w : wholes) {
        if (w.Cols() == 1 && w.Rows() == 1) continue;
        const Canvas canvas = SceneryCanvas(w);
        for (int row = 0; row < w.Rows(); ++row) {
          for (int col = 0; col < w.Cols(); ++col) {
            if (!PieceShows(PieceCanvas(canvas, col, row))) continue;
            SceneryPicture p = w;
            p.number = next++;
            p.width = 48;
            p.height = 32;
            p.footCols = p.footRows = w.InFoot(col, row) ? 1 : 0;
            p.pieceOf = w.number;
            p.pieceCol = col;
            p.pieceRow = row;
            out.push_back(p);
          }
        }
      }
    }
    return out;
  }();
  return all;
}

const SceneryPicture* FindScenery(int set, int number) {
  for (const SceneryPicture& s : SceneryCatalogue())
    if (s.set == set && s.number == number) return &s;
  return nullptr;
}

const SceneryPicture* FindSceneryPiece(int set, int number, int col, int row) {
  for (const SceneryPicture& s : SceneryCatalogue())
    if (s.set == set && s.pieceOf == number && s.pieceCol == col && s.pieceRow == row) return &s;
  return nullptr;
}

std::vector<WrittenSprites> BuildSpritePictures(const fs::path& dataDir, const fs::path& gameDir) {
  const TableLooks looks = ReadTableLooks(dataDir);
  // Every set is independent of the others: they are drawn side by side and gathered in
  // a fixed order, so the files do not depend on the timing.
  std::vector<std::function<std::vector<WrittenSprites>()>> jobs;
  jobs.push_back([&] { return WriteGamePack(gameDir); });
  jobs.push_back([&] { return WriteFloor(gameDir); });
  for (int set = 1; set <= 4; ++set) jobs.push_back([&, set] { return WriteScenery(gameDir, set); });
  for (int n = 1; n <= kNpcLookCount; ++n)
    jobs.push_back([&, n] { return WriteFigureSet(gameDir, "\\date\\NPC\\" + Num(n), NpcFigure(n), NpcLayout(), kLayerAll); });
  for (int m = 1; m <= kMonsterTables; ++m) {
    // Numbers no table uses (74 and 75 among them, whose data files are databases) get
    // only their offset table, which the start-up reads for every number.
    if (looks.monsterSets.count(m) == 0) {
      jobs.push_back([&, m] { return WriteOffsetsOnly(gameDir, "\\date\\Mon\\" + Num(m), kMonsterFrames); });
      continue;
    }
    jobs.push_back([&, m] { return WriteFigureSet(gameDir, "\\date\\Mon\\" + Num(m), MonsterFigure(m), MonsterLayout(), kLayerAll); });
  }
  for (int b : looks.bodies) {
    const bool form = b >= 100;
    jobs.push_back([&, b, form] {
      return WriteFigureSet(gameDir, "\\date\\rpg\\" + Num(b), BodyFigure(b), PlayerLayout(), form ? kLayerAll : kLayerBody);
    });
  }
  jobs.push_back([&] { return WriteFigureSet(gameDir, "\\date\\rpg\\Head", HumanFigure(HeadLook()), PlayerLayout(), kLayerHead); });
  for (int w : looks.weapons)
    jobs.push_back([&, w] { return WriteFigureSet(gameDir, "\\date\\Weapon\\" + Num(w), HumanFigure(WeaponLook(w)), PlayerLayout(), kLayerWeapon); });
  jobs.push_back([&] { return WriteEffects(gameDir); });

  // Folders are made before the workers start so that they never race to make one.
  for (const char* folder : {"date", "date/fj", "date/NPC", "date/Mon", "date/rpg", "date/Weapon", "date/Dead", "date/mgc"}) {
    std::string p = std::string("\\") + folder;
    std::replace(p.begin(), p.end(), '/', '\\');
    std::error_code ec;
    fs::create_directories(plat::ResolvePathIn(gameDir, p), ec);
  }

  std::vector<std::vector<WrittenSprites>> results(jobs.size());
  const std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
  std::atomic<std::size_t> next{0};
  std::vector<std::future<void>> running;
  for (std::size_t w = 0; w < workers; ++w)
    running.push_back(std::async(std::launch::async, [&] {
      for (std::size_t i = next++; i < jobs.size(); i = next++) results[i] = jobs[i]();
    }));
  for (auto& r : running) r.get();
  std::vector<WrittenSprites> all;
  for (auto& r : results) all.insert(all.end(), r.begin(), r.end());
  return all;
}

}  // namespace tools
