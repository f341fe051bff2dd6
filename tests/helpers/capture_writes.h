// Records the text of every write the numbered files are asked to make while the object lives,
// so that a test sees exactly where a writer flushed its buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pic2pnm::testing {

struct CapturedWrite {
    int32_t number;
    std::string text;
};

class CaptureFileWrites {
  public:
    CaptureFileWrites();
    ~CaptureFileWrites();
    CaptureFileWrites(const CaptureFileWrites&) = delete;
    CaptureFileWrites& operator=(const CaptureFileWrites&) = delete;

    const std::vector<CapturedWrite>& Writes() const { return writes_; }
    // The length of each write, in order.
    std::vector<size_t> Sizes() const;
    // All written text, in order.
    std::string Joined() const;
    void Clear() { writes_.clear(); }

  private:
    std::vector<CapturedWrite> writes_;
};

}  // namespace pic2pnm::testing
