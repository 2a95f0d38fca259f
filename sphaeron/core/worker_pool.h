#pragma once
// A persistent set of threads that run one task together: Run(task) calls
// task(w) once on each worker w = 0 .. Size()-1 (the caller is worker 0) and
// returns when all have finished.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace sphaeron {

class WorkerPool {
public:
    explicit WorkerPool(int size);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int Size() const { return size_; }
    void Run(const std::function<void(int)>& task);

private:
    void Loop(int worker);

    int size_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    const std::function<void(int)>* task_ = nullptr;
    unsigned long generation_ = 0;
    int pending_ = 0;
    bool stop_ = false;
};

}  // namespace sphaeron
