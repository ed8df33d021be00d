// Test-only fault injection for the platform stand-ins.
//
// The shipped library is built without VARO_UUID_FAULT_INJECTION, where
// every check below is a constant false and vanishes. The internal test
// library defines it, so that tests can make a platform service fail on
// demand and follow each failure path.
#ifndef VARO_UUID_PLATFORM_FAULT_H
#define VARO_UUID_PLATFORM_FAULT_H

namespace varo::fault {

enum class Site {
    guid,            // CoCreateGuid as a whole
    entropy,         // the kernel CSPRNG read behind it
    kel_malloc,      // the general allocator
    zonheap_malloc,  // the heap-handle allocator
    runtime_malloc,  // malloc() as the codec uses it
    wipe_on_fork,    // the kernel's MADV_WIPEONFORK for the random pool pages
    vdso,            // the vDSO's getrandom, as if the kernel had none
    vdso_draw,       // one draw from the vDSO's getrandom
    pool,            // the random pool, as if off: draws go to the system call
    avx2,            // the processor's AVX2, as if it had none
};

#if defined(VARO_UUID_FAULT_INJECTION)
// Lets the next `skip` calls at `site` succeed, then fails `times` calls.
void arm(Site site, int skip = 0, int times = 1) noexcept;
// Clears every armed failure.
void disarm_all() noexcept;
// True when this call at `site` is to fail.
bool should_fail(Site site) noexcept;
// How many calls reached `site`, failed or not: a counting allocator for
// the runtime_malloc site.
long calls(Site site) noexcept;
#else
constexpr bool should_fail(Site) noexcept { return false; }
#endif

}  // namespace varo::fault

#endif  // VARO_UUID_PLATFORM_FAULT_H
