// Shared by the fuzz targets: the reference codec, heap copies of the input
// and the check macro.
#ifndef VARO_UUID_FUZZ_SUPPORT_H
#define VARO_UUID_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "tests/support/reference_codec.h"

// Stops the run on a mismatch. libFuzzer saves the input as a crash; the
// replay main dies with the message, which fails its test.
#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace ref {

// ---- Heap areas -------------------------------------------------------------

struct Free {
    void operator()(void *p) const noexcept { std::free(p); }
};
template <typename T>
using HeapPtr = std::unique_ptr<T[], Free>;

// `size` bytes of `fill` on the heap, exactly `size` long, so that AddressSanitizer catches a
// write one byte past the end. malloc(0) still gives a distinct pointer.
inline HeapPtr<unsigned char> heap_area(std::size_t size, unsigned char fill) {
    auto *p = static_cast<unsigned char *>(std::malloc(size == 0 ? 1 : size));
    if (p == nullptr) std::abort();
    std::memset(p, fill, size);
    return HeapPtr<unsigned char>(p);
}

// The input as a NUL-terminated string on the heap (it ends at its first
// NUL, if it has one).
inline HeapPtr<char> heap_text(const std::uint8_t *data, std::size_t size) {
    auto *p = static_cast<char *>(std::malloc(size + 1));
    if (p == nullptr) std::abort();
    if (size != 0) std::memcpy(p, data, size);
    p[size] = '\0';
    return HeapPtr<char>(p);
}

}  // namespace ref

#endif  // VARO_UUID_FUZZ_SUPPORT_H
