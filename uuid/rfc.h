// Internal: the RFC 9562 string form of an identifier's GUID record.
#ifndef VARO_UUID_RFC_H
#define VARO_UUID_RFC_H

namespace varo::rfc {

// Writes the RFC form of the 16 raw bytes at `raw` into `out`: 36
// characters, lower-case hex in groups 8-4-4-4-12 with the first three
// fields read little-endian, then a NUL; exactly 37 bytes.
void format(const unsigned char *raw, char *out) noexcept;

// Reads the NUL-terminated `text` in one of the accepted forms (36
// characters, the same in braces, with the prefix "urn:uuid:" in either
// case, or 32 hex digits alone; hex digits in either case) and writes its
// 16 raw bytes into `raw`. Reads at most 46 bytes of `text`. Returns false
// for anything else, with `raw` untouched.
bool parse(const char *text, unsigned char *raw) noexcept;

}  // namespace varo::rfc

#endif  // VARO_UUID_RFC_H
