// Leases of the per-thread slots: making them, and telling a gone holder.
#include "platform/random/slots.h"

#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace varo::platform::leases {
namespace {

// Thread ids are below 2^22 (the kernel's PID_MAX_LIMIT), so the sequence
// has 42 bits: it never wraps.
constexpr int kTidBits = 22;
constexpr std::uint64_t kTidMask = (std::uint64_t{1} << kTidBits) - 1;

// Ordinary memory: a child goes on from its parent's count.
std::atomic<std::uint64_t> g_sequence{0};

}  // namespace

std::uint64_t make() noexcept {
    const std::uint64_t sequence = g_sequence.fetch_add(1, std::memory_order_relaxed) + 1;
    const auto tid = static_cast<std::uint64_t>(syscall(SYS_gettid));
    return sequence << kTidBits | (tid & kTidMask);
}

bool holder_gone(std::uint64_t lease, pid_t pid) noexcept {
    const auto tid = static_cast<pid_t>(lease & kTidMask);
    seam::holder_asked();
    return syscall(SYS_tgkill, pid, tid, 0) != 0 && errno == ESRCH;
}

std::atomic<std::uint64_t> *map_table(std::size_t count) noexcept {
    const std::size_t bytes = count * sizeof(std::atomic<std::uint64_t>);
    void *table = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (table == MAP_FAILED) return nullptr;
    // No kernel takes advice -1: one that does (qemu-user) applies none, and
    // the seam plays that part in tests.
    if (!seam::advice_applied() || madvise(table, bytes, MADV_WIPEONFORK) != 0 ||
        madvise(table, bytes, -1) == 0) {
        munmap(table, bytes);
        return nullptr;
    }
    // Zero-filled anonymous memory: every slot is free.
    return static_cast<std::atomic<std::uint64_t> *>(table);
}

}  // namespace varo::platform::leases
