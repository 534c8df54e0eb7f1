#include "toolkit/gui_hand_off.h"

#include <QMetaObject>
#include <chrono>

namespace qm {

GuiHandOff::GuiHandOff() : guiThread_(std::this_thread::get_id()) {}

GuiHandOff::~GuiHandOff() { close(); }

bool GuiHandOff::run(const std::function<void()>& work) {
  Task task{&work};
  std::unique_lock lock(mutex_);
  if (closed_) return false;
  queue_.push_back(&task);
  if (!wakePosted_) {
    // Posted under the lock: close() takes it too, so no wake is posted once closed.
    wakePosted_ = true;
    QMetaObject::invokeMethod(this, "runQueued", Qt::QueuedConnection);
  }
  changed_.wait(lock, [&] { return task.state == State::Done || task.state == State::Dropped; });
  return task.state == State::Done;
}

void GuiHandOff::runQueued() {
  std::unique_lock lock(mutex_);
  wakePosted_ = false;
  // One task at a time: a task may run a nested event loop that closes the hand-off
  // or runs this again; what is still queued then is handled there or dropped.
  while (!closed_ && !queue_.empty()) {
    Task* task = queue_.front();
    queue_.pop_front();
    task->state = State::Running;
    lock.unlock();
    (*task->work)();
    lock.lock();
    task->state = State::Done;
    changed_.notify_all();
  }
}

void GuiHandOff::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  for (Task* task : queue_) task->state = State::Dropped;
  queue_.clear();
  changed_.notify_all();
}

bool GuiHandOff::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

void GuiHandOff::sleepFor(int64_t milliseconds) {
  if (milliseconds <= 0) return;
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return closed_; });
}

}  // namespace qm
