// The trade wire: frames cut out of the byte stream, the tags and their payloads, and
// the 90-character item of an offer. Text on the wire is CP936; every position and width
// here counts characters of the decoded text, never bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/game_state.h"

namespace trade {

constexpr char kTerminator = '*';
constexpr int kOfferSlots = 10;    // offer slots k = 1..10 on each side
constexpr int kOfferChars = 90;    // the item payload of an offer
constexpr int kMaxNameChars = 10;  // item names on the wire
constexpr int kMaxPeerNameChars = 4;

// ---------------------------------------------------------------------------------
// Text in the system code page of the wire.

// The CP936 bytes of the text, or nothing when a character has no CP936 form.
std::optional<std::string> ToCp936Strict(std::string_view utf8);
// The CP936 bytes; characters without a CP936 form become '?'.
std::string ToCp936Lossy(std::string_view utf8);
// The text of CP936 bytes; bytes that do not decode become U+FFFD.
std::string FromCp936(std::string_view bytes);

// ---------------------------------------------------------------------------------
// Framing: a byte buffer cut at every '*' (0x2A; no CP936 trail byte is 0x2A).

class Framer {
 public:
  // More than this many bytes without a '*' closes the link.
  static constexpr std::size_t kMaxPending = 64 * 1024;

  // Appends the bytes and moves every complete frame (the bytes before a '*', without
  // it) to out, in order. False once the bytes waiting without '*' exceed the cap.
  bool Feed(std::string_view bytes, std::vector<std::string>& out);
  std::size_t Pending() const { return buffer_.size(); }
  void Clear() { buffer_.clear(); }

 private:
  std::string buffer_;
};

// ---------------------------------------------------------------------------------
// Frames. Queued tags (SY, JY, WC) carry a send-slot digit '1'..'9' after the tag.

enum class Tag {
  Greeting,  // "OK" + name
  Chat,      // "SY" d text
  Confirm,   // "JY" d "0"/"1"
  Offer,     // "WC" d payload
  Ack,       // "YZ" d, exactly
  Over,      // "OVER", exactly
  Ignored,   // anything else, and queued tags without a valid digit
};

struct Frame {
  Tag tag = Tag::Ignored;
  int slot = 0;         // the digit 1..9 of queued tags and of an ack; 0 otherwise
  std::string payload;  // after the tag (and the digit): the name, the chat text ...
};

// Reads one decoded frame (its text without the final '*').
Frame ParseFrame(std::string_view text);

// A queued message as the send queue keeps it: tag and payload, without digit or '*'.
// The frame on the wire for send slot d: tag + d + payload + '*'.
std::string QueuedFrameText(std::string_view message, int slot);

// A peer name from a greeting is usable when it has 1..4 characters and no control
// character.
bool ValidPeerName(std::string_view name);

// ---------------------------------------------------------------------------------
// The 90-character item of an offer.

// Looks up an item of the game's item table by name; false when the table has none.
using ItemLookup = std::function<bool(const std::string& name, ItemRecord& row)>;
// The game's table (table Item of the item database).
ItemLookup GameItemTable();

struct OfferText {
  std::optional<std::string> payload;  // the 90 characters when the item fits
  std::string refusal;                 // the log line when it does not
};
// The payload for own offer slot k (1..10). Refused, with its log line: a slot outside
// 1..10, a name that is empty, longer than 10 characters, holds '*' or a control
// character, has blanks at its ends or a character CP936 cannot encode; a Type2 other
// than one such character; any number outside its field (Money -1, "not sellable",
// included). A literal sender would write such a value wider and shift every field after it.
OfferText EncodeOffer(int k, const ItemRecord& item);
// "0" + kk: own offer slot k emptied.
std::string EncodeWithdrawal(int k);

struct PeerOfferChange {
  enum class Kind {
    Item,      // the peer's slot holds `item`
    Withdraw,  // the peer's slot was emptied
    Invalid,   // the peer's slot holds something we refuse (slot 0: a slot we cannot read)
    Ignored,   // a malformed withdrawal: nothing changes
  };
  Kind kind = Kind::Ignored;
  int slot = 0;
  ItemRecord item;
  std::string line;  // the refusal line of an invalid offer
};
// Reads the payload of a received offer: a withdrawal "0" + kk (kk 01..10), or exactly 90
// characters with '1' first and every field valid, naming an item of the table with its
// Type, Type2, Pic1 and Pic2 and not forged (dzlevel 0). X and Y stay 0.
PeerOfferChange DecodeOffer(std::string_view payload, const ItemLookup& table);

}  // namespace trade
