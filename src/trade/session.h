// One side of an item trade, without any window: the character's bag as loaded from its
// save, the ten offer slots of each side, the two confirm boxes, and the rules that keep
// every item whole. A trade round completes on both sides or on neither: the save is
// rewritten (all item rows at once) only when both confirms are announced, fresh and
// acknowledged, never at the click; a round that a cut link leaves one-sided is written
// to the trade journal ("Save/<name>.trade.log").
//
// The session runs on the link (trade/link.h) and owns all of its state, so two sessions
// can run side by side in one process. Everything happens inside the session's calls:
// the player's actions, Poll (call it on every pass of the event pump, with the game's
// tick) and the close; the listener hears of every change.
//
// Use: a SocketNetwork (trade/socket_network.h), a SessionListener, SessionOptions with
// the role, the address and the character's name; Open (show its error in a message box
// when it fails); Poll from an idle hook of the event pump; the actions from the window's
// clicks; Close when the window closes, and let the window go on OnClosed.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/file_lock.h"
#include "trade/link.h"
#include "trade/wire.h"
#include "world/save_game.h"

namespace trade {

constexpr int kBagFirstSlot = 21;  // the bag: item slots 21..56 take part in a trade
constexpr int kBagLastSlot = 56;
constexpr std::int64_t kCloseWaitMs = 5000;    // a close waits this long for a pending commit
constexpr std::int64_t kCommitRetryMs = 1000;  // a commit the peer made but we could not write

// The texts the session shows.
inline constexpr const char* kSuccessLine = "※ 交易成功 ※";
inline constexpr const char* kNoRoomLine = "■ 你的道具栏剩余容量不足 不能完成交易操作 ■";
inline constexpr const char* kForgedLine = "★ 不能交易锻造后的装备 ★";
inline constexpr const char* kStateBusyLine = "■ 任务忙 请放慢速度  ■";  // offers, withdrawals, confirm
inline constexpr const char* kPhraseBusyLine = "■ 任务忙 请放慢速度 ■";  // quick phrases
inline constexpr const char* kNotTradableText = "作弊帐号和旧版本记录帐号不能交易！";
inline constexpr const char* kBadSaveText = "存档文件无法读取，不能进行交易！";
inline constexpr const char* kBadItemRowsText = "存档中的道具记录不完整，不能进行交易！";
inline constexpr const char* kCloseWaitLine = "■ 正在等待对方确认交易 请稍候 ■";
// A confirm click refused because we would not complete on it.
inline constexpr const char* kPeerOfferRefusedLine = "■ 对方放入的道具无法接收 不能确认交易 ■";
inline constexpr const char* kConfirmAgainLine = "■ 对方的确认已失效 请对方取消后重新确认交易 ■";
// Message boxes of a commit that could not be written.
inline constexpr const char* kCommitFailedText = "交易未能写入存档，本次交易已取消，道具没有变动。";
inline constexpr const char* kCommitUnsavedText =
    "对方已完成交易，但本方存档写入失败！正在重试写入，请检查磁盘后再关闭交易窗口。";
inline constexpr const char* kCommitLostText =
    "对方已完成交易，但本方存档仍然写入失败！本次交易已记入交易记录文件。";

// What the session reports. Every call comes from inside a call of the session (an
// action, Poll, Close). Every line the trade log shows comes through OnLog, refusals
// included; the other calls say what changed, so that a window redraws just that.
class SessionListener {
 public:
  enum class Side { Own, Peer };
  virtual ~SessionListener() = default;
  // A line for the trade log.
  virtual void OnLog(const std::string& /*line*/) {}
  // The peer's greeting came: trading starts.
  virtual void OnConnected(const std::string& /*peerName*/) {}
  // A chat line of the peer (it is logged as well).
  virtual void OnChat(const std::string& /*from*/, const std::string& /*text*/) {}
  // Bag slot `slot` (21..56) changed.
  virtual void OnBagChanged(int /*slot*/) {}
  // Offer slot k (1..10) of a side changed: the item now there, or nullptr when emptied
  // (a peer slot holding something refused is also emptied, after an OnRefused).
  virtual void OnOffer(Side /*side*/, int /*k*/, const ItemRecord* /*item*/) {}
  // A confirm box changed.
  virtual void OnConfirm(Side /*side*/, bool /*value*/) {}
  // An action was refused, or the peer's offer was (what: "offer", "withdraw",
  // "confirm", "chat", "phrase", "discard", "peer_offer"); `line` was logged.
  virtual void OnRefused(const std::string& /*what*/, const std::string& /*line*/) {}
  // A round was written to the save: the items we gave and the items we got.
  virtual void OnCommitted(const std::vector<ItemRecord>& /*gave*/, const std::vector<ItemRecord>& /*got*/) {}
  // A round could not be written: show `text` in a message box.
  virtual void OnCommitFailed(const std::string& /*text*/) {}
  // The session ended; a non-empty message is shown in a message box (the link's close
  // messages); "" after our own orderly close.
  virtual void OnClosed(const std::string& /*message*/) {}
};

using BagSlots = FixedArray<ItemRecord, kItemSlots + 1>;

// A joiner's address as typed names a host: blanks around it are allowed, nothing and
// "0.0.0.0" are not an address (kBadAddressText).
bool UsableJoinAddress(const std::string& typed);

struct SessionOptions {
  Role role = Role::Host;
  std::string address;  // host: the address to listen on; join: the host's address as typed
  std::uint16_t port = kTradePort;
  std::string name;                         // the character (its save's name)
  std::string localAddress;                 // shown in the log; the computer's own address when empty
  ItemLookup table;                         // checks received offers; the game's item table when empty
  std::function<void(std::int64_t)> sleep;  // for the link's close; the game's sleep when empty

