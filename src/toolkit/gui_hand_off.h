#pragma once

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace qm {

// Carries work from worker threads to the GUI thread and waits for it there. The
// hand-off itself is a std::mutex and std::condition_variable (visible to
// ThreadSanitizer); Qt only wakes the GUI thread with a queued call that carries no
// data of ours. Once closed, queued and later work is dropped and run() returns false
// at once.
class GuiHandOff : public QObject {
  Q_OBJECT

 public:
  // Must be created on the GUI thread.
  GuiHandOff();
  ~GuiHandOff() override;

  bool onGuiThread() const { return std::this_thread::get_id() == guiThread_; }

  // From a worker: runs `work` on the GUI thread and returns once it has run (true) or
  // was dropped because the hand-off closed (false). Work already running when the
  // hand-off closes is waited for, so it never outlives the caller's stack.
  bool run(const std::function<void()>& work);

  // From the GUI thread: drops what is queued and refuses everything later.
  void close();
  bool closed() const;

  // A worker's sleep that ends early when the hand-off closes.
  void sleepFor(int64_t milliseconds);

 private slots:
  void runQueued();

 private:
  enum class State { Queued, Running, Done, Dropped };
  struct Task {
    const std::function<void()>* work;
    State state = State::Queued;
  };

  std::thread::id guiThread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Task*> queue_;
  bool closed_ = false;
  bool wakePosted_ = false;
};

}  // namespace qm
