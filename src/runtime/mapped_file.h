// A regular file's bytes seen through a private mapping: only the pages a decoder touches are
// read from the disk or the page cache and take memory, so a small picture followed by
// gigabytes costs what the picture costs, and no byte is copied. Writes through the view stay
// in this process (a decoder may rearrange bytes in place).
//
// A file that another process cuts short while it is mapped would end this one with SIGBUS
// at the first touch of a page past the new end. The handler installed with the first mapping
// puts zero pages in place of the missing ones instead and marks the mapping damaged, so that
// the read is reported as a failure; a SIGBUS anywhere else goes on to the handler before it.
// A file cut within its last page gives zeros without a signal: the file's size, looked at
// again, tells that.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pic2pnm {

class MappedFile {
  public:
    MappedFile() = default;
    ~MappedFile() {
        Unmap();
        CloseWatch();
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    MappedFile(MappedFile&& other) noexcept { Swap(other); }
    MappedFile& operator=(MappedFile&& other) noexcept {
        MappedFile(static_cast<MappedFile&&>(other)).Swap(*this);
        return *this;
    }
    void Swap(MappedFile& other) noexcept;

    // Maps the first `bytes` bytes (at least 1) of the open file `fd`, followed by at least
    // one page of zeros, so that a decoder reading a little past the end reads zeros; false,
    // nothing mapped, when the file system cannot map files, the address space is used up or
    // too many files are mapped at once.
    bool Map(int fd, size_t bytes);
    // Gives back the pages and the file; Damaged() is false from then on.
    void Unmap() noexcept;
    // Gives back the pages but keeps the file, so that Damaged() can still tell whether it was
    // cut short below the mapped bytes (by now or while another process read it).
    void UnmapKeepingWatch() noexcept;

    uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }
    // True once the file has been cut short below the mapped bytes, or a page could not be
    // read for that reason: what was read past the cut were zeros, not the file's bytes.
    bool Damaged() const;

  private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t mappedBytes_ = 0;   // with the zero pages after the file
    int slot_ = -1;            // in the table the SIGBUS handler reads
    int fd_ = -1;              // the file, to look at its size again
    size_t watchedBytes_ = 0;  // after UnmapKeepingWatch, the size the file had

    void CloseWatch() noexcept;
};

}  // namespace pic2pnm
