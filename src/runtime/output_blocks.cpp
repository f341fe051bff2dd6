#include "runtime/output_blocks.h"

#include <signal.h>

#include <cstring>

#include "runtime/large_memory.h"
#include "runtime/posix_io.h"
#include "runtime/processors.h"

namespace pic2pnm {

bool OutputBlocks::Reserve() noexcept {
    Abandon();
    LargeBlock memory(ThreadedBlocks * BlockSize);
    if (memory.Data() == nullptr) return false;
    memory_ = std::move(memory);
    return true;
}

void OutputBlocks::Start(int fd, bool writeBehind) noexcept {
    fd_ = fd;
    count_ = 1;
    writeBehind_ = writeBehind && SecondProcessorAvailable();
}

void OutputBlocks::StartThread() noexcept {
    writeBehind_ = false;
    // The writer takes no signals: they reach the thread that runs the program, whose handlers
    // remove a temporary file before the signal ends the process.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    OneHeapForEveryThread();
    try {
        writer_ = std::thread(&OutputBlocks::WriterLoop, this);
        count_ = ThreadedBlocks;
    } catch (...) {
        // No thread to be had: the caller writes.
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

int OutputBlocks::Append(const char* data, size_t size) {
    // A failure on the thread since the last call is this call's; blocks still queued after a
    // failure go first.
    if (failed_.load(std::memory_order_relaxed)) return TakeThreadFailure();
    if (!HasWriterThread() && written_ < submitted_) {
        if (int error = WriteQueued(); error != 0) return error;
    }
    if (size > BlockSize - BlockOf(submitted_).length) {
        // The thread comes with the first full block: an output of less costs no thread.
        if (writeBehind_) StartThread();
        if (int error = Submit(); error != 0) return error;
        if (size >= BlockSize) {
            if (int error = WaitForQueue(); error != 0) return error;
            size_t done = 0;
            return WriteAll(fd_, data, size, done);
        }
    }
    Block& block = BlockOf(submitted_);
    std::memcpy(DataOf(submitted_) + block.length, data, size);
    block.length += size;
    return 0;
}

int OutputBlocks::Drain() {
    if (failed_.load(std::memory_order_relaxed)) return TakeThreadFailure();
    if (int error = Submit(); error != 0) return error;
    return WaitForQueue();
}

void OutputBlocks::Abandon() noexcept {
    StopThread();
    memory_ = LargeBlock();
    fd_ = -1;
    count_ = 1;
    writeBehind_ = false;
    for (Block& block : blocks_) block = Block{};
    submitted_ = 0;
    written_ = 0;
    failure_ = 0;
    failed_.store(false, std::memory_order_relaxed);
}

int OutputBlocks::Submit() {
    if (BlockOf(submitted_).length == 0) return 0;
    if (!HasWriterThread()) {
        ++submitted_;
        return WriteQueued();
    }
    std::unique_lock lock(mutex_);
    ++submitted_;
    if (writerWaiting_ && submitted_ - written_ >= WakeAfter) queued_.notify_one();
    // The block after it must be free before it is filled. Once the caller has to wait, it
    // waits until half the blocks are free, so that it is not woken for every one of them.
    if (submitted_ - written_ < count_ && failure_ == 0) return 0;
    callerWaiting_ = true;
    freed_.wait(lock,
                [this] { return submitted_ - written_ <= count_ - WakeAfter || failure_ != 0; });
    callerWaiting_ = false;
    if (failure_ == 0) return 0;
    lock.unlock();
    return TakeThreadFailure();
}

int OutputBlocks::WaitForQueue() {
    if (!HasWriterThread()) return WriteQueued();
    std::unique_lock lock(mutex_);
    draining_ = true;
    if (writerWaiting_ && written_ < submitted_) queued_.notify_one();
    callerWaiting_ = true;
    freed_.wait(lock, [this] { return written_ == submitted_ || failure_ != 0; });
    callerWaiting_ = false;
    draining_ = false;
    if (failure_ == 0) return 0;
    lock.unlock();
    return TakeThreadFailure();
}

int OutputBlocks::WriteQueued() {
    while (written_ < submitted_) {
        Block& block = BlockOf(written_);
        size_t done = 0;
        const int error =
            WriteAll(fd_, DataOf(written_) + block.done, block.length - block.done, done);
        block.done += done;
        if (error != 0) return error;
        block = Block{};
        ++written_;
    }
    return 0;
}

int OutputBlocks::TakeThreadFailure() {
    int error;
    {
        std::lock_guard lock(mutex_);
        error = failure_;
        failure_ = 0;
    }
    // The thread has ended its loop; from here on the caller writes, the failed block first.
    StopThread();
    failed_.store(false, std::memory_order_relaxed);
    return error;
}

void OutputBlocks::StopThread() noexcept {
    if (!writer_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_one();
    try {
        writer_.join();
    } catch (...) {
        writer_.detach();
    }
    stopping_ = false;
}

void OutputBlocks::WriterLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (written_ == submitted_) {
            writerWaiting_ = true;
            queued_.wait(lock, [this] {
                return stopping_ || submitted_ - written_ >= (draining_ ? 1 : WakeAfter);
            });
            writerWaiting_ = false;
        }
        if (stopping_) return;
        // The caller does not touch a queued block; only its progress is shared.
        Block& block = BlockOf(written_);
        const char* data = DataOf(written_) + block.done;
        const size_t size = block.length - block.done;
        lock.unlock();
        size_t done = 0;
        const int error = WriteAll(fd_, data, size, done);
        lock.lock();
        block.done += done;
        if (error != 0) {
            failure_ = error;
            failed_.store(true, std::memory_order_relaxed);
            freed_.notify_one();
            return;
        }
        block = Block{};
        ++written_;
        // The caller waits for half the blocks free, or for an empty queue.
        const uint64_t queued = submitted_ - written_;
        if (callerWaiting_ && (draining_ ? queued == 0 : queued <= count_ - WakeAfter))
            freed_.notify_one();
    }
}

}  // namespace pic2pnm
