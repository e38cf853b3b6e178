// The trade link: one TCP connection between two trade windows, as host or joiner. It
// greets, frames and checks what arrives, acknowledges queued messages, pumps chat, sends
// state messages (offers, withdrawals, confirms) one at a time and re-sends them in place,
// and closes in order. It runs on what it is given: a network (sockets, or a pipe in
// tests) and the time passed to Poll, which the event pump calls on every pass.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "trade/wire.h"

namespace trade {

constexpr std::uint16_t kTradePort = 8305;
constexpr int kSendSlots = 9;
constexpr std::int64_t kPumpMs = 400;        // one chat frame a tick
constexpr std::int64_t kResendMs = 2000;     // unacknowledged longer than this: sent again
constexpr std::int64_t kLostCopyMs = 60000;  // a copy unanswered this long after the first answer is lost
constexpr std::int64_t kCopyHoldMs = 3000;   // the next state message waits this long at most for such a copy
constexpr std::int64_t kFrameGapMs = 100;    // between any two frames we send
constexpr std::int64_t kConnectTickMs = 2000;  // one connection attempt a tick
constexpr int kConnectAttemptMs = 1900;        // each attempt's own time limit
constexpr int kConnectRetries = 10;
constexpr std::int64_t kGreetingMs = 20000;  // the peer's greeting must come within this
constexpr std::size_t kChatShownChars = 500;

// The texts the link shows.
inline constexpr const char* kConnectedLine = "■ 连接成功 可以进行交易 ■ ";
inline constexpr const char* kNotConnectedLine = "■ 没有连接 请稍后 ■";
inline constexpr const char* kChatBusyLine = "■ 任务忙 请放慢速度■";
inline constexpr const char* kSameNameText = "双方的角色名重复，不能进行交易！";
inline constexpr const char* kConnectFailedText = "连接失败！结束交易！";
inline constexpr const char* kLinkLostText = "连接已断开";
inline constexpr const char* kSlotsFullText = "网络不通畅，连接被迫断开";
inline constexpr const char* kPeerLeftText = "对方已断开连接，交易结束。";
inline constexpr const char* kHostInUseText = "不能创建两个交易主机";
inline constexpr const char* kBadAddressText = "请正确填写对方的IP地址";
std::string RetryLine(int n);  // "■ 连接主机失败，进行第" + n + "次重试 ■"

// A connected byte stream.
class Stream {
 public:
  virtual ~Stream() = default;
  // Writes every byte; false when the stream is broken.
  virtual bool Write(std::string_view bytes) = 0;
  enum class ReadResult { Data, NoData, Closed };
  // Appends what is waiting; Closed on end of stream or a reset (data that came before the
  // end is reported first, as Data).
  virtual ReadResult Read(std::string& out) = 0;
  // Orderly close: shutdown for writing, drain briefly, close.
  virtual void Close() = 0;
};

// Where a stream comes from: a listener taking one connection, or one connection attempt
// at a time.
class Network {
 public:
  virtual ~Network() = default;
  enum class ListenResult { Ok, InUse, Failed };
  virtual ListenResult Listen(const std::string& address, std::uint16_t port, std::string* error) = 0;
  // A connection that came in, or nullptr.
  virtual std::unique_ptr<Stream> Accept() = 0;
  virtual void StopListening() = 0;
  // Ends any attempt under way and starts a new one with its own time limit.
  virtual void StartConnect(const std::string& address, std::uint16_t port, int timeoutMs) = 0;
  enum class ConnectState { Pending, Connected, Failed };
  // Connected hands over the stream.
  virtual ConnectState PollConnect(std::unique_ptr<Stream>& out) = 0;
  virtual void CancelConnect() = 0;
};

// What the link reports to the layer above. Every handler runs inside Poll (or inside the
// call that caused it); a queued frame is handled before its acknowledgement is queued, so
// what a handler sends goes out before that acknowledgement.
class LinkListener {
 public:
  virtual ~LinkListener() = default;
  virtual void OnConnected(const std::string& /*peerName*/) {}
  virtual void OnChat(const std::string& /*from*/, const std::string& /*text*/) {}
  // Every line the trade log shows for the link.
  virtual void OnLog(const std::string& /*line*/) {}
  virtual void OnPeerOffer(int /*slot*/, const ItemRecord& /*item*/) {}
  virtual void OnPeerWithdraw(int /*slot*/) {}
  // The peer's slot holds something refused (slot 0: a slot that could not be read).
  virtual void OnPeerOfferInvalid(int /*slot*/, const std::string& /*line*/) {}
  virtual void OnPeerConfirm(bool /*value*/) {}
  // The peer acknowledged our state message `id` (as QueueState returned it).
  virtual void OnStateAcknowledged(std::uint64_t /*id*/, const std::string& /*message*/) {}
  // The link is closed: the message to show, "" after our own orderly close.
  virtual void OnClosed(const std::string& /*message*/) {}
};

enum class Role { Host, Join };

struct LinkOptions {
  Role role = Role::Host;
  std::string address;  // host: the address to listen on ("" or "0.0.0.0": all); join: the host
  std::uint16_t port = kTradePort;
  std::string ownName;  // our character's name, for the greeting
  ItemLookup table;     // checks received offers; the game's item table when empty
  // Waits during a close (the gap before the last frames); the game's sleep when empty.
  std::function<void(std::int64_t)> sleep;
  // The millisecond clock, read when a frame really leaves (a handler may take long, a
  // save write for one); the game's tick when empty.
  std::function<std::int64_t()> clock;
};

class Link {
 public:
  enum class State { Idle, Listening, Connecting, Greeting, Trading, Closed };

