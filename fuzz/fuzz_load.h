// What the load-path fuzz targets share: the input file the loader reads by name, the counts
// of live objects that must be the same before and after a load, and the load itself.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_checks.h"
#include "imaging/gdi/gdi.h"
#include "imaging/gdiplus/gdiplus.h"
#include "imaging/native/picture_object.h"
#include "netpbm/get_bitmap_pixels.h"
#include "netpbm/pixel_buffer.h"
#include "picture/picture_loader.h"
#include "runtime/file_numbers.h"
#include "runtime/run_time_error.h"
#include "shared/picture_info.h"

namespace pic2pnm::fuzzing {

// The loader reads files by name, so every input goes through one file per process, created
// on first use, rewritten for each input and removed when the process ends normally.
class InputFile {
  public:
    InputFile() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pic2pnm-fuzz-XXXXXX").string();
        fd_ = mkstemp(pattern.data());
        if (fd_ < 0) {
            std::perror("fuzz target: cannot create its input file");
            std::abort();
        }
        path_ = pattern;
    }
    ~InputFile() {
        close(fd_);
        unlink(path_.c_str());
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    void Write(const uint8_t* data, size_t size) {
        Require(ftruncate(fd_, 0) == 0);
        size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            Require(n > 0);
            done += static_cast<size_t>(n);
        }
    }
    const std::string& Path() const { return path_; }

  private:
    int fd_ = -1;
    std::string path_;
};

struct LiveCounts {
    size_t gdiObjects = LiveGdiObjects();
    size_t gdipImages = LiveGdipImages();
    size_t gdipStartups = GdiplusStartupCount();
    int openFiles = OpenFileCount();

    bool operator==(const LiveCounts&) const = default;
};

inline void LoadAndExtract(const std::string& path) {
    PictureInfo info;
    PictureObject picture;
    PixelBuffer pixels;
    Err().Clear();
    ResumeNext([&] { picture = LoadPictureEx(path, info, 0, false); });
    if (Err().Number != 0 || picture.Type() != PICTYPE_BITMAP) return;
    Require(info.Width > 0 && info.Height > 0);
    ResumeNext([&] { GetBitmapPixels(picture, info, pixels); });
    if (Err().Number != 0) return;
    const size_t needed = static_cast<size_t>(info.Width) * static_cast<size_t>(info.Height);
    Require(pixels.Count() >= needed);
}

// Loads and extracts the input; traps when an object outlives the load.
inline void LoadAndCheckReleases(const uint8_t* data, size_t size, const char* target) {
    static InputFile input;
    input.Write(data, size);
    const LiveCounts before;
    LoadAndExtract(input.Path());
    const LiveCounts after;
    if (!(after == before)) {
        std::fprintf(stderr,
                     "%s: objects left alive: GDI %zu -> %zu, GDI+ images %zu -> %zu, "
                     "GDI+ start-ups %zu -> %zu, open files %d -> %d\n",
                     target, before.gdiObjects, after.gdiObjects, before.gdipImages,
                     after.gdipImages, before.gdipStartups, after.gdipStartups, before.openFiles,
                     after.openFiles);
        __builtin_trap();
    }
    Err().Clear();
}

}  // namespace pic2pnm::fuzzing
