// The run-time's errors: a raised error carries a number and a description,
// and the current error (the Err object) remembers the last one caught.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace pic2pnm {

// Error numbers the program raises or passes on.
namespace ErrorNumber {
inline constexpr int32_t InvalidCall = 5;
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t OutOfMemory = 7;
inline constexpr int32_t SubscriptOutOfRange = 9;
inline constexpr int32_t PictureOperation = 51;
inline constexpr int32_t BadFileNameOrNumber = 52;
inline constexpr int32_t FileNotFound = 53;
inline constexpr int32_t FileAlreadyOpen = 55;
inline constexpr int32_t DeviceIoError = 57;
inline constexpr int32_t DiskFull = 61;
inline constexpr int32_t TooManyFiles = 67;
inline constexpr int32_t PermissionDenied = 70;
inline constexpr int32_t PathFileAccessError = 75;
inline constexpr int32_t PathNotFound = 76;
inline constexpr int32_t InvalidPicture = 481;
// Base number for errors raised by objects (vbObjectError).
inline constexpr int32_t ObjectError = static_cast<int32_t>(0x80040000u);
}  // namespace ErrorNumber

// The run-time's standard description of an error number; empty for numbers it does not know.
std::string_view StandardDescription(int32_t number);

// A raised error. Every failure of the program travels as one of these.
class RuntimeError : public std::exception {
  public:
    RuntimeError(int32_t number, std::string description)
        : number_(number), description_(std::move(description)) {}
    int32_t Number() const { return number_; }
    const std::string& Description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

  private:
    int32_t number_;
    std::string description_;
};

// Raises an error. Without a description the run-time's standard one is used.
[[noreturn]] void RaiseError(int32_t number, std::string_view description = {});

// The current error: what the last caught error said, until it is cleared.
struct ErrObject {
    int32_t Number = 0;
    std::string Description;

    void Clear() {
        Number = 0;
        Description.clear();
    }
    void Set(int32_t number, std::string description) {
        Number = number;
        Description = std::move(description);
    }
    // Takes over the exception being handled: RuntimeError keeps its number, running out of
    // memory becomes error 7, anything else becomes error 5.
    void SetFromCurrentException() noexcept;
};

ErrObject& Err();

// Runs one step in continue-on-error mode: an error raised by the step becomes the current
// error, and control goes on after the call.
template <class Step>
void ResumeNext(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
        Err().SetFromCurrentException();
    }
}

}  // namespace pic2pnm