  Link(Network& network, LinkListener& listener, LinkOptions options);
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Host: listen; join: start the first attempt. False on a set-up failure, with its
  // message ("不能创建两个交易主机" for an address and port in use).
  bool Start(std::int64_t now, std::string* error);
  // Reads, handles, acknowledges, pumps, re-sends and writes; call on every pass of the
  // event pump. Never processes events itself.
  void Poll(std::int64_t now);

  State CurrentState() const { return state_; }
  bool Trading() const { return state_ == State::Trading; }
  const std::string& PeerName() const { return peerName_; }

  struct SayResult {
    bool queued = false;
    std::string line;  // the line logged: the own text, or the refusal
  };
  // Queues a chat line for the pump: its first 500 characters, a "*" in it sent as "＊".
  // Refused when not trading or busy.
  SayResult Say(const std::string& text);
  // Texts waiting for the wire (chat and state messages not yet given a slot).
  int Waiting() const { return static_cast<int>(chat_.size() + states_.size()); }
  // Two or more texts wait.
  bool Busy() const { return Waiting() >= 2; }
  // No state message waiting or unacknowledged.
  bool StateIdle() const { return states_.empty() && stateSlot_ == 0 && !StateCopiesOut(); }
  // The last state message, an offer or a withdrawal, was acknowledged, but a re-sent copy
  // of it is still on its way: the peer handles it again (and clears both confirms) before
  // anything we send after it, so the next state message waits for its acknowledgement,
  // or kCopyHoldMs after the first answer (a peer that read both copies as one never
  // answers the second).
  bool StateCopiesOut() const;

  // State messages, sent one at a time in order, each once the one before is
  // acknowledged. Each returns the message's id (0: not queued, since not trading or
  // refused; the refusal line is logged and given back).
  std::uint64_t QueueState(std::string message);  // "JY1", "WC" + payload ... without digit
  std::uint64_t Offer(int slot, const ItemRecord& item, std::string* refusal = nullptr);
  std::uint64_t Withdraw(int slot);
  std::uint64_t Confirm(bool value);
  // A state message that goes on the wire before anything else we owe, acknowledgements
  // included (a JY0 that must reach the peer before the acknowledgement of its confirm).
  // Only when no state message of ours waits or is unacknowledged; otherwise it goes in
  // turn, like QueueState.
  std::uint64_t QueueStateFirst(std::string message);

  // Puts text on the wire as it is (encoded, no terminator added), in turn with the other
  // frames; for test peers. False when there is no connection.
  bool SendRaw(const std::string& text);

