// Memory that a confined child fills and its parent then reads without a copy: a memory file
// (memfd) made by the parent before the child starts, grown and mapped by the child region by
// region as it needs them, and mapped by the parent once the child has ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pic2pnm {

class SharedBlock {
  public:
    SharedBlock() = default;
    ~SharedBlock();
    SharedBlock(const SharedBlock&) = delete;
    SharedBlock& operator=(const SharedBlock&) = delete;

    // Makes the memory file; false when the system cannot (errno tells why).
    bool Create();
    bool Valid() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    // The child keeps the memory file under another number.
    void Renumber(int fd) { fd_ = fd; }

    // In the child: `bytes` more zeroed bytes at the end of the block, starting on a page, mapped
    // for writing; the keeper unmaps them (the pages stay in the block). `offset` is where they
    // start in the block. Null when the block cannot grow.
    std::shared_ptr<void> Append(size_t bytes, uint64_t& offset);

    // In the parent, once the child has ended: the first `bytes` bytes of the block, mapped for
    // reading and writing as long as the keeper lives; null when the block holds fewer bytes or
    // they cannot be mapped.
    std::shared_ptr<void> Map(uint64_t bytes) const;

  private:
    int fd_ = -1;
    uint64_t end_ = 0;  // the child's next free offset
};

// The size of a memory page, which every region of the block starts on.
size_t PageSize();

}  // namespace pic2pnm
