#include "trade/session.h"

#include <algorithm>
#include <utility>

#include "platform/file_lock.h"
#include "platform/net.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "world/file_marker.h"

namespace trade {

namespace {

bool Empty(const ItemRecord& r) { return r.Name.empty(); }

const ItemRecord& NoItem() {
  static const ItemRecord none;
  return none;
}

// Items of a journal line: each in its offer form (every field but X and Y).
std::string JournalItems(const std::vector<ItemRecord>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += "|";
    const OfferText t = EncodeOffer(static_cast<int>(i % kOfferSlots) + 1, items[i]);
    out += t.payload ? *t.payload : items[i].Name;
  }
  return out + "]";
}

}  // namespace

bool UsableJoinAddress(const std::string& typed) {
  const std::string address = plat::Trim(typed);
  return !address.empty() && address != "0.0.0.0";
}

Session::Session(Network& network, SessionListener& listener, SessionOptions options)
    : net_(network), listener_(listener), options_(std::move(options)) {
  if (!options_.load)
    options_.load = [](const std::string& name, TradeSave& out, plat::FileLock& lock) {
      return LoadSaveForTrade(name, out, lock);
    };
  if (!options_.write)
    options_.write = [](const std::string& id, const BagSlots& items) { return WriteItemRows(id, items); };
  if (!options_.journal)
    options_.journal = [](const std::string& id, const std::string& line) {
      return plat::AppendDurably(plat::ResolvePath("\\Save\\" + id + ".trade.log"), line + "\n");
    };
}

Session::~Session() {
  if (open_ && CommitMayBePending()) Journal("unanswered", OfferList(mine_), OfferList(theirs_));
  if (open_ && unsaved_) RetryUnsaved(true);
  link_.reset();  // says "OVER*" to a connected peer
}

// ---------------------------------------------------------------- opening and closing

bool Session::Open(std::int64_t now, std::string* error) {
  auto fail = [error](const std::string& message) {
    if (error != nullptr) *error = message;
    return false;
  };
  if (open_) return fail("交易已经开始");
  now_ = now;
  if (options_.role == Role::Join && !UsableJoinAddress(options_.address)) return fail(kBadAddressText);
  TradeSave save;
  plat::FileLock lock;
  switch (options_.load(options_.name, save, lock)) {
    case TradeLoadError::None:
      break;
    case TradeLoadError::InUse:
      return fail(std::string(kMsgSaveInUse));
    case TradeLoadError::LockFailed:
      return fail(std::string(kMsgSaveLockFailed));
    case TradeLoadError::NoWorkCopy:
      return fail(std::string(kMsgNoWorkCopy));
    case TradeLoadError::Unreadable:
      return fail(kBadSaveText);
    case TradeLoadError::BadItemRows:
      return fail(kBadItemRowsText);
    case TradeLoadError::NotTradable:
      return fail(kNotTradableText);
  }

  ClearLists();
  unsaved_.reset();
  unsavedRounds_.clear();
  LinkOptions lo;
  lo.role = options_.role;
  lo.address = options_.address;
  lo.port = options_.port;
  lo.ownName = save.id;
  lo.table = options_.table;
  lo.sleep = options_.sleep;
  LinkListener& self = *this;
  auto link = std::make_unique<Link>(net_, self, std::move(lo));
  std::string why;
  if (!link->Start(now, &why)) return fail(why);  // the lock ends with `lock`

  link_ = std::move(link);
  lock_ = std::move(lock);
  name_ = save.id;
  bag_ = std::move(save.items);
  open_ = true;
  closing_ = false;
  const std::string local = options_.localAddress.empty() ? plat::LocalIpv4Address() : options_.localAddress;
  listener_.OnLog("您选择使用『 " + plat::FixedWidth(name_, 4) + " 』进行交易");
  listener_.OnLog("您的IP地址：" + local);
  listener_.OnLog(options_.role == Role::Host ? std::string("等待加入 …") : "连接到：" + options_.address);
  return true;
}

void Session::Close(std::int64_t now) {
  now_ = now;
  if (!open_ || closing_) return;
  closing_ = true;
  if (Trading() && CommitMayBePending()) {
    // The peer may complete on our confirm: its acknowledgement decides, so wait for it.
    closeDeadline_ = now + kCloseWaitMs;
    listener_.OnLog(kCloseWaitLine);
    return;
  }
  FinishClose();
}

