// Internal: the RFC 9562 string form of an identifier's GUID record: its
// layout, shared by the parser (rfc.cpp) and the formatters (kernels_*.cpp),
// and the parser.
//
// Data and declarations only: kernels_x86.cpp, compiled for AVX2, includes
// this header, so no inline code may live here.
#ifndef VARO_UUID_RFC_H
#define VARO_UUID_RFC_H

namespace varo::rfc {

// The raw byte printed at each of the 16 places of the RFC form: the GUID
// record's first three fields (4, 2 and 2 bytes) are little-endian. The
// order is its own inverse.
inline constexpr unsigned char kPrintOrder[16] = {3, 2, 1,  0,  5,  4,  7,  6,
                                                  8, 9, 10, 11, 12, 13, 14, 15};
// Where the two digits of each printed byte start, in the 36-character
// form.
inline constexpr unsigned char kDashedAt[16] = {0,  2,  4,  6,  9,  11, 14, 16,
                                                19, 21, 24, 26, 28, 30, 32, 34};
inline constexpr int kDashes[] = {8, 13, 18, 23};
inline constexpr char kDigits[] = "0123456789abcdef";

// Reads the NUL-terminated `text` in one of the accepted forms (36
// characters, the same in braces, with the prefix "urn:uuid:" in either
// case, or 32 hex digits alone; hex digits in either case) and writes its
// 16 raw bytes into `raw`. Reads at most 46 bytes of `text`. Returns false
// for anything else, with `raw` untouched.
bool parse(const char *text, unsigned char *raw) noexcept;

}  // namespace varo::rfc

#endif  // VARO_UUID_RFC_H
