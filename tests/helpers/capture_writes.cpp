#include "helpers/capture_writes.h"

#include "runtime/file_numbers.h"
#include "testing/testing_hooks.h"

namespace pic2pnm::testing {

CaptureFileWrites::CaptureFileWrites() {
    SetFileWriteObserver([this](int32_t number, std::string_view block) {
        writes_.push_back(CapturedWrite{number, std::string(block)});
    });
}

CaptureFileWrites::~CaptureFileWrites() {
    SetFileWriteObserver(nullptr);
}

std::vector<size_t> CaptureFileWrites::Sizes() const {
    std::vector<size_t> sizes;
    for (const CapturedWrite& write : writes_) sizes.push_back(write.text.size());
    return sizes;
}

std::string CaptureFileWrites::Joined() const {
    std::string text;
    for (const CapturedWrite& write : writes_) text += write.text;
    return text;
}

}  // namespace pic2pnm::testing