  // The save, replaceable for tests. Empty: LoadSaveForTrade, WriteItemRows and a durable
  // append to "Save/<name>.trade.log".
  std::function<TradeLoadError(const std::string& name, TradeSave& out, plat::FileLock& lock)> load;
  std::function<bool(const std::string& id, const BagSlots& items)> write;
  std::function<bool(const std::string& id, const std::string& line)> journal;
};

class Session : private LinkListener {
 public:
  using Side = SessionListener::Side;

  Session(Network& network, SessionListener& listener, SessionOptions options);
  ~Session() override;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Loads and checks the save (and keeps it locked for the session's life), then listens
  // or starts connecting. False with the message to show when anything failed: then
  // nothing stays open. Lists start empty. A closed session may be opened again.
  bool Open(std::int64_t now, std::string* error);
  // Runs the link and the session's timers; call on every pass of the event pump.
  void Poll(std::int64_t now);
  // Ends the trade: at once, or (when a commit may be pending on the peer's answer)
  // after up to kCloseWaitMs of polling; OnClosed tells when it is over.
  void Close(std::int64_t now);

  // The player's actions. Each returns true when it changed something; a refusal is
  // logged and reported. The confirm box and the offer lists always show the session's
  // state afterwards (a refused click reverts the box).
  bool Offer(int bagSlot);  // the left button on bag slot 21..56
  bool Withdraw(int k);     // any button on own offer slot 1..10 (also an empty one)
  bool SetConfirm(bool value);
  bool Discard(int bagSlot);                  // the discard box's "确认": in memory until a trade completes
  bool Say(const std::string& text);          // "发送"
  bool QuickPhrase(const std::string& text);  // a quick phrase
  // For test peers: text put on the wire as it is (Link::SendRaw), outside the session's
  // state. False when there is no connection.
  bool SendRaw(const std::string& text);

  // What is shown.
  const ItemRecord& Bag(int slot) const;     // 1..120
  const ItemRecord& OwnOffer(int k) const;   // 1..10
  const ItemRecord& PeerOffer(int k) const;  // 1..10
  bool PeerOfferValid(int k) const;          // false while the peer's slot k holds something refused
  bool OwnConfirm() const { return cmy_; }
  bool PeerConfirm() const { return cdf_; }
  bool PeerConfirmCounts() const { return cdf_ && cdfFresh_; }  // set, and we would complete on it
  int FreeBagSlots() const;
  int PeerOfferCount() const;
  const std::string& Name() const { return name_; }  // the character's name ("" before Open)
  const std::string& PeerName() const;
  bool IsOpen() const { return open_; }                  // from a successful Open until the end
  bool Trading() const;                                  // the peer's greeting came, the link is up
  bool Closing() const { return closing_; }              // a close waits for a pending commit
  bool Unsaved() const { return unsaved_.has_value(); }  // a commit the peer made waits for its write

 private:
  enum class Case { PeerConfirmed, OwnConfirmAcknowledged };

  // LinkListener
  void OnConnected(const std::string& peerName) override;
  void OnChat(const std::string& from, const std::string& text) override;
  void OnLog(const std::string& line) override;
  void OnPeerOffer(int slot, const ItemRecord& item) override;
  void OnPeerWithdraw(int slot) override;
  void OnPeerOfferInvalid(int slot, const std::string& line) override;
  void OnPeerConfirm(bool value) override;
  void OnStateAcknowledged(std::uint64_t id, const std::string& message) override;
  void OnClosed(const std::string& message) override;

  bool StateIdle() const;
  bool CommitMayBePending() const;
  void PeerOfferChanged();
  void SendConfirm(bool value);
  // A JY0 that must reach the peer before the acknowledgement of the frame being handled.
  void SendClearFirst();
  bool PeerOffersValid() const;
  void Queued(std::uint64_t id, bool offer, bool value);
  bool OfferInFlight() const;
  void SetOwnConfirm(bool value);
  void SetPeerConfirm(bool value, bool fresh);
  void Evaluate(Case c);
  void Commit(Case c);
  void RetryUnsaved(bool closing);
  void Saved();
  void FinishClose();
  bool Journal(const std::string& phase, const std::vector<ItemRecord>& gave,
               const std::vector<ItemRecord>& got);
  static std::vector<ItemRecord> OfferList(const std::array<ItemRecord, kOfferSlots + 1>& slots);
  void Refuse(const std::string& what, const std::string& line);
  void ClearLists();
  void Ended(const std::string& message);

  Network& net_;
  SessionListener& listener_;
  SessionOptions options_;
  std::unique_ptr<Link> link_;
  plat::FileLock lock_;
  bool open_ = false;
  std::string name_;
  std::int64_t now_ = 0;

  BagSlots bag_{};
  std::array<ItemRecord, kOfferSlots + 1> mine_{};    // 1..10
  std::array<ItemRecord, kOfferSlots + 1> theirs_{};  // 1..10
  std::array<bool, kOfferSlots + 1> theirsValid_{};
  bool unreadablePeerOffer_ = false;  // an offer whose slot could not be read: no commit

  // Our offers and withdrawals not yet acknowledged (their ids).
  std::vector<std::uint64_t> offersOut_;
  bool cmy_ = false;             // our box: the last confirm we put on (or queued for) the wire
  std::uint64_t jy1Id_ = 0;      // our latest JY1, while no WC or JY0 of ours followed it
  bool jy1Acked_ = false;        // ... and the peer acknowledged it
  bool cdf_ = false;             // the peer's box as last announced
  bool cdfFresh_ = false;        // ... and it came while none of our offers was in flight
  bool peerJy1Last_ = false;     // the peer's last confirm message on the wire was JY1
  bool jy0AfterAck_ = false;     // the JY0 after a commit, sent after the acknowledgement

  struct Round {
    std::vector<ItemRecord> gave, got;
  };
  std::optional<BagSlots> unsaved_;  // the bag of rounds the peer completed, not yet written here
  std::vector<Round> unsavedRounds_;
  std::int64_t retryAt_ = 0;

  bool closing_ = false;
  bool finishing_ = false;  // the link is being closed by us
  std::int64_t closeDeadline_ = 0;
  bool closeNow_ = false;
};

}  // namespace trade