void Session::FinishClose() {
  if (!open_) return;
  if (CommitMayBePending()) Journal("unanswered", OfferList(mine_), OfferList(theirs_));
  if (unsaved_) RetryUnsaved(true);
  finishing_ = true;
  link_->HandleAcksOnly();
  link_->Close(now_);  // reports OnClosed("") unless the link was already closed
  if (open_) Ended("");
}

void Session::OnClosed(const std::string& message) {
  if (!open_) return;
  if (!finishing_) {  // (our own close has seen to these)
    // A link that died while our confirm was unanswered may have left the peer completed.
    if (CommitMayBePending()) Journal("unanswered", OfferList(mine_), OfferList(theirs_));
    if (unsaved_) RetryUnsaved(true);
  }
  Ended(message);
}

void Session::Ended(const std::string& message) {
  open_ = false;
  closing_ = finishing_ = false;
  ClearLists();
  lock_.Unlock();
  listener_.OnClosed(message);
}

void Session::ClearLists() {
  mine_.fill(ItemRecord{});
  theirs_.fill(ItemRecord{});
  theirsValid_.fill(true);
  unreadablePeerOffer_ = false;
  cmy_ = cdf_ = cdfFresh_ = peerJy1Last_ = false;
  jy1Id_ = 0;
  jy1Acked_ = false;
  offersOut_.clear();
  jy0AfterAck_ = false;
}

// ---------------------------------------------------------------- the pump

void Session::Poll(std::int64_t now) {
  now_ = now;
  if (!open_) return;
  link_->Poll(now);
  if (!open_) return;
  if (jy0AfterAck_) {
    // The commit of a received confirm clears our box once the acknowledgement is out.
    jy0AfterAck_ = false;
    SendConfirm(false);
  }
  if (unsaved_ && now >= retryAt_) RetryUnsaved(false);
  if (closing_ && (!Trading() || !CommitMayBePending() || now >= closeDeadline_)) FinishClose();
}

// ---------------------------------------------------------------- what the link reports

void Session::OnConnected(const std::string& peerName) { listener_.OnConnected(peerName); }

void Session::OnChat(const std::string& from, const std::string& text) { listener_.OnChat(from, text); }

void Session::OnLog(const std::string& line) { listener_.OnLog(line); }

void Session::OnPeerOffer(int slot, const ItemRecord& item) {
  if (slot < 1 || slot > kOfferSlots) return;
  theirs_[slot] = item;
  theirsValid_[slot] = true;
  listener_.OnOffer(Side::Peer, slot, &theirs_[slot]);
  PeerOfferChanged();
}

void Session::OnPeerWithdraw(int slot) {
  if (slot < 1 || slot > kOfferSlots) return;
  theirs_[slot] = ItemRecord{};
  theirsValid_[slot] = true;
  listener_.OnOffer(Side::Peer, slot, nullptr);
  PeerOfferChanged();
}

void Session::OnPeerOfferInvalid(int slot, const std::string& line) {
  listener_.OnRefused("peer_offer", line);
  if (slot >= 1 && slot <= kOfferSlots) {
    theirs_[slot] = ItemRecord{};
    theirsValid_[slot] = false;
    listener_.OnOffer(Side::Peer, slot, nullptr);
  } else {
    unreadablePeerOffer_ = true;  // some slot of the peer's holds we do not know what
  }
  PeerOfferChanged();
}

void Session::PeerOfferChanged() {
  // Any offer change clears both boxes; ours is announced as cleared.
  SetPeerConfirm(false, false);
  if (cmy_) SendConfirm(false);
}

void Session::OnPeerConfirm(bool value) {
  const bool again = value && peerJy1Last_;
  peerJy1Last_ = value;
  if (again) {
    // A second JY1 without a JY0 between may be a re-sent copy of a stale one: the box
    // shows it, but it neither counts nor completes anything. (A busy peer that cleared
    // its box without saying so sends just this when it confirms again; it must clear and
    // confirm once more, and our own confirm is refused until it does.)
    if (!cdf_) SetPeerConfirm(true, false);
    return;
  }
  // The peer's confirm counts only when none of our offers was on its way: it may have
  // been given before the peer saw them.
  SetPeerConfirm(value, value && !OfferInFlight());
  if (value) Evaluate(Case::PeerConfirmed);
}

