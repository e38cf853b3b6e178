// A trade peer that follows the trade protocol to the letter, faults included, for the
// tests: our own peer must trade with it safely. It treats every socket read as one
// message (a merged read counts as its first message, a split one is lost), sends one
// queued message per 400 ms tick in the lowest free slot, re-queues an overdue message at
// the end of the queue with a new digit (checked only when data arrives), completes at its
// own click and on a received confirm, and rewrites the item rows of its own save.
//
//   trade_literal_peer host|join --address A --port P --folder GAMEFOLDER --name CHARACTER
//
// Commands on standard input as for the headless trade peer: offer BAGSLOT, withdraw K,
// confirm 0|1, chat TEXT, discard BAGSLOT, wait MS, close (the end of input counts as
// close). Events on standard output, one JSON object a line: listening (port), connected
// (peer), chat (from, text), offer (side "peer", slot, item or null), confirm (side,
// value), committed (gave, got), log (text), closed (text).
// Exit status: 0 after its own close or the peer's farewell, 3 when the link was lost, 1
// on a set-up failure, 2 on bad arguments.

#include <poll.h>

#include <array>
#include <deque>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/clock.h"
#include "platform/file_lock.h"
#include "platform/net.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "trade/wire.h"
#include "trade_tool_io.h"
#include "world/save_game.h"

