// A generic observer/receiver pair: an observer broadcasts a record to the
// receivers registered with it; a receiver remembers its observers and
// leaves them when it is destroyed, so no observer keeps a dangling
// receiver.
#pragma once

#include <cstddef>
#include <iterator>
#include <map>

template <typename ReturnT, typename ParamT>
class ReceiverImplBase;

template <typename ReturnT, typename ParamT>
class ObserverImplBase {
 public:
  virtual ~ObserverImplBase() = default;
  virtual void AddReceiver(ReceiverImplBase<ReturnT, ParamT>* receiver) = 0;
  virtual void RemoveReceiver(ReceiverImplBase<ReturnT, ParamT>* receiver) = 0;
  virtual void Broadcast(ParamT param) = 0;
};

template <typename ReturnT, typename ParamT>
class ReceiverImplBase {
 public:
  virtual ~ReceiverImplBase() = default;
  virtual void AddObserver(ObserverImplBase<ReturnT, ParamT>* observer) = 0;
  virtual void RemoveObserver(ObserverImplBase<ReturnT, ParamT>* observer) = 0;
  virtual ReturnT Receive(ParamT param) = 0;
};

template <typename ReturnT, typename ParamT>
class ObserverImpl : public ObserverImplBase<ReturnT, ParamT> {
 public:
  using Receiver = ReceiverImplBase<ReturnT, ParamT>;

  // Receivers still registered forget this observer, so they do not call
  // back into it when they are destroyed later.
  ~ObserverImpl() override {
    auto receivers = receivers_;
    receivers_.clear();
    for (auto& entry : receivers) entry.second->RemoveObserver(this);
  }

  // Stores the receiver under the next registration number and tells it
  // about this observer.
  void AddReceiver(Receiver* receiver) override {
    if (!receiver) return;
    receivers_[next_++] = receiver;
    receiver->AddObserver(this);
  }

  // Erases every registration of the receiver.
  void RemoveReceiver(Receiver* receiver) override {
    for (auto it = receivers_.begin(); it != receivers_.end();) {
      it = it->second == receiver ? receivers_.erase(it) : std::next(it);
    }
  }

  // Hands a copy of the record to every receiver in registration order;
  // their results are ignored. A receiver may leave during the broadcast.
  void Broadcast(ParamT param) override {
    auto receivers = receivers_;
    for (auto& entry : receivers) {
      if (receivers_.count(entry.first)) entry.second->Receive(param);
    }
  }

  size_t ReceiverCount() const { return receivers_.size(); }

 private:
  std::map<int, Receiver*> receivers_;
  int next_ = 0;
};

template <typename ReturnT, typename ParamT>
class ReceiverImpl : public ReceiverImplBase<ReturnT, ParamT> {
 public:
  using Observer = ObserverImplBase<ReturnT, ParamT>;

  // Leaves every observer it was added to.
  ~ReceiverImpl() override {
    auto observers = observers_;
    observers_.clear();
    for (auto& entry : observers) entry.second->RemoveReceiver(this);
  }

  // Remembers an observer that this receiver was added to.
  void AddObserver(Observer* observer) override { observers_[next_++] = observer; }

  // Forgets an observer (it is going away).
  void RemoveObserver(Observer* observer) override {
    for (auto it = observers_.begin(); it != observers_.end();) {
      it = it->second == observer ? observers_.erase(it) : std::next(it);
    }
  }

 private:
  std::map<int, Observer*> observers_;
  int next_ = 0;
};
