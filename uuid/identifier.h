// Internal identifier functions shared by the library's own parts. C++
// linkage: only the library and its C++ tests, fuzzers and benchmarks call
// them.
#ifndef VARO_UUID_IDENTIFIER_H
#define VARO_UUID_IDENTIFIER_H

#include <cstring>

#include "kernels.h"
#include "varo_uuid.h"

// Writes a new identifier text (24 characters and a NUL) into `buf`, which
// must hold 25 bytes; no null test is made. Returns 0, or -1 when the GUID
// service fails, and then `buf` is not touched.
int varo_uuid_generate_to_buf(char *buf) noexcept;

// Writes the text of the 16 bytes at `raw` into the 25 bytes at `buf`:
// 24 path-safe characters, the last two "==", then a NUL. Returns `buf`.
// `buf` may start where `raw` does. Inline: the XDR decoder's every call.
inline char *varo_uuid_from_bytes(const unsigned char *raw, char *buf) noexcept {
    varo::kernels::encode16(raw, buf);
    buf[VARO_UUID_TEXT_CHARS] = '\0';
    return buf;
}

// Decodes the NUL-terminated text into the 16-byte area `raw`. Returns `raw`,
// or null when a character is not path-safe, a single character is left in
// the last group, or the text decodes to more than 16 bytes (then `raw` is
// untouched). A text that decodes to fewer bytes writes only those; after a
// bad character the groups before it are written.
unsigned char *varo_uuid_to_bytes(const char *text, unsigned char *raw) noexcept;

namespace varo {

// A new 25-byte block from the general allocator with the text that
// `fill` writes into it; null, with nothing left allocated, when there is
// no memory or `fill` returns non-zero.
char *alloc_text(int (*fill)(char *) noexcept) noexcept;

// Decodes `text` into `raw` only when it is a canonical identifier text:
// 24 characters, as varo_uuid_from_bytes() writes them, then a NUL. Reads
// at most 25 bytes of `text`. Returns false otherwise, with `raw` untouched.
bool decode_canonical(const char *text, unsigned char *raw) noexcept;

// Decodes `text` into `raw` only when it is any path-safe text of exactly
// 16 bytes: canonical or not, padded or not. decode_lenient_slow() is its
// path for all but the usual 24 characters. Return false otherwise; `raw`
// may then hold part of the bytes.
bool decode_lenient_slow(const char *text, unsigned char *raw) noexcept;
inline bool decode_lenient(const char *text, unsigned char *raw) noexcept {
    // The usual text goes straight to the kernel: this is the XDR encoder's
    // every call.
    if (std::strlen(text) == VARO_UUID_TEXT_CHARS && kernels::decode24(text, raw, false)) {
        return true;
    }
    return decode_lenient_slow(text, raw);
}

}  // namespace varo

#endif  // VARO_UUID_IDENTIFIER_H
