// The command's threads: a reader that makes jobs in input order, N workers
// that convert them in any order, and the calling thread, which takes them
// back in input order and writes them. Reading, converting and writing thus
// overlap, and at most a fixed number of jobs is in flight, which bounds the
// memory whatever the size of the input.
#ifndef LUMTRAX_TOOLS_PIPELINE_H
#define LUMTRAX_TOOLS_PIPELINE_H

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace lumtrax_cli {

template <typename Job>
class Pipeline {
public:
    // Hands a job on; false when the pipeline is stopping (the reader should
    // then return).
    using Submit = std::function<bool(std::unique_ptr<Job>)>;

    // work runs on the workers and must not throw: it keeps a failure in the
    // job, for write to find in order.
    Pipeline(unsigned workers, std::function<void(Job&)> work)
        : workers_(workers == 0 ? 1 : workers), work_(std::move(work)), slots_(2 * workers_ + 2) {}

    // Runs read on a thread of its own, the work on the workers, and write on
    // the calling thread, in input order. An exception from read ends the
    // input: the jobs before it are written, then it is thrown here. An
    // exception from write stops everything and is thrown here once the
    // threads have ended.
    void Run(const std::function<void(const Submit&)>& read, const std::function<void(Job&)>& write) {
        std::exception_ptr read_error;
        std::thread reader([&] {
            try {
                read([this](std::unique_ptr<Job> job) { return Put(std::move(job)); });
            } catch (...) {
                read_error = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(mutex_);
            reading_ = false;
            changed_.notify_all();
        });
        std::vector<std::thread> workers;
        for (unsigned k = 0; k < workers_; ++k) workers.emplace_back([this] { Work(); });
        std::exception_ptr write_error;
        try {
            while (std::unique_ptr<Job> job = Take()) {
                write(*job);
                std::lock_guard<std::mutex> lock(mutex_);
                spare_.push_back(std::move(job));
                ++written_;
                changed_.notify_all();
            }
        } catch (...) {
            write_error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            stopping_flag_.store(true);
            changed_.notify_all();
        }
        reader.join();
        for (std::thread& worker : workers) worker.join();
        if (write_error) std::rethrow_exception(write_error);
        if (read_error) std::rethrow_exception(read_error);
    }

    // A job for the reader to fill: one that has been written, with the
    // memory its buffers hold (so that the input's chunks do not each take
    // and give back memory from the system), or a new one.
    std::unique_ptr<Job> Spare() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (spare_.empty()) return std::make_unique<Job>();
        std::unique_ptr<Job> job = std::move(spare_.back());
        spare_.pop_back();
        return job;
    }

    // Set when the pipeline stops, for a reader waiting on its input.
    const std::atomic<bool>& stopping() const { return stopping_flag_; }

private:
    struct Slot {
        std::unique_ptr<Job> job;
        bool done = false;
    };

    bool Put(std::unique_ptr<Job> job) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || submitted_ - written_ < slots_.size(); });
        if (stopping_) return false;
        Slot& slot = slots_[submitted_ % slots_.size()];
        slot.job = std::move(job);
        slot.done = false;
        ++submitted_;
        changed_.notify_all();
        return true;
    }

    void Work() {
        for (;;) {
            Job* job = nullptr;
            std::size_t number = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || started_ < submitted_ || !reading_; });
                if (stopping_ || started_ == submitted_) return;
                number = started_++;
                job = slots_[number % slots_.size()].job.get();
            }
            work_(*job);
            std::lock_guard<std::mutex> lock(mutex_);
            slots_[number % slots_.size()].done = true;
            changed_.notify_all();
        }
    }

    // The next job in input order once it is converted; null at the end.
    std::unique_ptr<Job> Take() {
        std::unique_lock<std::mutex> lock(mutex_);
        Slot& slot = slots_[written_ % slots_.size()];
        changed_.wait(lock,
                      [&] { return (written_ < submitted_ && slot.done) || (!reading_ && written_ == submitted_); });
        if (written_ == submitted_) return nullptr;
        slot.done = false;
        return std::move(slot.job);
    }

    const unsigned workers_;
    const std::function<void(Job&)> work_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Slot> slots_;
    std::vector<std::unique_ptr<Job>> spare_;
    std::size_t submitted_ = 0;  // jobs handed on by the reader
    std::size_t started_ = 0;    // jobs taken by a worker
    std::size_t written_ = 0;    // jobs written
    bool reading_ = true;
    bool stopping_ = false;
    std::atomic<bool> stopping_flag_{false};
};

}  // namespace lumtrax_cli

#endif  // LUMTRAX_TOOLS_PIPELINE_H