void Session::OnStateAcknowledged(std::uint64_t id, const std::string& /*message*/) {
  offersOut_.erase(std::remove(offersOut_.begin(), offersOut_.end(), id), offersOut_.end());
  if (id != 0 && id == jy1Id_) {
    jy1Acked_ = true;
    Evaluate(Case::OwnConfirmAcknowledged);
  }
}

// ---------------------------------------------------------------- the commit

bool Session::CommitMayBePending() const {
  return open_ && cmy_ && jy1Id_ != 0 && !jy1Acked_ && cdf_ && cdfFresh_;
}

void Session::Evaluate(Case c) {
  if (!cmy_ || !jy1Acked_ || !cdf_ || !cdfFresh_ || !Trading()) return;
  // Our JY1 goes out only when these hold, and every change since withdrew it; should
  // they fail all the same, our confirm is withdrawn before the peer can complete on it.
  const bool valid = PeerOffersValid();
  const bool room = PeerOfferCount() <= FreeBagSlots();
  if (!valid || !room) {
    if (!room) listener_.OnLog(kNoRoomLine);
    if (c == Case::PeerConfirmed) {
      SendClearFirst();
    } else {
      SendConfirm(false);
    }
    return;
  }
  Commit(c);
}

bool Session::PeerOffersValid() const {
  bool valid = !unreadablePeerOffer_;
  for (int k = 1; k <= kOfferSlots; ++k) valid = valid && theirsValid_[k];
  return valid;
}

void Session::Commit(Case c) {
  const std::vector<ItemRecord> gave = OfferList(mine_);
  const std::vector<ItemRecord> got = OfferList(theirs_);
  // The new bag in a copy: the peer's items in the order of their offer slots, each in
  // the first free bag slot.
  BagSlots staged = bag_;
  std::vector<int> landed;
  for (int k = 1; k <= kOfferSlots; ++k) {
    if (Empty(theirs_[k])) continue;
    for (int j = kBagFirstSlot; j <= kBagLastSlot; ++j) {
      if (Empty(staged[j])) {
        staged[j] = theirs_[k];
        landed.push_back(j);
        break;
      }
    }
  }
  const bool journaled = Journal("begin", gave, got);
  const bool written = journaled && options_.write(name_, staged);

  if (!written && c == Case::PeerConfirmed) {
    // Nothing changes; our box is cleared on the wire before the acknowledgement leaves,
    // so the peer does not complete either.
    Journal("failed", gave, got);
    SendClearFirst();
    listener_.OnCommitFailed(kCommitFailedText);
    return;
  }

  bag_ = std::move(staged);
  for (int j : landed) listener_.OnBagChanged(j);
  for (int k = 1; k <= kOfferSlots; ++k) {
    if (!Empty(mine_[k])) {
      mine_[k] = ItemRecord{};
      listener_.OnOffer(Side::Own, k, nullptr);
    }
    if (!Empty(theirs_[k])) {
      theirs_[k] = ItemRecord{};
      listener_.OnOffer(Side::Peer, k, nullptr);
    }
  }
  if (written) {
    // This write holds the earlier rounds that still waited for theirs.
    Saved();
    Journal("committed", gave, got);
    listener_.OnLog(kSuccessLine);
  } else {
    // The peer has completed already: the round stands, and its write is retried.
    Journal("unsaved", gave, got);
    unsaved_ = bag_;
    unsavedRounds_.push_back(Round{gave, got});
    retryAt_ = now_ + kCommitRetryMs;
  }
  SetPeerConfirm(false, false);
  if (c == Case::PeerConfirmed) {
    // The JY0 follows the acknowledgement, which lets the peer complete.
    SetOwnConfirm(false);
    jy1Id_ = 0;
    jy1Acked_ = false;
    jy0AfterAck_ = true;
  } else {
    SendConfirm(false);
  }
  if (written) {
    listener_.OnCommitted(gave, got);
  } else {
    listener_.OnCommitFailed(kCommitUnsavedText);
  }
}

