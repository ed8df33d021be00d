// Internal: the x86 identifier kernels (kernels_x86.cpp), for the chooser in
// kernels.h only. On x86-64, declarations and nothing else: kernels_x86.cpp
// is compiled for AVX2 and includes this header, so no inline code may live
// here.
#ifndef VARO_UUID_KERNELS_X86_H
#define VARO_UUID_KERNELS_X86_H

namespace varo::kernels {

#if defined(__x86_64__)
void encode16_avx2(const unsigned char *raw, char *text) noexcept;
bool decode24_avx2(const char *text, unsigned char *raw, bool canonical) noexcept;
void format_rfc_avx2(const unsigned char *raw, char *out) noexcept;
#else
// Elsewhere there are no AVX2 kernels; the chooser never calls these, which
// only keep its calls well-formed (and linkable without optimisation).
inline void encode16_avx2(const unsigned char *, char *) noexcept {
    __builtin_unreachable();
}
inline bool decode24_avx2(const char *, unsigned char *, bool) noexcept {
    __builtin_unreachable();
}
inline void format_rfc_avx2(const unsigned char *, char *) noexcept {
    __builtin_unreachable();
}
#endif

}  // namespace varo::kernels

#endif  // VARO_UUID_KERNELS_X86_H
