// Internal: the identifier kernels (16 raw bytes <-> 24 path-safe
// characters, and 16 raw bytes -> the RFC form) and the one place that
// chooses among them: the AVX2 kernels (kernels_x86.cpp) where the
// processor has AVX2, the portable ones (kernels_portable.cpp) elsewhere.
// Every kernel of a kind gives the same results.
//
// The choice is made inline, in the caller: a call costs about as much as a
// whole conversion. Test builds can force the portable kernels through the
// fault site `avx2` (platform/cpu.h).
//
// Every kernel reads all of its input before it writes, so its input and
// output areas may overlap (in-place conversion), and none reads or writes a
// byte outside its 16 bytes, 24 characters or 37 bytes of RFC form.
#ifndef VARO_UUID_KERNELS_H
#define VARO_UUID_KERNELS_H

#include "kernels_x86.h"
#include "platform/cpu.h"

namespace varo::kernels {

// Whether the AVX2 kernels may run: on x86-64 where the processor has AVX2.
inline bool use_avx2() noexcept {
#if defined(__x86_64__)
    return platform::cpu_has_avx2();
#else
    return false;
#endif
}

// encode16 writes the 24 characters of the 16 bytes at `raw` (the last two
// "=="), and no NUL.
void encode16_portable(const unsigned char *raw, char *text) noexcept;
inline void encode16(const unsigned char *raw, char *text) noexcept {
    use_avx2() ? encode16_avx2(raw, text) : encode16_portable(raw, text);
}

// decode24 reads 24 characters that must end in "==" and writes 16 bytes.
// It returns false, writing nothing, when any character is not path-safe
// or, with `canonical`, when character 21 has any of its low four bits set
// (then the text is not the one encode16 writes for its bytes).
bool decode24_portable(const char *text, unsigned char *raw, bool canonical) noexcept;
inline bool decode24(const char *text, unsigned char *raw, bool canonical) noexcept {
    return use_avx2() ? decode24_avx2(text, raw, canonical)
                      : decode24_portable(text, raw, canonical);
}

// format_rfc writes the RFC form of the 16 bytes at `raw` into `out`: 36
// characters, lower-case hex in groups 8-4-4-4-12 with the first three
// fields read little-endian, then a NUL; exactly 37 bytes.
void format_rfc_portable(const unsigned char *raw, char *out) noexcept;
inline void format_rfc(const unsigned char *raw, char *out) noexcept {
    use_avx2() ? format_rfc_avx2(raw, out) : format_rfc_portable(raw, out);
}

}  // namespace varo::kernels

#endif  // VARO_UUID_KERNELS_H
