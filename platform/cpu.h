// What the processor can do, for the codec's wide loops.
#ifndef VARO_UUID_PLATFORM_CPU_H
#define VARO_UUID_PLATFORM_CPU_H

namespace varo::platform {

// True when the processor has AVX2 and the kernel saves its registers.
// Found out on the first call and kept; test builds can pretend it is absent
// (fault site `avx2`) to run the scalar loops on long inputs.
bool cpu_has_avx2() noexcept;

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_CPU_H
