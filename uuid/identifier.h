// Internal identifier functions shared by the library's own parts.
#ifndef VARO_UUID_IDENTIFIER_H
#define VARO_UUID_IDENTIFIER_H

#include "varo_uuid.h"

extern "C" {

// Writes a new identifier text (24 characters and a NUL) into `buf`, which
// must hold 25 bytes; no null test is made. Returns 0, or -1 when the GUID
// service fails, and then `buf` is not touched.
int varo_uuid_generate_to_buf(char *buf) noexcept;

// Writes the text of the 16 bytes at `raw` into the 25 bytes at `buf`:
// 24 path-safe characters, the last two "==", then a NUL. Returns `buf`.
char *varo_uuid_from_bytes(const unsigned char *raw, char *buf) noexcept;

// Decodes the NUL-terminated text into the 16-byte area `raw`. Returns `raw`,
// or null when a character is not path-safe, a single character is left in
// the last group, or the text decodes to more than 16 bytes (then `raw` is
// untouched). A text that decodes to fewer bytes writes only those; after a
// bad character the groups before it are written.
unsigned char *varo_uuid_to_bytes(const char *text, unsigned char *raw) noexcept;

}  // extern "C"

namespace varo {

// Decodes `text` into `raw` only when it stands for exactly 16 bytes.
// Returns false otherwise; `raw` may then hold part of the bytes.
bool text_to_raw16(const char *text, unsigned char *raw) noexcept;

// Decodes `text` into `raw` only when it is a canonical identifier text:
// 24 characters, as varo_uuid_from_bytes() writes them, then a NUL. Reads
// at most 25 bytes of `text`. Returns false otherwise, with `raw` untouched.
bool canonical_to_raw(const char *text, unsigned char *raw) noexcept;

}  // namespace varo

#endif  // VARO_UUID_IDENTIFIER_H
