// An in-memory network for the trade link: byte pipes whose delivery a test can hold and
// release per direction, a listener and a connector whose outcomes the test decides, and
// a listener that writes down every event of the link.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "trade/link.h"
#include "trade/wire.h"

namespace tradetest {

// A plain item of the tests' tables: 布衣, offered as the wire's own example.
inline ItemRecord Cloth() {
  ItemRecord r;
  r.Name = std::string("布衣");
  r.Type = 12;
  r.Type2 = std::string("X");
  r.Weight = 5;
  r.Pic1 = 17;
  r.Pic2 = 2;
  r.Df = 2;
  r.DfMax = 2;
  r.MfMax = 1;
  r.NdLevel = 1;
  r.Money = 50;
  return r;
}

// An item table that knows the given items by name.
inline trade::ItemLookup TableOf(std::vector<ItemRecord> items) {
  std::map<std::string, ItemRecord> rows;
  for (ItemRecord& r : items) rows[r.Name] = r;
  return [rows](const std::string& name, ItemRecord& row) {
    auto it = rows.find(name);
    if (it == rows.end()) return false;
    row = it->second;
    return true;
  };
}

// One direction of a connection.
struct Pipe {
  std::string bytes;                // delivered, waiting to be read
  std::string held;                 // written while held
  std::vector<std::string> writes;  // every write as it was made
  bool hold = false;
  bool ended = false;                             // the writer closed
  std::function<void(const std::string&)> onWrite;  // sees every write as it is made
  void Release() {
    bytes += held;
    held.clear();
  }
};

class PipeStream : public trade::Stream {
 public:
  PipeStream(std::shared_ptr<Pipe> in, std::shared_ptr<Pipe> out)
      : in_(std::move(in)), out_(std::move(out)) {}
  bool Write(std::string_view b) override {
    if (closed_ || broken) return false;
    out_->writes.emplace_back(b);
    if (out_->onWrite) out_->onWrite(out_->writes.back());
    (out_->hold ? out_->held : out_->bytes).append(b);
    return true;
  }
  ReadResult Read(std::string& out) override {
    if (!in_->bytes.empty()) {
      out += in_->bytes;
      in_->bytes.clear();
      return ReadResult::Data;
    }
    return in_->ended || closed_ ? ReadResult::Closed : ReadResult::NoData;
  }
  void Close() override {
    closed_ = true;
    out_->ended = true;
  }
  bool broken = false;

 private:
  std::shared_ptr<Pipe> in_, out_;
  bool closed_ = false;
};

struct Connection {
  std::shared_ptr<Pipe> aToB = std::make_shared<Pipe>();
  std::shared_ptr<Pipe> bToA = std::make_shared<Pipe>();
  std::unique_ptr<PipeStream> EndA() { return std::make_unique<PipeStream>(bToA, aToB); }
  std::unique_ptr<PipeStream> EndB() { return std::make_unique<PipeStream>(aToB, bToA); }
};

class FakeNetwork : public trade::Network {
 public:
  ListenResult Listen(const std::string&, std::uint16_t, std::string* error) override {
    ++listens;
    if (listenResult != ListenResult::Ok && error != nullptr) *error = "in use";
    listening = listenResult == ListenResult::Ok;
    return listenResult;
  }
  std::unique_ptr<trade::Stream> Accept() override {
    if (!listening || !incoming) return nullptr;
    return std::move(incoming);
  }
  void StopListening() override { listening = false; }
  void StartConnect(const std::string&, std::uint16_t, int timeoutMs) override {
    ++attempts;
    lastTimeout = timeoutMs;
  }
  ConnectState PollConnect(std::unique_ptr<trade::Stream>& out) override {
    if (attempts >= connectOnAttempt && connectOnAttempt > 0 && incoming) {
      out = std::move(incoming);
      return ConnectState::Connected;
    }
    return attempts > 0 ? ConnectState::Failed : ConnectState::Pending;
  }
  void CancelConnect() override { ++cancels; }

  ListenResult listenResult = ListenResult::Ok;
  bool listening = false;
  int listens = 0, attempts = 0, cancels = 0, lastTimeout = 0;
  int connectOnAttempt = 0;  // 0: never
  std::unique_ptr<trade::Stream> incoming;
};

// Every event as one line of text.
class Recorder : public trade::LinkListener {
 public:
  void OnConnected(const std::string& peer) override { events.push_back("connected:" + peer); }
  void OnChat(const std::string& from, const std::string& text) override {
    events.push_back("chat:" + from + ":" + text);
  }
  void OnLog(const std::string& line) override { logs.push_back(line); }
  void OnPeerOffer(int slot, const ItemRecord& item) override {
    events.push_back("offer:" + std::to_string(slot) + ":" + item.Name);
    offers.push_back(item);
  }
  void OnPeerWithdraw(int slot) override { events.push_back("withdraw:" + std::to_string(slot)); }
  void OnPeerOfferInvalid(int slot, const std::string&) override {
    events.push_back("invalid:" + std::to_string(slot));
  }
  void OnPeerConfirm(bool v) override {
    events.push_back(std::string("confirm:") + (v ? "1" : "0"));
    if (onConfirm) onConfirm(v);
  }
  void OnStateAcknowledged(std::uint64_t id, const std::string& message) override {
    events.push_back("acked:" + std::to_string(id) + ":" + message);
  }
  void OnClosed(const std::string& message) override { events.push_back("closed:" + message); }

  std::vector<std::string> events, logs;
  std::vector<ItemRecord> offers;
  std::function<void(bool)> onConfirm;
};

}  // namespace tradetest
