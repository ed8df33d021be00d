// Identifier generation, release, comparison and the text <-> bytes
// conversions.
#include "identifier.h"

#include <cstring>

#include "base64.h"
#include "platform/allocators.h"
#include "platform/guid.h"

static_assert(sizeof(GUID) == VARO_UUID_RAW_SIZE);

namespace {

// Decodes a path-safe text of at most 16 bytes (with `exact`, of exactly
// 16) into the 16-byte area `raw`: a clean 24-character text takes the
// kernel; anything else the general decoder, which also decides where a bad
// text stops. A text that would decode past the area (or, with `exact`, to
// anything but 16 bytes) is refused before a byte is written.
unsigned char *decode_up_to_16(const char *text, unsigned char *raw, bool exact) noexcept {
    const std::size_t n = std::strlen(text);
    if (n == VARO_UUID_TEXT_CHARS && varo::kernels::decode24(text, raw, false)) return raw;
    const int size = varo::base64::measure(text, n).bytes;
    if (size < 0 || size > VARO_UUID_RAW_SIZE) return nullptr;
    if (exact && size != VARO_UUID_RAW_SIZE) return nullptr;
    return base64_decode_pathsafe(text, static_cast<unsigned>(n), raw, nullptr);
}

}  // namespace

int varo_uuid_generate_to_buf(char *buf) noexcept {
    GUID guid;
    if (CoCreateGuid(&guid) != S_OK) return -1;
    // The GUID's bytes as they lie in memory; nothing is reordered.
    varo_uuid_from_bytes(reinterpret_cast<const unsigned char *>(&guid), buf);
    return 0;
}

unsigned char *varo_uuid_to_bytes(const char *text, unsigned char *raw) noexcept {
    return decode_up_to_16(text, raw, false);
}

extern "C" {

char *varo_uuid_generate_alloc(void) noexcept { return varo::alloc_text(varo_uuid_generate_to_buf); }

void varo_uuid_generate_free(char *p) noexcept {
    if (p != nullptr) kel_free(p);
}

int varo_uuid_generate_on_buf(char *buf) noexcept {
    if (buf == nullptr) return -1;
    return varo_uuid_generate_to_buf(buf);
}

int varo_uuid_compare(const char *a, const char *b) noexcept {
    if (a == nullptr || b == nullptr) return -1;
    return std::strcmp(a, b) == 0 ? 1 : 0;
}

int varo_uuid_is_valid(const char *text) noexcept {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    return text != nullptr && varo::decode_canonical(text, raw) ? 1 : 0;
}

int varo_uuid_to_raw(const char *text, unsigned char *raw) noexcept {
    if (text == nullptr || raw == nullptr) return -1;
    return varo::decode_canonical(text, raw) ? 0 : -1;
}

int varo_uuid_from_raw(const unsigned char *raw, char *buf) noexcept {
    if (raw == nullptr || buf == nullptr) return -1;
    varo_uuid_from_bytes(raw, buf);
    return 0;
}

}  // extern "C"

namespace varo {

bool decode_lenient_slow(const char *text, unsigned char *raw) noexcept {
    return decode_up_to_16(text, raw, true) != nullptr;
}

char *alloc_text(int (*fill)(char *) noexcept) noexcept {
    auto *block = static_cast<char *>(kel_malloc(VARO_UUID_TEXT_SIZE));
    if (block == nullptr) return nullptr;
    if (fill(block) != 0) {
        kel_free(block);
        return nullptr;
    }
    return block;
}

bool decode_canonical(const char *text, unsigned char *raw) noexcept {
    // strnlen stops at 25, so a long string costs no more than a short one.
    return strnlen(text, VARO_UUID_TEXT_SIZE) == VARO_UUID_TEXT_CHARS &&
           kernels::decode24(text, raw, true);
}

}  // namespace varo
