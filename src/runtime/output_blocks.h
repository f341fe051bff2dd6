// The bytes of one output on their way to the operating system, collected in large blocks and
// written in order. With a writer thread, a full block is written by that thread while the
// caller fills the next one, as an operating system's own write-behind would: formatting and
// the write calls run on two processors at once. Without it, each full block is written at
// once by the caller.
//
// A write that fails on the thread is reported by the next call that appends or drains; from
// then on the caller writes what is left itself, so that a later attempt never sends a byte
// twice or out of order. The thread lives from Open to the drain, Abandon or destruction that
// ends the output, never longer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "runtime/large_memory.h"

namespace pic2pnm {

class OutputBlocks {
  public:
    // Bytes handed to one write call. The kernel copies a megabyte no faster a byte than a
    // quarter, but ext4 keeps a file's page cache in pieces as large as the writes that made
    // them, and large pieces are freed faster when the file is replaced by the next run: a
    // 24-megapixel PPM's old file went in 17 to 21 ms instead of 20 to 34. The blocks together
    // fill two huge pages.
    static constexpr size_t BlockSize = 1024 * 1024;

    OutputBlocks() = default;
    ~OutputBlocks() { Abandon(); }
    OutputBlocks(const OutputBlocks&) = delete;
    OutputBlocks& operator=(const OutputBlocks&) = delete;

    // Takes the memory for the blocks, before anything is opened; false when it runs out.
    bool Reserve() noexcept;
    // Starts the output to fd in the reserved blocks. With `writeBehind`, and a second
    // processor there to run it, the writer thread starts with the first full block (none
    // when it cannot start).
    void Start(int fd, bool writeBehind) noexcept;
    bool HasWriterThread() const { return writer_.joinable(); }

    // Appends the bytes; a full block goes on its way first. A text of BlockSize or more goes
    // to the file at once, after everything before it. 0, or the errno of a failed write
    // (this call's or one on the thread since the last call); the bytes of a call that fails
    // are neither written nor kept.
    int Append(const char* data, size_t size);
    // Writes everything pending and waits until it is written: 0, or the errno of the first
    // failure, after which the bytes that did not reach the file stay pending.
    int Drain();
    // Ends the writer thread once its current write returns and forgets what is pending;
    // gives the blocks back.
    void Abandon() noexcept;

  private:
    struct Block {
        size_t length = 0;  // bytes in the block
        size_t done = 0;    // of them, bytes already written
    };
    static constexpr size_t ThreadedBlocks = 4;
    // The idle writer is woken once this many blocks wait (or for a drain or a stop), and a
    // caller that waits for a free block once this many are free: each wake-up costs both
    // processors a switch, which on a virtual machine is dear.
    static constexpr uint64_t WakeAfter = ThreadedBlocks / 2;

    char* DataOf(uint64_t sequence) {
        return static_cast<char*>(memory_.Data()) + sequence % count_ * BlockSize;
    }
    Block& BlockOf(uint64_t sequence) { return blocks_[sequence % count_]; }
    // Queues the block being filled, if it holds anything, and waits until the next one is
    // free: 0 or an errno.
    int Submit();
    // Waits until every queued block is written: 0 or an errno.
    int WaitForQueue();
    // Writes the queued blocks on the calling thread: 0 or the errno of the first failure.
    int WriteQueued();
    // After a failure on the thread: ends it and gives back its error.
    int TakeThreadFailure();
    void StartThread() noexcept;
    void StopThread() noexcept;
    void WriterLoop();

    int fd_ = -1;
    LargeBlock memory_;
    size_t count_ = 1;
    bool writeBehind_ = false;  // the writer thread is still to start
    Block blocks_[ThreadedBlocks];
    // Blocks are numbered in order; those from written_ to submitted_ wait to be written, and
    // block submitted_ is being filled. With a thread, written_ and failure_ change under
    // mutex_; failed_ tells the caller without the lock that it should look.
    uint64_t submitted_ = 0;
    uint64_t written_ = 0;
    int failure_ = 0;
    bool stopping_ = false;
    bool draining_ = false;       // the caller waits for every queued block
    bool writerWaiting_ = false;  // the writer sleeps until it is woken
    bool callerWaiting_ = false;  // the caller sleeps until the writer wakes it
    std::atomic<bool> failed_{false};
    std::mutex mutex_;
    std::condition_variable queued_;  // the thread waits for work
    std::condition_variable freed_;   // the caller waits for a free block or an empty queue
    std::thread writer_;
};

}  // namespace pic2pnm