namespace {

using tradejson::Emit;
using tradejson::Json;

constexpr std::int64_t kPumpMs = 400;
constexpr std::int64_t kOverdueMs = 2000;
constexpr std::int64_t kConnectTickMs = 2000;

using Bag = FixedArray<ItemRecord, kItemSlots + 1>;

bool Empty(const ItemRecord& r) { return r.Name.empty(); }

// Zero-padded decimal, written wider when the value does not fit (as a literal sender does).
std::string Padded(std::int32_t v, int width) {
  std::string s = std::to_string(v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}

// The 90-character offer of an item in own offer slot k, written field by field.
std::string OfferPayload(int k, const ItemRecord& it) {
  std::string name = it.Name;
  for (long n = plat::Len(name); n < 10; ++n) name.insert(name.begin(), ' ');
  std::string s = "1" + Padded(k, 2) + name + Padded(it.Type, 2) + (it.Type2.empty() ? " " : it.Type2);
  s += std::to_string(it.DcSpeed) + std::to_string(it.Nb) + std::to_string(it.Acc);
  for (std::int32_t v : {it.Weight, it.MaBi, it.XiHP, it.Luck, it.zd, it.dzlevel, it.SP, it.JP})
    s += Padded(v, 2);
  for (std::int32_t v : {it.Pic1, it.Pic2, it.Hp, it.Mp, it.Dc, it.DcMax, it.Mc, it.McMax, it.Df, it.DfMax,
                         it.Mf, it.MfMax, it.NdDc, it.NdMc, it.NdLevel})
    s += Padded(v, 3);
  return s + Padded(it.Money, 5) + Padded(it.Ex, 5);
}

// The whole-number value of characters [start, start + n) (1-based), as the protocol reads them.
std::int32_t Field(const std::string& p, long start, long n) {
  return static_cast<std::int32_t>(plat::Val(plat::Mid(p, start, n)));
}

ItemRecord DecodeOffer(const std::string& p) {
  ItemRecord it;
  it.Name = plat::Trim(plat::Mid(p, 4, 10));
  it.Type = Field(p, 14, 2);
  it.Type2 = plat::Mid(p, 16, 1);
  it.DcSpeed = Field(p, 17, 1);
  it.Nb = Field(p, 18, 1);
  it.Acc = Field(p, 19, 1);
  long at = 20;
  for (std::int32_t* v : {&it.Weight, &it.MaBi, &it.XiHP, &it.Luck, &it.zd, &it.dzlevel, &it.SP, &it.JP}) {
    *v = Field(p, at, 2);
    at += 2;
  }
  for (std::int32_t* v : {&it.Pic1, &it.Pic2, &it.Hp, &it.Mp, &it.Dc, &it.DcMax, &it.Mc, &it.McMax, &it.Df,
                          &it.DfMax, &it.Mf, &it.MfMax, &it.NdDc, &it.NdMc, &it.NdLevel}) {
    *v = Field(p, at, 3);
    at += 3;
  }
  it.Money = Field(p, 81, 5);
  it.Ex = Field(p, 86, 5);
  return it;
}

class LiteralPeer {
 public:
  LiteralPeer(std::string name, Bag items) : id_(std::move(name)), items_(std::move(items)) {}

  // Host: listen (the port is reported); join: the first attempt starts at the first tick.
  bool Start(bool host, const std::string& address, std::uint16_t port, std::string* error) {
    host_ = host;
    address_ = address;
    port_ = port;
    if (!host) return true;
    if (listener_.Listen(address, port, error) != plat::TcpListener::Result::Ok) return false;
    Emit("\"event\":\"listening\",\"port\":" + std::to_string(listener_.Port()));
    return true;
  }

  bool Ended() const { return ended_; }
  int ExitStatus() const { return status_; }

  // One pass of the window's events: the socket, the two timers.
  void Run(std::int64_t now) {
    now_ = now;
    if (ended_) return;
    if (host_ && listener_.IsListening()) {
      if (auto s = listener_.AcceptOne()) {
        listener_.Close();
        stream_ = std::move(*s);
        SendDirect("OK" + id_ + "*");
        SetMine(false);
      }
    }
    if (!host_ && !connected_ && now >= nextAttempt_) Attempt();
    if (!host_ && !connected_ && connector_.Poll() == plat::TcpConnector::State::Connected) {
      stream_ = connector_.Take();
      connected_ = true;
      SendDirect("OK" + id_ + "*");
      SetMine(false);
    }
    if (stream_.IsOpen() && !peerGone_) DataArrival();
    if (ended_) return;
    if (trading_ && now >= nextPump_) {
      nextPump_ = now + kPumpMs;
      Pump();
    }
  }

  // The player's actions.
  void Offer(int i) {
    if (!trading_ || i < 21 || i > 56) return;
    if (items_[i].dzlevel > 0) return Log("★ 不能交易锻造后的装备 ★");
    if (Empty(items_[i])) return;
    int k = 1;
    while (k <= 10 && !Empty(mine_[k])) ++k;
    if (k > 10) return;
    SetPeer(false);
    SetMine(false);
    mine_[k] = items_[i];
    items_[i] = ItemRecord{};
    queue_.push_back("WC" + OfferPayload(k, mine_[k]) + "*");
  }
  void Withdraw(int k) {
    if (!trading_ || k < 1 || k > 10) return;
    int j = 21;
    while (j <= 56 && !Empty(items_[j])) ++j;
    if (j > 56) return;
    items_[j] = mine_[k];
    mine_[k] = ItemRecord{};
    queue_.push_back("WC0" + Padded(k, 2) + "*");
    SetPeer(false);
    SetMine(false);
  }
  void Click(bool value) {
    if (cmy_ == value) return;
    cmy_ = value;
    Emit(std::string("\"event\":\"confirm\",\"side\":\"own\",\"value\":") + (value ? "1" : "0"));
    ConfirmClicked();
  }
  void Discard(int i) {
    if (i >= 21 && i <= 56) items_[i] = ItemRecord{};
  }
  void Say(const std::string& text) {
    if (!trading_) return Log("■ 没有连接 请稍后 ■");
    if (queue_.size() >= 2) return Log("■ 任务忙 请放慢速度■");
    queue_.push_back("SY" + text + "*");
    Log(text);
  }
  // The window closes: "OVER*" straight out, the socket closed.
  void Close() {
    if (stream_.IsOpen()) stream_.SendAll(trade::ToCp936Lossy("OVER*"));
    End("", 0);
  }

 private:
  // One tick of the joiner's connection timer: the first starts an attempt; a later one
  // finds the attempt still under way or failed, counts a retry and starts anew.
  void Attempt() {
    nextAttempt_ = now_ + kConnectTickMs;
    if (attempted_) {
      if (retries_ == 10) return End("连接失败！结束交易！", 3);
      Log("■ 连接主机失败，进行第" + std::to_string(++retries_) + "次重试 ■");
      if (connector_.CurrentState() == plat::TcpConnector::State::Resolving ||
          connector_.CurrentState() == plat::TcpConnector::State::Connecting)
        return;
    }
    attempted_ = true;
    connector_.Start(address_, port_, static_cast<int>(kConnectTickMs));
  }

  void SendDirect(const std::string& text) {
    if (!stream_.SendAll(trade::ToCp936Lossy(text))) End("连接已断开", 3);
  }

  void Log(const std::string& line) { Emit("\"event\":\"log\",\"text\":" + Json(line)); }

  void End(const std::string& text, int status) {
    if (ended_) return;
    ended_ = true;
    status_ = status;
    if (stream_.IsOpen()) stream_.Close(100);
    Emit("\"event\":\"closed\",\"text\":" + Json(text));
  }

  // Sets the own box from the window's code: a change runs the box's click handling.
  void SetMine(bool value) { Click(value); }
  void SetPeer(bool value) {
    if (cdf_ == value) return;
    cdf_ = value;
    Emit(std::string("\"event\":\"confirm\",\"side\":\"peer\",\"value\":") + (value ? "1" : "0"));
  }

  int PeerCount() const {
    int n = 0;
    for (int k = 1; k <= 10; ++k) n += Empty(theirs_[k]) ? 0 : 1;
    return n;
  }
  int FreeSlots() const {
    int n = 0;
    for (int j = 21; j <= 56; ++j) n += Empty(items_[j]) ? 1 : 0;
    return n;
  }

  void ConfirmClicked() {
    if (!trading_) return Log("■ 没有连接 请稍后 ■");
    if (queue_.size() >= 2) return Log("■ 任务忙 请放慢速度  ■");
    if (PeerCount() > FreeSlots()) {
      if (cmy_) {
        Log("■ 你的道具栏剩余容量不足 不能完成交易操作 ■");
        SetMine(false);
      }
      return;
    }
    queue_.push_back(std::string("JY") + (cmy_ ? "1" : "0") + "*");
    if (cmy_ && cdf_) Complete();
  }

  void Complete() {
    std::vector<ItemRecord> gave, got;
    for (int k = 1; k <= 10; ++k) {
      if (Empty(theirs_[k])) continue;
      for (int j = 21; j <= 56; ++j) {
        if (Empty(items_[j])) {
          items_[j] = theirs_[k];
          got.push_back(theirs_[k]);
          theirs_[k] = ItemRecord{};
          break;
        }
      }
    }
    for (int k = 1; k <= 10; ++k) {
      if (!Empty(mine_[k])) gave.push_back(mine_[k]);
      mine_[k] = ItemRecord{};
    }
    Emit("\"event\":\"writing\"");
    WriteItemRows(id_, items_);  // reports nothing back
    Log("※ 交易成功 ※");
    Emit("\"event\":\"committed\",\"gave\":" + tradejson::NameList(gave) +
         ",\"got\":" + tradejson::NameList(got));
    SetMine(false);
    SetPeer(false);
  }

  // Reads what is waiting as one text, handles it, then re-queues overdue slots.
  void DataArrival() {
    std::string bytes;
    const auto status = stream_.ReadAvailable(bytes);
    if (status == plat::TcpStream::ReadStatus::Closed) peerGone_ = true;  // noticed by the next send only
    if (bytes.empty()) return;
    Handle(trade::FromCp936(bytes));
    if (ended_) return;
    for (int i = 1; i <= 9; ++i) {
      if (sentAt_[i] > 0 && now_ - sentAt_[i] > kOverdueMs) {
        sentAt_[i] = 0;
        queue_.push_back(inSlot_[i]);
        inSlot_[i] = "0";
      }
    }
  }

  void Handle(const std::string& s) {
    if (plat::Right(s, 1) != "*") return;
    const std::string tag = plat::Left(s, 2);
    const std::string d = plat::Mid(s, 3, 1);
    std::string p;
    if (tag == "WC" || tag == "SY" || tag == "JY") {
      SendDirect("YZ" + d + "*");
      if (ended_) return;
      p = plat::Mid(s, 4, plat::Len(s) - 4);
    }
    if (tag == "OK") {
      peerName_ = plat::Mid(s, 3, plat::Len(s) - 3);
      if (peerName_ == id_) {
        Emit("\"event\":\"log\",\"text\":\"双方的角色名重复，不能进行交易！\"");
        return End("双方的角色名重复，不能进行交易！", 3);
      }
      trading_ = true;
      nextPump_ = now_ + kPumpMs;
      Log("■ 连接成功 可以进行交易 ■ ");
      Emit("\"event\":\"connected\",\"peer\":" + Json(peerName_));
    } else if (tag == "SY") {
      Log(peerName_ + " -> " + p);
      Emit("\"event\":\"chat\",\"from\":" + Json(peerName_) + ",\"text\":" + Json(p));
    } else if (tag == "WC") {
      SetMine(false);
      SetPeer(false);
      const int k = static_cast<int>(plat::Val(plat::Mid(p, 2, 2)));
      if (k < 1 || k > 10) return;  // outside the slots: ignored
      theirs_[k] = plat::Left(p, 1) != "0" ? DecodeOffer(p) : ItemRecord{};
      Emit("\"event\":\"offer\",\"side\":\"peer\",\"slot\":" + std::to_string(k) +
           ",\"item\":" + (Empty(theirs_[k]) ? std::string("null") : tradejson::ItemJson(theirs_[k])));
    } else if (tag == "JY") {
      if (p == "0") SetPeer(false);
      if (p == "1") SetPeer(true);
      if (cdf_ && cmy_) {
        if (PeerCount() <= FreeSlots()) {
          Complete();
        } else {
          cmy_ = false;
          Emit("\"event\":\"confirm\",\"side\":\"own\",\"value\":0");
          queue_.push_back("JY0*");
          Log("■ 你的道具栏剩余容量不足 不能完成交易操作 ■");
        }
      }
    } else if (tag == "YZ") {
      const int i = static_cast<int>(plat::Val(d));
      if (i >= 1 && i <= 9) sentAt_[i] = 0;
    } else if (tag == "OV") {
      End("对方已断开连接，交易结束。", 0);
    }
  }

  void Pump() {
    if (queue_.empty()) return;
    int i = 1;
    while (i <= 9 && sentAt_[i] != 0) ++i;
    if (i > 9) return End("网络不通畅，连接被迫断开", 3);
    const std::string m = queue_.front();
    if (!stream_.SendAll(trade::ToCp936Lossy(plat::Left(m, 2) + std::to_string(i) + plat::Mid(m, 3)))) {
      return End("连接已断开", 3);
    }
    sentAt_[i] = now_ > 0 ? now_ : 1;
    inSlot_[i] = m;
    queue_.pop_front();
  }

  std::string id_;
  Bag items_;
  std::array<ItemRecord, 11> mine_{}, theirs_{};
  bool cmy_ = false, cdf_ = false;
  std::deque<std::string> queue_;
  std::array<std::string, 10> inSlot_{};
  std::array<std::int64_t, 10> sentAt_{};
  std::string peerName_;
  bool host_ = false, attempted_ = false, connected_ = false, trading_ = false, peerGone_ = false,
       ended_ = false;
  int status_ = 0, retries_ = 0;
  std::string address_;
  std::uint16_t port_ = 0;
  std::int64_t now_ = 0, nextPump_ = 0, nextAttempt_ = 0;
  plat::TcpListener listener_;
  plat::TcpConnector connector_;
  plat::TcpStream stream_;
};

}  // namespace

int main(int argc, char** argv) {
  // A write past the file size limit fails like any other, keeping the old save.
  plat::IgnoreFileSizeSignal();
  const auto args = tradejson::ParsePeerCommandLine(argc, argv, "trade_literal_peer");
  if (!args) return 2;
  const std::string& name = args->name;
  plat::SetProgramFolder(std::filesystem::u8path(args->folder));
  TradeSave save;
  plat::FileLock lock;
  if (LoadSaveForTrade(name, save, lock) != TradeLoadError::None) {
    std::cerr << "trade_literal_peer: cannot load the save of " << name << "\n";
    return 1;
  }
  LiteralPeer peer(save.id, save.items);
  std::string error;
  if (!peer.Start(args->host, args->address, args->port, &error)) {
    std::cerr << "trade_literal_peer: " << error << "\n";
    return 1;
  }
  tradejson::RunCommands([&](std::int64_t now) { peer.Run(now); }, [&] { return peer.Ended(); },
                         [&] { peer.Close(); },
                         [&](const std::string& command, const std::string& arg) {
                           const int n = static_cast<int>(plat::Val(arg));
                           if (command == "offer") {
                             peer.Offer(n);
                           } else if (command == "withdraw") {
                             peer.Withdraw(n);
                           } else if (command == "confirm") {
                             peer.Click(n == 1);
                           } else if (command == "chat") {
                             peer.Say(arg);
                           } else if (command == "discard") {
                             peer.Discard(n);
                           } else if (command == "close") {
                             peer.Close();
                           }
                         });
  return peer.ExitStatus();
}
