#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace svod::engine {

// Runs jobs one after another, in the order given, on a thread of its own while the caller prepares
// the next (with one processor, or no thread to be had, each in push()). At most `waiting` jobs
// wait, so the memory they hold stays bounded. A job's failure is thrown to the caller at its next
// push() or at finish(); jobs given after a failure are dropped.
template <class Job> class SerialWorker {
public:
    using Run = std::function<void(Job&)>;

    SerialWorker(Run run, size_t waiting) : run_(std::move(run)), waiting_(waiting) {
        if (std::thread::hardware_concurrency() > 1) {
            try {
                thread_ = std::thread([this] { loop(); });
            } catch (const std::system_error&) {
                // no thread: the jobs run as they come
            }
        }
    }
    // Drops the jobs still waiting.
    ~SerialWorker() { stop(true); }
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Waits while `waiting` jobs wait.
    void push(Job job) {
        if (!thread_.joinable()) {
            run_(job);
            return;
        }
        {
            std::unique_lock lock(mutex_);
            room_.wait(lock, [&] { return queue_.size() < waiting_ || failure_; });
            if (failure_)
                std::rethrow_exception(failure_);
            queue_.push_back(std::move(job));
        }
        ready_.notify_one();
    }

    // Returns once every job given has run.
    void finish() {
        stop(false);
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    void loop() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [&] { return !queue_.empty() || stopping_; });
                if (queue_.empty())
                    return;
                job = std::move(queue_.front());
                queue_.pop_front();
            }
            room_.notify_one();
            try {
                run_(job);
            } catch (...) {
                std::lock_guard lock(mutex_);
                failure_ = std::current_exception();
                queue_.clear();
                room_.notify_one();
                return;
            }
        }
    }

    void stop(bool discard) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            if (discard)
                queue_.clear();
        }
        ready_.notify_one();
        if (thread_.joinable())
            thread_.join();
    }

    Run run_;
    size_t waiting_;
    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::deque<Job> queue_;
    std::exception_ptr failure_;
    bool stopping_ = false;
    std::thread thread_; // last: started once everything above exists
};

// Buffers a worker's jobs are done with, for the caller's next jobs: their memory is reused, not
// taken (and faulted in) anew.
class SpareBuffers {
public:
    // An empty buffer, with room from before when there is one.
    std::string take() {
        std::lock_guard lock(mutex_);
        if (spare_.empty())
            return {};
        std::string s = std::move(spare_.back());
        spare_.pop_back();
        return s;
    }
    void give(std::string& s) {
        // A small one is not worth keeping, a large one (an image's) not worth holding.
        if (s.capacity() < 4096 || s.capacity() > (1 << 20))
            return;
        s.clear();
        std::lock_guard lock(mutex_);
        if (spare_.size() < 32)
            spare_.push_back(std::move(s));
    }

private:
    std::mutex mutex_;
    std::vector<std::string> spare_;
};

} // namespace svod::engine