void Session::Saved() {
  std::vector<Round> rounds = std::move(unsavedRounds_);
  unsavedRounds_.clear();
  unsaved_.reset();
  for (const Round& r : rounds) {
    Journal("committed", r.gave, r.got);
    listener_.OnLog(kSuccessLine);
    listener_.OnCommitted(r.gave, r.got);
  }
}

void Session::RetryUnsaved(bool closing) {
  if (options_.write(name_, *unsaved_)) {
    Saved();
    return;
  }
  retryAt_ = now_ + kCommitRetryMs;
  if (closing) {
    for (const Round& r : unsavedRounds_) Journal("lost", r.gave, r.got);
    unsavedRounds_.clear();
    unsaved_.reset();
    listener_.OnCommitFailed(kCommitLostText);
  }
}

bool Session::Journal(const std::string& phase, const std::vector<ItemRecord>& gave,
                      const std::vector<ItemRecord>& got) {
  const std::string line = CurrentDateText() + " " + name_ + " peer=" + PeerName() + " " + phase +
                           " gave=" + JournalItems(gave) + " got=" + JournalItems(got);
  return options_.journal(name_, line);
}

std::vector<ItemRecord> Session::OfferList(const std::array<ItemRecord, kOfferSlots + 1>& slots) {
  std::vector<ItemRecord> out;
  for (int k = 1; k <= kOfferSlots; ++k) {
    if (!Empty(slots[k])) out.push_back(slots[k]);
  }
  return out;
}

// ---------------------------------------------------------------- the boxes

bool Session::StateIdle() const { return link_ && link_->StateIdle() && !jy0AfterAck_; }

void Session::SendConfirm(bool value) { Queued(link_ ? link_->Confirm(value) : 0, false, value); }

void Session::SendClearFirst() { Queued(link_ ? link_->QueueStateFirst("JY0") : 0, false, false); }

void Session::Queued(std::uint64_t id, bool offer, bool value) {
  if (id == 0) return;  // not trading
  if (offer) offersOut_.push_back(id);
  // Any offer or confirm of ours voids the JY1 before it.
  jy1Id_ = !offer && value ? id : 0;
  jy1Acked_ = false;
  if (!offer) SetOwnConfirm(value);
}

bool Session::OfferInFlight() const {
  // A re-sent copy of our last offer still on its way clears the peer's confirm again.
  return !offersOut_.empty() || (link_ && link_->StateCopiesOut());
}

void Session::SetOwnConfirm(bool value) {
  if (cmy_ == value) return;
  cmy_ = value;
  listener_.OnConfirm(Side::Own, value);
}

void Session::SetPeerConfirm(bool value, bool fresh) {
  cdfFresh_ = fresh;
  if (cdf_ == value) return;
  cdf_ = value;
  listener_.OnConfirm(Side::Peer, value);
}

// ---------------------------------------------------------------- the player's actions

void Session::Refuse(const std::string& what, const std::string& line) {
  listener_.OnLog(line);
  listener_.OnRefused(what, line);
}

bool Session::Offer(int bagSlot) {
  if (!Trading() || closing_ || bagSlot < kBagFirstSlot || bagSlot > kBagLastSlot) return false;
  const ItemRecord& item = bag_[bagSlot];
  if (item.dzlevel > 0) {
    Refuse("offer", kForgedLine);
    return false;
  }
  if (Empty(item)) return false;
  int k = 1;
  while (k <= kOfferSlots && !Empty(mine_[k])) ++k;
  if (k > kOfferSlots) return false;
  if (!StateIdle()) {
    Refuse("offer", kStateBusyLine);
    return false;
  }
  const OfferText text = EncodeOffer(k, item);
  if (!text.payload) {
    Refuse("offer", text.refusal);
    return false;
  }
  SetPeerConfirm(false, false);
  if (cmy_) SendConfirm(false);  // before the offer, as the protocol has it
  mine_[k] = item;
  bag_[bagSlot] = ItemRecord{};
  listener_.OnBagChanged(bagSlot);
  listener_.OnOffer(Side::Own, k, &mine_[k]);
  Queued(link_->QueueState("WC" + *text.payload), true, false);
  return true;
}

