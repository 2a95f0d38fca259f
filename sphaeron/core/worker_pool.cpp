#include "sphaeron/core/worker_pool.h"

#include <algorithm>

namespace sphaeron {

WorkerPool::WorkerPool(int size) : size_(std::max(size, 1)) {
    for (int w = 1; w < size_; ++w) threads_.emplace_back([this, w] { Loop(w); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
}

void WorkerPool::Run(const std::function<void(int)>& task) {
    if (size_ == 1) {
        task(0);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        task_ = &task;
        pending_ = size_ - 1;
        ++generation_;
    }
    wake_.notify_all();
    task(0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return pending_ == 0; });
    task_ = nullptr;
}

void WorkerPool::Loop(int worker) {
    unsigned long seen = 0;
    for (;;) {
        const std::function<void(int)>* task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
            if (stop_) return;
            seen = generation_;
            task = task_;
        }
        (*task)(worker);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (--pending_ == 0) done_.notify_one();
        }
    }
}

}  // namespace sphaeron
