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
  lastNow_ = now;
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
  state_ = State::Connecting;
  net_.StartConnect(options_.address, options_.port, kConnectAttemptMs);
  connectTick_ = now + kConnectTickMs;
  return true;
}

void Link::Greet(std::unique_ptr<Stream> stream, std::int64_t now) {
  stream_ = std::move(stream);
  state_ = State::Greeting;
  greetingDeadline_ = now + kGreetingMs;
  // At once: a peer with our name closes as soon as it has our greeting and its own is
  // out, and it must not find us gone before ours arrived.
  lastWrite_ = now;
  wroteAny_ = true;
  if (!stream_->Write(ToCp936Lossy("OK" + options_.ownName + "*"))) Fail(kLinkLostText, false);
}

void Link::Poll(std::int64_t now) {
  if (polling_ || state_ == State::Closed || state_ == State::Idle) return;
  lastNow_ = std::max(lastNow_, now);
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
    const Network::ConnectState cs = net_.PollConnect(s);
    if (cs == Network::ConnectState::Connected && s) {
      Greet(std::move(s), now);
    } else if (now >= connectTick_) {
      // This tick's attempt did not get through: count it and make a new one.
      connectTick_ = std::max(connectTick_ + kConnectTickMs, now + 1);
      if (retries_ >= kConnectRetries) {
        Fail(kConnectFailedText, false);
        return;
      }
      ++retries_;
      Log(RetryLine(retries_));
      if (state_ != State::Connecting) return;
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
  Flush(now);
}

void Link::ReadAndHandle(std::int64_t now) {
  std::size_t taken = 0;
  std::vector<std::string> frames;
  while (stream_ && taken < kReadPerPoll) {
    std::string bytes;
    const Stream::ReadResult r = stream_->Read(bytes);
    if (r == Stream::ReadResult::NoData) return;
    if (r == Stream::ReadResult::Closed) {
      Fail(kLinkLostText, false);
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
      Fail(kLinkLostText, false);
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
      Fail(kSameNameText, false);
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
    case Tag::Offer:
      HandleQueued(f);
      // A state message the handler queued (a JY0 after a failed commit) goes out before
      // the acknowledgement.
      if (state_ == State::Trading) SendNextState(now);
      if (state_ == State::Trading) QueueAck(f.slot);
      break;
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

void Link::QueueAck(int d) {
  // One acknowledgement for every copy handled: the sender counts them, and reuses the
  // slot only when each copy it wrote is answered.
  Out ack{std::string("YZ") + static_cast<char>('0' + d) + "*", 0};
  // A state message waiting for a free slot goes first: the peer reads the
  // acknowledgement in its light (a JY0 before it says that our confirm no longer stands).
  if (!states_.empty() && stateSlot_ == 0) {
    heldAcks_.push_back(std::move(ack));
  } else {
    outbox_.push_back(std::move(ack));
  }
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
  if (unanswered > 0) s.quietUntil = now + kLostCopyMs;
  if (id != 0 && stateSlot_ == d) {
    stateSlot_ = 0;
    // A copy of an offer still on its way clears the peer's confirm once more when it
    // arrives: nothing newer goes before it is answered.
    copiesSlot_ = message.rfind("WC", 0) == 0 ? d : 0;
    listener_.OnStateAcknowledged(id, message);
  }
}

bool Link::StateCopiesOut() const {
  if (copiesSlot_ == 0) return false;
  const Slot& s = slots_[copiesSlot_];
  return s.state == SlotState::Free && s.unanswered > 0 && lastNow_ < s.quietUntil;
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

void Link::Assign(int d, std::string message, std::uint64_t stateId) {
  if (d == copiesSlot_) copiesSlot_ = 0;  // every copy of its last frame was answered (or lost)
  Slot& s = slots_[d];
  s = Slot{};
  s.state = SlotState::Pending;
  s.stateId = stateId;
  outbox_.push_back(Out{ToCp936Lossy(QueuedFrameText(message, d)), d});
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
  // The acknowledgements that waited behind it follow it.
  for (Out& o : heldAcks_) outbox_.push_back(std::move(o));
  heldAcks_.clear();
}

void Link::Resend(std::int64_t now) {
  for (int d = 1; d <= kSendSlots; ++d) {
    Slot& s = slots_[d];
    if (s.state != SlotState::OnWire || now - s.sentAt <= kResendMs) continue;
    // In place, with the same digit: a re-queued copy could overtake a later state.
    s.state = SlotState::Pending;
    outbox_.push_back(Out{ToCp936Lossy(QueuedFrameText(s.message, d)), d});
  }
}

void Link::Flush(std::int64_t now) {
  if (outbox_.empty() || !stream_) return;
  if (wroteAny_ && now - lastWrite_ < kFrameGapMs) return;
  Out o = std::move(outbox_.front());
  outbox_.pop_front();
  lastWrite_ = now;
  wroteAny_ = true;
  if (o.slot != 0) {
    slots_[o.slot].state = SlotState::OnWire;
    slots_[o.slot].sentAt = now;
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
  const std::uint64_t id = nextStateId_++;
  states_.emplace_back(id, std::move(message));
  return id;
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
  outbox_.push_back(Out{ToCp936Lossy(text), 0});
  return true;
}

std::uint64_t Link::Confirm(bool value) { return QueueState(value ? "JY1" : "JY0"); }

void Link::Close(std::int64_t now) {
  if (state_ == State::Closed) return;
  if (stream_ && (state_ == State::Greeting || state_ == State::Trading)) {
    // Acknowledgements still waiting leave first (the peer may act on them), each after
    // the gap, then the farewell. What waits before an acknowledgement leaves with it, in
    // order: the peer reads the acknowledgement in its light (a JY0 before it says that
    // our confirm no longer stands).
    std::vector<std::string> last;
    std::size_t upTo = 0;
    for (std::size_t i = 0; i < outbox_.size(); ++i) {
      if (outbox_[i].slot == 0 && outbox_[i].bytes.rfind("YZ", 0) == 0) upTo = i + 1;
    }
    for (std::size_t i = 0; i < upTo; ++i) last.push_back(outbox_[i].bytes);
    last.push_back("OVER*");
    for (const std::string& bytes : last) {
      if (!WriteAfterGap(bytes, now)) break;
    }
  }
  Shut();
  listener_.OnClosed("");
}

bool Link::WriteAfterGap(const std::string& bytes, std::int64_t& now) {
  now = std::max(now, lastNow_);
  if (wroteAny_ && now - lastWrite_ < kFrameGapMs) {
    const std::int64_t wait = kFrameGapMs - (now - lastWrite_);
    options_.sleep(wait);
    now += wait;
  }
  lastNow_ = now;
  lastWrite_ = now;
  wroteAny_ = true;
  return stream_->Write(bytes);
}

void Link::Fail(const std::string& message, bool sayOver) {
  if (state_ == State::Closed) return;
  if (sayOver && stream_) {
    std::int64_t now = lastNow_;
    WriteAfterGap("OVER*", now);
  }
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
  heldAcks_.clear();
  for (Slot& s : slots_) s = Slot{};
}

std::size_t Link::BufferedBytes() const {
  std::size_t n = framer_.Pending();
  for (const Out& o : outbox_) n += o.bytes.size();
  for (const Out& o : heldAcks_) n += o.bytes.size();
  for (const std::string& m : chat_) n += m.size();
  for (const auto& m : states_) n += m.second.size();
  return n;
}

void Link::Log(const std::string& line) { listener_.OnLog(line); }

}  // namespace trade
