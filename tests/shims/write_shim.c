/* A stand-in for write(), preloaded into the program (LD_PRELOAD) by the output tests. It
 * touches only descriptors above 2, so that the console lines pass, and is set by the
 * environment:
 *
 *   PIC2PNM_SHIM_SHORT_WRITE=N  the first write longer than N bytes carries only N of them and
 *                               the next write fails with ENOSPC, as on a disk that fills up;
 *                               later writes pass (the disk has room again).
 *   PIC2PNM_SHIM_STALL_AFTER=N  once N bytes have been written, the next write creates the
 *   PIC2PNM_SHIM_STALL_MARK=F   file F and then waits for ever, so that a test can interrupt
 *                               the program in the middle of its output.
 *   PIC2PNM_SHIM_SYNC_LOG=F     every fsync() and fdatasync() adds a line to the file F:
 *                               "file" for a regular file, "folder" for a directory, "other".
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

static long long Setting(const char* name) {
    const char* value = getenv(name);
    return value == NULL ? -1 : atoll(value);
}

static long long written = 0;
static int shortWriteState = 0; /* 0 waiting, 1 cut short, 2 failed once */

ssize_t write(int fd, const void* data, size_t size) {
    if (fd > 2) {
        const long long shortWrite = Setting("PIC2PNM_SHIM_SHORT_WRITE");
        if (shortWrite >= 0 && shortWriteState == 1) {
            shortWriteState = 2;
            errno = ENOSPC;
            return -1;
        }
        if (shortWrite >= 0 && shortWriteState == 0 && (long long)size > shortWrite) {
            shortWriteState = 1;
            size = (size_t)shortWrite;
        }
        const long long stallAfter = Setting("PIC2PNM_SHIM_STALL_AFTER");
        if (stallAfter >= 0 && written >= stallAfter) {
            const char* mark = getenv("PIC2PNM_SHIM_STALL_MARK");
            if (mark != NULL) {
                const int markFd = open(mark, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                if (markFd >= 0) close(markFd);
            }
            for (;;) pause();
        }
    }
    const ssize_t n = (ssize_t)syscall(SYS_write, fd, data, size);
    if (fd > 2 && n > 0) written += n;
    return n;
}

static void LogSync(int fd) {
    const char* log = getenv("PIC2PNM_SHIM_SYNC_LOG");
    if (log == NULL) return;
    struct stat status;
    const char* kind = "other\n";
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) kind = "file\n";
    if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) kind = "folder\n";
    const int logFd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (logFd < 0) return;
    syscall(SYS_write, logFd, kind, strlen(kind));
    close(logFd);
}

int fsync(int fd) {
    LogSync(fd);
    return (int)syscall(SYS_fsync, fd);
}

int fdatasync(int fd) {
    LogSync(fd);
    return (int)syscall(SYS_fdatasync, fd);
}