bool Session::Withdraw(int k) {
  if (!Trading() || closing_ || k < 1 || k > kOfferSlots) return false;
  int j = kBagFirstSlot;
  while (j <= kBagLastSlot && !Empty(bag_[j])) ++j;
  if (j > kBagLastSlot) return false;
  if (!StateIdle()) {
    Refuse("withdraw", kStateBusyLine);
    return false;
  }
  if (!Empty(mine_[k])) {
    bag_[j] = std::move(mine_[k]);
    mine_[k] = ItemRecord{};
    listener_.OnBagChanged(j);
    listener_.OnOffer(Side::Own, k, nullptr);
  }
  // An empty slot still sends its withdrawal.
  Queued(link_->Withdraw(k), true, false);
  SetPeerConfirm(false, false);
  if (cmy_) SendConfirm(false);
  return true;
}

bool Session::SetConfirm(bool value) {
  if (value == cmy_ || closing_) return false;
  if (!Trading()) {
    Refuse("confirm", kNotConnectedLine);
    return false;
  }
  if (!StateIdle() || link_->Busy()) {
    Refuse("confirm", kStateBusyLine);
    return false;
  }
  if (value) {
    // Our JY1 goes on the wire only if, were the peer to complete on it, we would
    // complete too.
    if (!PeerOffersValid()) {
      Refuse("confirm", kPeerOfferRefusedLine);
      return false;
    }
    if (PeerOfferCount() > FreeBagSlots()) {
      Refuse("confirm", kNoRoomLine);
      return false;
    }
    if (cdf_ && !cdfFresh_) {
      Refuse("confirm", kConfirmAgainLine);
      return false;
    }
  }
  SendConfirm(value);  // completion waits for the acknowledgement, never the click
  return true;
}

bool Session::Discard(int bagSlot) {
  if (!Trading() || closing_ || bagSlot < kBagFirstSlot || bagSlot > kBagLastSlot) return false;
  if (Empty(bag_[bagSlot])) return false;
  bag_[bagSlot] = ItemRecord{};
  listener_.OnBagChanged(bagSlot);
  return true;
}

bool Session::Say(const std::string& text) {
  if (!link_ || !open_ || closing_) {
    Refuse("chat", kNotConnectedLine);
    return false;
  }
  const Link::SayResult r = link_->Say(text);  // logs the line or the refusal
  if (!r.queued) listener_.OnRefused("chat", r.line);
  return r.queued;
}

bool Session::SendRaw(const std::string& text) { return link_ && link_->SendRaw(text); }

bool Session::QuickPhrase(const std::string& text) {
  if (!Trading() || closing_) {
    Refuse("phrase", kNotConnectedLine);
    return false;
  }
  if (link_->Busy()) {
    Refuse("phrase", kPhraseBusyLine);
    return false;
  }
  return Say(text);
}

// ---------------------------------------------------------------- what is shown

const ItemRecord& Session::Bag(int slot) const {
  return slot >= 1 && slot <= kItemSlots ? bag_[static_cast<std::size_t>(slot)] : NoItem();
}

const ItemRecord& Session::OwnOffer(int k) const {
  return k >= 1 && k <= kOfferSlots ? mine_[static_cast<std::size_t>(k)] : NoItem();
}

const ItemRecord& Session::PeerOffer(int k) const {
  return k >= 1 && k <= kOfferSlots ? theirs_[static_cast<std::size_t>(k)] : NoItem();
}

bool Session::PeerOfferValid(int k) const {
  return k >= 1 && k <= kOfferSlots && theirsValid_[static_cast<std::size_t>(k)];
}

int Session::FreeBagSlots() const {
  int n = 0;
  for (int j = kBagFirstSlot; j <= kBagLastSlot; ++j) n += Empty(bag_[j]) ? 1 : 0;
  return n;
}

int Session::PeerOfferCount() const {
  int n = 0;
  for (int k = 1; k <= kOfferSlots; ++k) n += Empty(theirs_[k]) ? 0 : 1;
  return n;
}

const std::string& Session::PeerName() const {
  static const std::string none;
  return link_ ? link_->PeerName() : none;
}

bool Session::Trading() const { return open_ && link_ && link_->Trading(); }

}  // namespace trade