  // After the decision to close: only acknowledgements are still handled.
  void HandleAcksOnly() { acksOnly_ = true; }
  // Orderly end: an owed acknowledgement of the peer's confirm (with the state messages
  // decided before it), then "OVER*", each after the gap; everything else still waiting
  // is dropped; shutdown, drain, close. Reports OnClosed(""). Nothing when already closed.
  void Close(std::int64_t now);

  // Bytes held for the link: the part of a frame still coming and the frames to write.
  std::size_t BufferedBytes() const;
  // For tests: slot d (1..9) carries a frame not yet acknowledged.
  bool SlotBusy(int d) const { return d >= 1 && d <= kSendSlots && slots_[d].state != SlotState::Free; }
  // Acknowledgements owed and not yet written (at most one a digit).
  int OwedAcks() const;

 private:
  enum class SlotState { Free, Pending, OnWire };
  struct Slot {
    SlotState state = SlotState::Free;
    std::string message;
    std::uint64_t stateId = 0;  // 0: chat
    std::int64_t sentAt = 0;
    int unanswered = 0;           // copies written and not acknowledged: the slot is not reused before
                                  // each is, so that every acknowledgement names one frame ...
    std::int64_t quietUntil = 0;  // ... or this time passed (a peer that reads each read as
                                  // one message drops a split frame without answer)
    std::int64_t holdUntil = 0;   // the next state message waits for those copies until then
  };
  // What is written first: a state message put first; then state messages and
  // acknowledgements in the order they were decided; then chat and re-sent copies.
  enum class OutKind { First, State, Ack, Other };
  struct Out {
    std::string bytes;
    int slot = 0;  // 1..9 for queued frames
    OutKind kind = OutKind::Other;
    std::uint64_t seq = 0;
    bool ofConfirm = false;  // an acknowledgement of the peer's confirm
  };
  std::deque<Out>::iterator NextOut();  // the frame to write next (the outbox is not empty)

  void Greet(std::unique_ptr<Stream> stream, std::int64_t now);
  void ReadAndHandle(std::int64_t now);
  void HandleFrame(const std::string& bytes, std::int64_t now);
  void HandleQueued(const Frame& f);
  void HandleAck(int d, std::int64_t now);
  void QueueAck(int d, std::uint64_t seq, bool ofConfirm);
  std::uint64_t Supersede(std::string message);
  int FreeSlot(std::int64_t now) const;
  bool AllSlotsBusy() const;
  void Assign(int d, std::string message, std::uint64_t stateId, bool first = false);
  void Pump(std::int64_t now);
  void SendNextState(std::int64_t now);
  void Resend(std::int64_t now);
  void Flush();
  // Writes after the gap since the last frame (waiting for it); false when the write fails.
  bool WriteAfterGap(const std::string& bytes);
  // The time now: the time the link was last given, plus what the clock says has passed
  // since (a handler inside the same pass may have taken long).
  std::int64_t Current() const;
  void SetTime(std::int64_t now);
  void Fail(const std::string& message, bool sayOver);
  void Shut();
  void Log(const std::string& line);

  Network& net_;
  LinkListener& listener_;
  LinkOptions options_;
  State state_ = State::Idle;
  std::unique_ptr<Stream> stream_;
  Framer framer_;
  std::string peerName_;
  std::array<Slot, kSendSlots + 1> slots_{};  // 1..9
  std::deque<std::string> chat_;
  std::deque<std::pair<std::uint64_t, std::string>> states_;
  int stateSlot_ = 0;
  int copiesSlot_ = 0;  // the slot of the last acknowledged state message
  std::uint64_t nextStateId_ = 1;
  std::deque<Out> outbox_;
  std::uint64_t nextSeq_ = 1;
  std::int64_t lastWrite_ = 0;  // when the last frame really left
  std::int64_t lastNow_ = 0;    // the latest time the link was given ...
  std::int64_t lastClock_ = 0;  // ... and the clock's reading then
  bool wroteAny_ = false;
  std::int64_t pumpDue_ = 0;
  std::int64_t greetingDeadline_ = 0;
  std::int64_t connectTick_ = 0;
  int retries_ = 0;
  bool attempted_ = false;  // a joiner's first attempt is made (at the first tick)
  bool acksOnly_ = false;
  bool polling_ = false;
};

}  // namespace trade
