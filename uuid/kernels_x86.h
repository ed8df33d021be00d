// Internal: the x86 identifier kernels (kernels_x86.cpp), for the chooser in
// kernels.h only. Declarations and nothing else: kernels_x86.cpp is compiled
// for AVX2 and includes this header, so no inline code may live here.
#ifndef VARO_UUID_KERNELS_X86_H
#define VARO_UUID_KERNELS_X86_H

#if defined(__x86_64__)
namespace varo::kernels {

void encode16_avx2(const unsigned char *raw, char *text) noexcept;
bool decode24_avx2(const char *text, unsigned char *raw, bool canonical) noexcept;
void format_rfc_avx2(const unsigned char *raw, char *out) noexcept;

}  // namespace varo::kernels
#endif

#endif  // VARO_UUID_KERNELS_X86_H
