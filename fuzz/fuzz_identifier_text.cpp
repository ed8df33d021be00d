// Identifier text <-> raw bytes.
//
// The input as a NUL-terminated text through varo_uuid_to_bytes into an
// exactly sized 16-byte area: a text that decodes to more than 16 bytes is
// refused with the area untouched; any other must match the path-safe
// reference decoder in result and in all 16 bytes (the untouched ones too).
// Then the first 16 input bytes through varo_uuid_from_bytes and back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base64.h"
#include "identifier.h"
#include "reference.h"

namespace {

constexpr std::size_t kRaw = VARO_UUID_RAW_SIZE;

void check_text(const std::uint8_t *data, std::size_t size, unsigned char fill) {
    const auto text = ref::heap_text(data, size);
    const std::size_t chars = ref::unpadded(text.get(), std::strlen(text.get()));

    auto expected = ref::heap_area(kRaw, fill);
    const bool ok = ref::decoded_size(chars) <= kRaw &&
                    ref::decode(text.get(), chars, expected.get(), BASE64_ALPHABET_PATHSAFE,
                                ref::Classifier::mixed);

    auto raw = ref::heap_area(kRaw, fill);
    FUZZ_CHECK(varo_uuid_to_bytes(text.get(), raw.get()) == (ok ? raw.get() : nullptr));
    FUZZ_CHECK(std::memcmp(raw.get(), expected.get(), kRaw) == 0);
}

void check_bytes(const std::uint8_t *data, std::size_t size, unsigned char fill) {
    unsigned char bytes[kRaw] = {};
    if (size != 0) std::memcpy(bytes, data, std::min(size, kRaw));

    auto block = ref::heap_area(VARO_UUID_TEXT_SIZE, fill);
    char *text = reinterpret_cast<char *>(block.get());
    FUZZ_CHECK(varo_uuid_from_bytes(bytes, text) == text);
    FUZZ_CHECK(text[VARO_UUID_TEXT_CHARS] == '\0');
    FUZZ_CHECK(text == ref::encode(bytes, kRaw, BASE64_ALPHABET_PATHSAFE));

    auto back = ref::heap_area(kRaw, static_cast<unsigned char>(~fill));
    FUZZ_CHECK(varo_uuid_to_bytes(text, back.get()) == back.get());
    FUZZ_CHECK(std::memcmp(back.get(), bytes, kRaw) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const unsigned char fill = size != 0 ? static_cast<unsigned char>(data[0] ^ 0xA5) : 0x5A;
    check_text(data, size, fill);
    check_bytes(data, size, fill);
    return 0;
}
