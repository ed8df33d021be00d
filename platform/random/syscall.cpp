// Random bytes by the getrandom() system call.
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fault.h"
#include "platform/random/sources.h"

namespace varo::platform {

bool syscall_random(void *out, std::size_t n) noexcept {
    if (fault::should_fail(fault::Site::entropy)) return false;
    const int saved_errno = errno;  // a signal handler's caller keeps its errno
    auto *p = static_cast<std::uint8_t *>(out);
    while (n > 0) {
        // The raw system call: glibc's getrandom() is a cancellation point,
        // and a thread cancelled in it would leak what its caller allocated.
        // The kernel may return fewer bytes than asked (a signal, or more
        // than 256 bytes at once before the pool is ready): go on from there.
        const long got = syscall(SYS_getrandom, p, seam::syscall_length(n), 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            errno = saved_errno;
            return false;
        }
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    errno = saved_errno;
    return true;
}

}  // namespace varo::platform
