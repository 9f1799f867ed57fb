#pragma once
// Tasks posted from other threads to "the window thread": they wait here
// until the test runs them, as a window's event loop would.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace octile::test {

class PostQueue {
  public:
    void Post(std::function<void()> task) {
        {
            const std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        changed_.notify_all();
    }
    // Waits up to timeout for a task, then runs every task posted so far, on
    // the calling thread. Returns how many ran.
    size_t Run(std::chrono::milliseconds timeout = std::chrono::milliseconds(0)) {
        std::deque<std::function<void()>> tasks;
        {
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, timeout, [this] { return !tasks_.empty(); });
            tasks.swap(tasks_);
        }
        for (auto& t : tasks) t();
        return tasks.size();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace octile::test
