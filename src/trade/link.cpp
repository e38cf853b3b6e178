#include "trade/link.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/text.h"

namespace trade {

namespace {

// Reading stops after this much in one pass, so a flood cannot hold the window.
constexpr std::size_t kReadPerPoll = 256 * 1024;

std::string ReplaceStars(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == kTerminator) {
      out += "＊";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string RetryLine(int n) { return "■ 连接主机失败，进行第" + std::to_string(n) + "次重试 ■"; }

Link::Link(Network& network, LinkListener& listener, LinkOptions options)
    : net_(network), listener_(listener), options_(std::move(options)) {
  if (!options_.table) options_.table = GameItemTable();
  if (!options_.sleep) options_.sleep = [](std::int64_t ms) { plat::SleepMs(ms); };
  if (!options_.clock) options_.clock = [] { return plat::Tick(); };
}

Link::~Link() {
  if (stream_) {
    if (state_ == State::Greeting || state_ == State::Trading) stream_->Write("OVER*");
    stream_->Close();
    stream_.reset();
  }
  if (state_ == State::Listening) net_.StopListening();
  if (state_ == State::Connecting) net_.CancelConnect();
}

bool Link::Start(std::int64_t now, std::string* error) {
  if (state_ != State::Idle) return false;
  SetTime(now);
  if (options_.role == Role::Host) {
    std::string why;
    switch (net_.Listen(options_.address, options_.port, &why)) {
      case Network::ListenResult::Ok:
        state_ = State::Listening;
        return true;
      case Network::ListenResult::InUse:
        if (error != nullptr) *error = kHostInUseText;
        break;
      case Network::ListenResult::Failed:
        if (error != nullptr) *error = why.empty() ? std::string(kHostInUseText) : why;
        break;
    }
    state_ = State::Closed;
    return false;
  }
  if (plat::Trim(options_.address).empty()) {
    if (error != nullptr) *error = kBadAddressText;
    state_ = State::Closed;
    return false;
  }
  // The first attempt is made at the first tick.
  state_ = State::Connecting;
  connectTick_ = now + kConnectTickMs;
  return true;
}

void Link::Greet(std::unique_ptr<Stream> stream, std::int64_t now) {
  stream_ = std::move(stream);
  state_ = State::Greeting;
  greetingDeadline_ = now + kGreetingMs;
  // At once: a peer with our name closes as soon as it has our greeting and its own is
  // out, and it must not find us gone before ours arrived.
  lastWrite_ = Current();
  wroteAny_ = true;
  if (!stream_->Write(ToCp936Lossy("OK" + options_.ownName + "*"))) Fail(kLinkLostText, false);
}

void Link::Poll(std::int64_t now) {
  if (polling_ || state_ == State::Closed || state_ == State::Idle) return;
  SetTime(now);
  polling_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{polling_};

  if (state_ == State::Listening) {
    if (auto s = net_.Accept()) {
      net_.StopListening();  // a second joiner is refused
      Greet(std::move(s), now);
    }
  } else if (state_ == State::Connecting) {
    std::unique_ptr<Stream> s;
    const Network::ConnectState cs = attempted_ ? net_.PollConnect(s) : Network::ConnectState::Pending;
    if (cs == Network::ConnectState::Connected && s) {
      Greet(std::move(s), now);
    } else if (now >= connectTick_) {
      connectTick_ = std::max(connectTick_ + kConnectTickMs, now + 1);
      if (attempted_) {
        // This tick's attempt did not get through: count it and make a new one.
        if (retries_ >= kConnectRetries) {
          Fail(kConnectFailedText, false);
          return;
        }
        ++retries_;
        Log(RetryLine(retries_));
        if (state_ != State::Connecting) return;
      }
      attempted_ = true;
      net_.StartConnect(options_.address, options_.port, kConnectAttemptMs);
    }
  }
  if (!stream_) return;

  ReadAndHandle(now);
  if (state_ == State::Closed) return;
  if (state_ == State::Greeting && now >= greetingDeadline_) {
    Fail(kLinkLostText, true);
    return;
  }
  if (state_ == State::Trading) {
    Resend(now);
    if (now >= pumpDue_) {
      pumpDue_ = std::max(pumpDue_ + kPumpMs, now + 1);
      Pump(now);
      if (state_ == State::Closed) return;
    }
    SendNextState(now);
    if (state_ == State::Closed) return;
  }
  Flush();
}

void Link::ReadAndHandle(std::int64_t now) {
  std::size_t taken = 0;
  std::vector<std::string> frames;
  while (stream_ && taken < kReadPerPoll) {
    std::string bytes;
    const Stream::ReadResult r = stream_->Read(bytes);
    if (r == Stream::ReadResult::NoData) return;
    if (r == Stream::ReadResult::Closed) {
      Fail(kLinkLostText, true);  // a peer that only stopped writing may still read it
      return;
    }
    taken += bytes.size();
    frames.clear();
    const bool fits = framer_.Feed(bytes, frames);
    for (const std::string& f : frames) {
      HandleFrame(f, now);
      if (state_ == State::Closed) return;
    }
    if (!fits) {
      Fail(kLinkLostText, true);
      return;
    }
  }
}

void Link::HandleFrame(const std::string& bytes, std::int64_t now) {
  const Frame f = ParseFrame(FromCp936(bytes));
  if (acksOnly_) {
    if (f.tag == Tag::Ack) HandleAck(f.slot, now);
    return;
  }
  if (state_ == State::Greeting) {
    if (f.tag != Tag::Greeting || !ValidPeerName(f.payload)) {
      Fail(kLinkLostText, true);
      return;
    }
    if (f.payload == options_.ownName) {
      Fail(kSameNameText, true);
      return;
    }
    peerName_ = f.payload;
    state_ = State::Trading;
    pumpDue_ = now + kPumpMs;
    Log(kConnectedLine);
    if (state_ == State::Trading) listener_.OnConnected(peerName_);
    return;
  }
  if (state_ != State::Trading) return;
  switch (f.tag) {
    case Tag::Chat:
    case Tag::Confirm:
    case Tag::Offer: {
      // The acknowledgement takes its place among our frames as of the frame's arrival:
      // state messages decided before it go first (the peer reads it in their light),
      // whatever the handler decides goes after it (unless put first).
      const std::uint64_t seq = nextSeq_++;
      HandleQueued(f);
      if (state_ == State::Trading) SendNextState(now);
      if (state_ == State::Trading) QueueAck(f.slot, seq, f.tag == Tag::Confirm && f.payload == "1");
      break;
    }
    case Tag::Ack:
      HandleAck(f.slot, now);
      break;
    case Tag::Over:
      Fail(kPeerLeftText, false);
      break;
    case Tag::Greeting:  // a later greeting changes nothing
    case Tag::Ignored:
      break;
  }
}

void Link::HandleQueued(const Frame& f) {
  switch (f.tag) {
    case Tag::Chat: {
      const std::string text = plat::Left(f.payload, static_cast<long>(kChatShownChars));
      Log(peerName_ + " -> " + text);
      if (state_ == State::Trading) listener_.OnChat(peerName_, text);
      break;
    }
    case Tag::Confirm:
      if (f.payload == "0" || f.payload == "1") listener_.OnPeerConfirm(f.payload == "1");
      break;
    case Tag::Offer: {
      const PeerOfferChange c = DecodeOffer(f.payload, options_.table);
      switch (c.kind) {
        case PeerOfferChange::Kind::Item:
          listener_.OnPeerOffer(c.slot, c.item);
          break;
        case PeerOfferChange::Kind::Withdraw:
          listener_.OnPeerWithdraw(c.slot);
          break;
        case PeerOfferChange::Kind::Invalid:
          Log(c.line);
          if (state_ == State::Trading) listener_.OnPeerOfferInvalid(c.slot, c.line);
          break;
        case PeerOfferChange::Kind::Ignored:
          break;
      }
      break;
    }
    default:
      break;
  }
}

void Link::QueueAck(int d, std::uint64_t seq, bool ofConfirm) {
  // One owed acknowledgement a digit: "YZ" + d frees the peer's slot d once, however many
  // copies of its frame came, so a flood of frames costs nothing here.
  if (d < 1 || d > kSendSlots) return;
  std::string bytes = std::string("YZ") + static_cast<char>('0' + d) + "*";
  for (Out& o : outbox_) {
    if (o.kind == OutKind::Ack && o.bytes == bytes) {
      o.ofConfirm = o.ofConfirm || ofConfirm;
      return;
    }
  }
  Out ack{std::move(bytes), 0, OutKind::Ack, seq};
  ack.ofConfirm = ofConfirm;
  outbox_.push_back(std::move(ack));
}

void Link::HandleAck(int d, std::int64_t now) {
  if (d < 1 || d > kSendSlots) return;
  Slot& s = slots_[d];
  if (s.unanswered > 0) --s.unanswered;
  if (s.state == SlotState::Free) return;
  // A copy still waiting to be written is no longer needed.
  outbox_.erase(std::remove_if(outbox_.begin(), outbox_.end(), [d](const Out& o) { return o.slot == d; }),
                outbox_.end());
  const std::uint64_t id = s.stateId;
  std::string message = std::move(s.message);
  const int unanswered = s.unanswered;
  s = Slot{};
  // A frame sent more than once is acknowledged once for each copy: its slot stays out
  // of use until every copy is, so a late acknowledgement cannot free a newer frame.
  s.unanswered = unanswered;
  if (unanswered > 0) {
    s.quietUntil = now + kLostCopyMs;
    s.holdUntil = now + kCopyHoldMs;
  }
  if (id != 0 && stateSlot_ == d) {
    stateSlot_ = 0;
    // A copy of an offer still on its way clears the peer's confirm once more when it
    // arrives: nothing newer goes before it is answered.
    copiesSlot_ = message.rfind("WC", 0) == 0 ? d : 0;
    listener_.OnStateAcknowledged(id, message);
    // The next state message takes its place among our frames now, before the
    // acknowledgements of frames that come after this one.
    if (state_ == State::Trading && !acksOnly_) SendNextState(now);
  }
}

bool Link::StateCopiesOut() const {
  if (copiesSlot_ == 0) return false;
  const Slot& s = slots_[copiesSlot_];
  return s.state == SlotState::Free && s.unanswered > 0 && lastNow_ < s.holdUntil;
}

int Link::FreeSlot(std::int64_t now) const {
  for (int d = 1; d <= kSendSlots; ++d) {
    const Slot& s = slots_[d];
    if (s.state == SlotState::Free && (s.unanswered == 0 || now >= s.quietUntil)) return d;
  }
  return 0;
}

bool Link::AllSlotsBusy() const {
  for (int d = 1; d <= kSendSlots; ++d) {
    if (slots_[d].state == SlotState::Free) return false;
  }
  return true;
}

void Link::Assign(int d, std::string message, std::uint64_t stateId, bool first) {
  if (d == copiesSlot_) copiesSlot_ = 0;  // every copy of its last frame was answered (or lost)
  Slot& s = slots_[d];
  s = Slot{};
  s.state = SlotState::Pending;
  s.stateId = stateId;
  const OutKind kind = first ? OutKind::First : stateId != 0 ? OutKind::State : OutKind::Other;
  outbox_.push_back(Out{ToCp936Lossy(QueuedFrameText(message, d)), d, kind, nextSeq_++});
  s.message = std::move(message);
}

void Link::Pump(std::int64_t now) {
  if (chat_.empty()) return;
  const int d = FreeSlot(now);
  if (d == 0) {
    if (AllSlotsBusy()) Fail(kSlotsFullText, true);
    return;
  }
  std::string m = std::move(chat_.front());
  chat_.pop_front();
  Assign(d, std::move(m), 0);
}

void Link::SendNextState(std::int64_t now) {
  if (stateSlot_ != 0 || states_.empty() || StateCopiesOut()) return;
  const int d = FreeSlot(now);
  if (d == 0) {
    if (AllSlotsBusy()) Fail(kSlotsFullText, true);
    return;
  }
  auto [id, m] = std::move(states_.front());
  states_.pop_front();
  stateSlot_ = d;
  Assign(d, std::move(m), id);
}

void Link::Resend(std::int64_t now) {
  for (int d = 1; d <= kSendSlots; ++d) {
    Slot& s = slots_[d];
    if (s.state != SlotState::OnWire || now - s.sentAt <= kResendMs) continue;
    // In place, with the same digit: a re-queued copy could overtake a later state.
    s.state = SlotState::Pending;
    outbox_.push_back(Out{ToCp936Lossy(QueuedFrameText(s.message, d)), d, OutKind::Other, nextSeq_++});
  }
}

void Link::Flush() {
  if (outbox_.empty() || !stream_) return;
  // The gap counts from when the last frame really left.
  const std::int64_t t = Current();
  if (wroteAny_ && t - lastWrite_ < kFrameGapMs) return;
  const auto next = NextOut();
  Out o = std::move(*next);
  outbox_.erase(next);
  lastWrite_ = t;
  wroteAny_ = true;
  if (o.slot != 0) {
    slots_[o.slot].state = SlotState::OnWire;
    slots_[o.slot].sentAt = t;
    ++slots_[o.slot].unanswered;
  }
  if (!stream_->Write(o.bytes)) Fail(kLinkLostText, false);
}

Link::SayResult Link::Say(const std::string& text) {
  SayResult r;
  if (state_ != State::Trading) {
    r.line = kNotConnectedLine;
  } else if (Busy()) {
    r.line = kChatBusyLine;
  } else {
    // No more than a chat line shows goes out, which also keeps every frame of ours far
    // below the peer's limit for a frame.
    r.line = plat::Left(text, static_cast<long>(kChatShownChars));
    chat_.push_back("SY" + ReplaceStars(r.line));
    r.queued = true;
  }
  Log(r.line);
  return r;
}

std::uint64_t Link::QueueState(std::string message) {
  if (state_ != State::Trading || message.size() < 2) return 0;
  if (message == "JY0") {
    // Our confirm withdrawn before it left: it never goes.
    if (!states_.empty() && states_.back().second == "JY1") states_.pop_back();
    if (states_.empty() && stateSlot_ != 0 && slots_[stateSlot_].message == "JY1")
      return Supersede(std::move(message));
  }
  const std::uint64_t id = nextStateId_++;
  states_.emplace_back(id, std::move(message));
  return id;
}

std::uint64_t Link::Supersede(std::string message) {
  // Our confirm, still unacknowledged, is withdrawn: the JY0 follows it at once instead of
  // waiting for its answer, so that every acknowledgement we give after this reaches the
  // peer behind it. The JY1 is not sent again (a copy after the JY0 would undo it); a JY1
  // that never left is dropped.
  const int old = stateSlot_;
  Slot& j = slots_[old];
  outbox_.erase(std::remove_if(outbox_.begin(), outbox_.end(), [old](const Out& o) { return o.slot == old; }),
                outbox_.end());
  const int unanswered = j.unanswered;
  j = Slot{};
  j.unanswered = unanswered;
  if (unanswered > 0) j.quietUntil = lastNow_ + kLostCopyMs;
  stateSlot_ = 0;
  return QueueStateFirst(std::move(message));
}

std::uint64_t Link::Offer(int slot, const ItemRecord& item, std::string* refusal) {
  if (state_ != State::Trading) return 0;
  OfferText t = EncodeOffer(slot, item);
  if (!t.payload) {
    Log(t.refusal);
    if (refusal != nullptr) *refusal = t.refusal;
    return 0;
  }
  return QueueState("WC" + *t.payload);
}

std::uint64_t Link::Withdraw(int slot) {
  if (slot < 1 || slot > kOfferSlots) return 0;
  return QueueState("WC" + EncodeWithdrawal(slot));
}

bool Link::SendRaw(const std::string& text) {
  if (!stream_ || (state_ != State::Greeting && state_ != State::Trading)) return false;
  outbox_.push_back(Out{ToCp936Lossy(text), 0, OutKind::Other, nextSeq_++});
  return true;
}

std::uint64_t Link::Confirm(bool value) { return QueueState(value ? "JY1" : "JY0"); }

std::uint64_t Link::QueueStateFirst(std::string message) {
  if (state_ != State::Trading || message.size() < 2) return 0;
  if (stateSlot_ != 0 || !states_.empty()) return QueueState(std::move(message));
  // Any digit not carrying a frame will do: it goes out before anything else.
  int d = FreeSlot(lastNow_);
  for (int i = 1; d == 0 && i <= kSendSlots; ++i) {
    if (slots_[i].state == SlotState::Free) d = i;
  }
  if (d == 0) {
    Fail(kSlotsFullText, true);
    return 0;
  }
  const std::uint64_t id = nextStateId_++;
  stateSlot_ = d;
  Assign(d, std::move(message), id, true);
  return id;
}

void Link::Close(std::int64_t now) {
  if (state_ == State::Closed) return;
  SetTime(now);
  if (stream_ && (state_ == State::Greeting || state_ == State::Trading)) {
    // The farewell goes out almost at once: what still waits is dropped, so that no
    // backlog a peer piled up can hold the close. Only the owed acknowledgement of the
    // peer's latest confirm leaves first (the peer may complete on it, as we may have),
    // after the state messages decided before it: a few frames at most.
    std::uint64_t upTo = 0;
    for (const Out& o : outbox_) {
      if (o.kind == OutKind::Ack && o.ofConfirm) upTo = std::max(upTo, o.seq);
    }
    bool ok = true;
    while (ok && upTo != 0 && !outbox_.empty()) {
      const auto next = NextOut();
      if (next->kind == OutKind::Other || next->seq > upTo) break;
      const bool write = next->kind != OutKind::Ack || next->seq == upTo;
      const std::string bytes = std::move(next->bytes);
      outbox_.erase(next);
      if (write) ok = WriteAfterGap(bytes);
    }
    if (ok) WriteAfterGap("OVER*");
  }
  Shut();
  listener_.OnClosed("");
}

std::deque<Link::Out>::iterator Link::NextOut() {
  // What must go first, then state messages and acknowledgements in the order they were
  // decided, then chat and re-sent copies.
  auto rank = [](const Out& o) { return o.kind == OutKind::First ? 0 : o.kind == OutKind::Other ? 2 : 1; };
  auto next = outbox_.begin();
  for (auto it = outbox_.begin(); it != outbox_.end(); ++it) {
    if (rank(*it) < rank(*next) || (rank(*it) == rank(*next) && it->seq < next->seq)) next = it;
  }
  return next;
}

void Link::SetTime(std::int64_t now) {
  lastNow_ = std::max(lastNow_, now);
  lastClock_ = options_.clock();
}

std::int64_t Link::Current() const {
  return lastNow_ + std::max<std::int64_t>(0, options_.clock() - lastClock_);
}

bool Link::WriteAfterGap(const std::string& bytes) {
  std::int64_t t = Current();
  if (wroteAny_ && t - lastWrite_ < kFrameGapMs) {
    const std::int64_t wait = kFrameGapMs - (t - lastWrite_);
    options_.sleep(wait);
    t = std::max(Current(), t + wait);
  }
  lastWrite_ = t;
  wroteAny_ = true;
  return stream_->Write(bytes);
}

void Link::Fail(const std::string& message, bool sayOver) {
  if (state_ == State::Closed) return;
  if (sayOver && stream_ && (state_ == State::Greeting || state_ == State::Trading)) WriteAfterGap("OVER*");
  Shut();
  listener_.OnClosed(message);
}

void Link::Shut() {
  if (state_ == State::Listening) net_.StopListening();
  if (state_ == State::Connecting) net_.CancelConnect();
  state_ = State::Closed;
  if (stream_) {
    stream_->Close();
    stream_.reset();
  }
  framer_.Clear();
  outbox_.clear();
  chat_.clear();
  states_.clear();
  stateSlot_ = 0;
  copiesSlot_ = 0;
  for (Slot& s : slots_) s = Slot{};
}

std::size_t Link::BufferedBytes() const {
  std::size_t n = framer_.Pending();
  for (const Out& o : outbox_) n += o.bytes.size();
  for (const std::string& m : chat_) n += m.size();
  for (const auto& m : states_) n += m.second.size();
  return n;
}

int Link::OwedAcks() const {
  return static_cast<int>(
      std::count_if(outbox_.begin(), outbox_.end(), [](const Out& o) { return o.kind == OutKind::Ack; }));
}

void Link::Log(const std::string& line) { listener_.OnLog(line); }

}  // namespace trade
