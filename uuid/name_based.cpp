// Name-based identifiers: version 5 (SHA-1) and version 3 (MD5), hashed by
// nettle.
//
// The hash runs over the namespace's 16 bytes in RFC field order, then the
// name. Its first 16 bytes, with the version and the variant set, are the
// identifier in RFC field order; stored as the GUID record (first three
// fields little-endian) like every other identifier here, through the RFC
// form's own order table, which is its own inverse.
//
// nettle's hashes are pure computations on the caller's context: no global
// state, no allocation, no lock, so all of this is reentrant and callable
// from a signal handler.
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "identifier.h"
#include "platform/allocators.h"
#include "record.h"

namespace {

using varo::record::reorder_bytes;

// One of nettle's hashes, and the version of the identifiers it makes.
template <class Context, unsigned version, void (*init_fn)(Context *),
          void (*update_fn)(Context *, std::size_t, const std::uint8_t *),
          void (*digest_fn)(Context *, std::size_t, std::uint8_t *)>
struct Hash {
    using Ctx = Context;
    static constexpr unsigned kVersion = version;
    static void init(Ctx *c) noexcept { init_fn(c); }
    static void update(Ctx *c, std::size_t n, const std::uint8_t *d) noexcept {
        update_fn(c, n, d);
    }
    static void digest(Ctx *c, std::size_t n, std::uint8_t *d) noexcept { digest_fn(c, n, d); }
};
using Sha1 = Hash<sha1_ctx, 5, sha1_init, sha1_update, sha1_digest>;
using Md5 = Hash<md5_ctx, 3, md5_init, md5_update, md5_digest>;

// Writes the GUID record of the name-based identifier to `raw`. Returns
// false, writing nothing, when the namespace is null or not canonical, or
// the name is null with a length.
template <class H>
bool make_name_based(const char *namespace_id, const void *name, std::size_t name_len,
                     unsigned char *raw) noexcept {
    alignas(16) std::uint8_t ns[VARO_UUID_RAW_SIZE];
    if (namespace_id == nullptr || (name == nullptr && name_len != 0) ||
        !varo::decode_canonical(namespace_id, ns)) {
        return false;
    }
    alignas(16) std::uint8_t rfc[VARO_UUID_RAW_SIZE];
    reorder_bytes(ns, rfc);
    // One update for the namespace and one for the name: nettle gathers
    // them into its block, so a short name costs one compression as if the
    // 16 + n bytes had been copied together first.
    typename H::Ctx context;
    H::init(&context);
    H::update(&context, sizeof rfc, rfc);
    // Nothing to hash for an empty name, whose pointer may be null.
    if (name_len != 0) H::update(&context, name_len, static_cast<const std::uint8_t *>(name));
    // Only the first 16 bytes of the digest are wanted: the identifier in
    // RFC order, with its version and variant.
    std::uint8_t digest[VARO_UUID_RAW_SIZE];
    H::digest(&context, sizeof digest, digest);
    digest[6] = static_cast<std::uint8_t>((digest[6] & 0x0F) | H::kVersion << 4);
    digest[8] = static_cast<std::uint8_t>((digest[8] & 0x3F) | 0x80);
    reorder_bytes(digest, raw);
    return true;
}

template <class H>
int name_based_on_buf(const char *namespace_id, const void *name, std::size_t name_len,
                      char *buf) noexcept {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    if (buf == nullptr || !make_name_based<H>(namespace_id, name, name_len, raw)) return -1;
    varo_uuid_from_bytes(raw, buf);
    return 0;
}

// The input is checked and hashed before the block is taken, so a refused
// one allocates nothing.
template <class H>
char *name_based_alloc(const char *namespace_id, const void *name, std::size_t name_len) noexcept {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    if (!make_name_based<H>(namespace_id, name, name_len, raw)) return nullptr;
    auto *block = static_cast<char *>(kel_malloc(VARO_UUID_TEXT_SIZE));
    if (block != nullptr) varo_uuid_from_bytes(raw, block);
    return block;
}

}  // namespace

extern "C" {

int varo_uuid_generate_v5_on_buf(const char *namespace_id, const void *name, size_t name_len,
                                 char *buf) noexcept {
    return name_based_on_buf<Sha1>(namespace_id, name, name_len, buf);
}

char *varo_uuid_generate_v5_alloc(const char *namespace_id, const void *name,
                                  size_t name_len) noexcept {
    return name_based_alloc<Sha1>(namespace_id, name, name_len);
}

int varo_uuid_generate_v3_on_buf(const char *namespace_id, const void *name, size_t name_len,
                                 char *buf) noexcept {
    return name_based_on_buf<Md5>(namespace_id, name, name_len, buf);
}

char *varo_uuid_generate_v3_alloc(const char *namespace_id, const void *name,
                                  size_t name_len) noexcept {
    return name_based_alloc<Md5>(namespace_id, name, name_len);
}

}  // extern "C"
