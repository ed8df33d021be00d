/*
 * varo_uuid: globally unique identifiers as 24-character path-safe texts,
 * and their XDR routines (16 raw bytes on the wire).
 *
 * An identifier text is a 25-byte block: 22 characters of the alphabet
 * "A-Z a-z 0-9 + _", then "==", then a NUL. It is the six-bit encoding of the
 * identifier's 16 raw bytes, in the order in which they lie in memory; the
 * same 16 bytes, in the same order, travel on the wire.
 *
 * Every function here is thread-safe and reentrant, and none is a thread
 * cancellation point. Nothing is logged and no function aborts; failures are
 * reported only through the results below.
 *
 * WARNING: every block goes back to the allocator that gave it.
 *   - varo_uuid_generate_alloc(),
 *     varo_uuid_generate_v7_alloc(),
 *     varo_uuid_generate_v5_alloc(),
 *     varo_uuid_generate_v3_alloc(),
 *     varo_uuid_generate_v6_alloc(),
 *     varo_uuid_generate_v1_alloc(),
 *     varo_uuid_parse_alloc()           -> varo_uuid_generate_free()
 *   - decoded or cloned with heap 0     -> xdr_free_varo_uuid_t(), or
 *                                          pxdr_varo_uuid_t() in XDR_FREE mode
 *                                          with heap 0
 *   - decoded or cloned with heap H     -> pxdr_varo_uuid_t() in XDR_FREE mode
 *                                          with the same heap H
 * Mixing them corrupts the allocators.
 *
 * The header is C99 and C++ clean. It needs libtirpc's headers
 * (pkg-config libtirpc) for the XDR stream type.
 *
 * Versions: the functions of 1.0 carry the symbol version VARO_UUID_1.0,
 * those added in 1.1 VARO_UUID_1.1, those added in 1.2 VARO_UUID_1.2,
 * those added in 1.3 VARO_UUID_1.3, those added in 1.4 VARO_UUID_1.4;
 * every 1.x keeps the SONAME
 * libvaro_uuid.so.1 and every earlier function unchanged.
 */
#ifndef VARO_UUID_H
#define VARO_UUID_H

#include <stddef.h>

#include <rpc/types.h>
#include <rpc/xdr.h>

#if defined(_WIN32)
#define VARO_UUID_API
#elif defined(__GNUC__)
#define VARO_UUID_API __attribute__((visibility("default")))
#else
#define VARO_UUID_API
#endif

/* The version of this header and of the library it came with. */
#define VARO_UUID_VERSION_MAJOR 1
#define VARO_UUID_VERSION_MINOR 4
#define VARO_UUID_VERSION_PATCH 0

#if defined(__cplusplus)
#define VARO_UUID_NOEXCEPT noexcept
extern "C" {
#else
#define VARO_UUID_NOEXCEPT
#endif

/* Sizes of an identifier in its three forms. */
#define VARO_UUID_TEXT_SIZE 25  /* text block, NUL included */
#define VARO_UUID_TEXT_CHARS 24 /* characters before the NUL */
#define VARO_UUID_RAW_SIZE 16   /* raw bytes, also the wire form */
#define VARO_UUID_RFC_BYTES 16  /* the same 16 bytes in RFC 9562 (network) order */
#define VARO_UUID_RFC_SIZE 37   /* RFC form: 36 characters and a NUL */

/*
 * Well-known identifiers as canonical texts (string literals, since 1.3):
 * the namespaces of RFC 9562 for names that are domain names, URLs, ISO
 * OIDs and X.500 distinguished names, and the nil (all bits zero) and max
 * (all bits one) identifiers. The RFC form of each is in its comment.
 */
#define VARO_UUID_NAMESPACE_DNS "ELina62d0RGAtADAT9QwyA=="  /* 6ba7b810-9dad-11d1-80b4-00c04fd430c8 */
#define VARO_UUID_NAMESPACE_URL "Ebina62d0RGAtADAT9QwyA=="  /* 6ba7b811-9dad-11d1-80b4-00c04fd430c8 */
#define VARO_UUID_NAMESPACE_OID "Erina62d0RGAtADAT9QwyA=="  /* 6ba7b812-9dad-11d1-80b4-00c04fd430c8 */
#define VARO_UUID_NAMESPACE_X500 "FLina62d0RGAtADAT9QwyA==" /* 6ba7b814-9dad-11d1-80b4-00c04fd430c8 */
#define VARO_UUID_NIL "AAAAAAAAAAAAAAAAAAAAAA=="            /* 00000000-0000-0000-0000-000000000000 */
#define VARO_UUID_MAX "_____________________w=="            /* ffffffff-ffff-ffff-ffff-ffffffffffff */

/* An identifier: a pointer to its 25-byte text. Null means "no identifier". */
typedef char *varo_uuid_t;

/* ---- Identifiers ------------------------------------------------------- */

/*
 * Makes a new identifier in a new 25-byte block.
 * Allocates: the block, from the general allocator; the caller owns it and
 * gives it back with varo_uuid_generate_free().
 * Returns the block, or null when no memory or no fresh identifier could be
 * had (then nothing is left allocated).
 */
VARO_UUID_API char *varo_uuid_generate_alloc(void) VARO_UUID_NOEXCEPT;

/*
 * Gives back a block made by varo_uuid_generate_alloc(),
 * varo_uuid_generate_v7_alloc(), varo_uuid_generate_v5_alloc(),
 * varo_uuid_generate_v3_alloc(), varo_uuid_generate_v6_alloc(),
 * varo_uuid_generate_v1_alloc() or varo_uuid_parse_alloc(). A null pointer
 * is accepted and ignored. Any other pointer is undefined behaviour.
 */
VARO_UUID_API void varo_uuid_generate_free(char *p) VARO_UUID_NOEXCEPT;

/*
 * Writes a new identifier text into the caller's area `buf`, which must hold
 * at least 25 bytes: 24 characters and a NUL. Allocates nothing.
 * Returns 0 on success, -1 when `buf` is null or no fresh identifier could be
 * had; on failure `buf` is not touched.
 */
VARO_UUID_API int varo_uuid_generate_on_buf(char *buf) VARO_UUID_NOEXCEPT;

/*
 * Tests two NUL-terminated strings for equality, byte by byte up to and
 * including the NUL; any two strings are accepted, not only identifiers.
 * Returns 1 when they are identical, 0 when they differ (no ordering is
 * implied), -1 when either pointer is null.
 */
VARO_UUID_API int varo_uuid_compare(const char *a, const char *b) VARO_UUID_NOEXCEPT;

/* ---- Identifier texts from outside (since 1.1) ---------------------------
 *
 * A canonical identifier text is exactly what the library writes for some
 * 16 bytes: 24 characters and a NUL, where characters 0 to 20 are path-safe
 * (A-Z a-z 0-9 + _), character 21 is one of A Q g w, and characters 22 and
 * 23 are "==". Only canonical texts are valid here: a text whose character
 * 21 has other low bits, such as "...ODx==" beside "...ODw==", stands for
 * the same bytes, yet varo_uuid_compare() calls the two different.
 *
 * The RFC form is the RFC 9562 string of the identifier's GUID record: 32
 * lower-case hex digits in groups 8-4-4-4-12. The record's first three
 * fields lie little-endian in memory, as the platform's GUID service lays
 * them out, so the raw bytes r0 ... r15 print as
 *     r3r2r1r0-r5r4-r7r6-r8r9-r10r11r12r13r14r15
 * which is how Windows and .NET print a GUID (Python:
 * str(uuid.UUID(bytes_le=raw))). The raw bytes themselves are never
 * reordered; only this form reads them by field.
 *
 * None of these functions allocates: every area is the caller's, and on
 * failure none is written.
 */

/*
 * Returns 1 when the NUL-terminated `text` is a canonical identifier text,
 * else 0; 0 for a null pointer. Reads at most 25 bytes of `text`.
 */
VARO_UUID_API int varo_uuid_is_valid(const char *text) VARO_UUID_NOEXCEPT;

/*
 * Writes the 16 raw bytes of the canonical text `text` into the caller's
 * area `raw` of at least 16 bytes. These are the GUID record's bytes (first
 * three fields little-endian), not libuuid's uuid_t: for that, see
 * varo_uuid_to_rfc_bytes().
 * Returns 0; or -1 when text or raw is null or text is not canonical, and
 * then raw is not touched. raw may be text's own area (in place).
 */
VARO_UUID_API int varo_uuid_to_raw(const char *text, unsigned char *raw) VARO_UUID_NOEXCEPT;

/*
 * Writes the canonical text of the 16 raw bytes at `raw`, a GUID record
 * (first three fields little-endian; a uuid_t goes through
 * varo_uuid_from_rfc_bytes() instead), into the caller's area `buf` of at
 * least 25 bytes: exactly 25 bytes, 24 characters and a NUL. Returns 0, or -1 when raw or buf is null (nothing written). buf may
 * start where raw does (in place): all 16 bytes are read before buf is
 * written.
 */
VARO_UUID_API int varo_uuid_from_raw(const unsigned char *raw, char *buf) VARO_UUID_NOEXCEPT;

/*
 * Writes the RFC form of the canonical text `text` into the caller's area
 * `buf` of at least VARO_UUID_RFC_SIZE (37) bytes: exactly 37 bytes, 36
 * characters and a NUL.
 * Returns 0; or -1 when text or buf is null or text is not canonical, and
 * then buf is not touched. buf may be text's own area (in place).
 */
VARO_UUID_API int varo_uuid_to_rfc(const char *text, char *buf) VARO_UUID_NOEXCEPT;

/*
 * Reads an identifier in RFC form and writes its canonical text into the
 * caller's area `buf` of at least 25 bytes: exactly 25 bytes, 24
 * characters and a NUL. The NUL-terminated `rfc` must be one of these, hex
 * digits in either case:
 *     xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx              36 characters
 *     {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}            38
 *     urn:uuid:xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx     45, the prefix in
 *                                                       either case too
 *     xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx                  32
 * Nothing else is accepted: no spaces around it, no other prefix or
 * bracket. Reads at most 46 bytes of `rfc`.
 * Returns 0; or -1 when rfc or buf is null or rfc is none of these forms,
 * and then buf is not touched. buf may be rfc's own area (in place).
 */
VARO_UUID_API int varo_uuid_from_rfc(const char *rfc, char *buf) VARO_UUID_NOEXCEPT;

/* ---- Time-ordered identifiers and inspection (since 1.2) ----------------
 *
 * A version 7 identifier (RFC 9562) carries the Unix time in milliseconds
 * in its first 48 bits in RFC field order, the version 0111, 12 bits, the
 * variant 10 and 62 bits. Here the 12 bits and the top 6 of the 62 hold a
 * fraction of the millisecond in steps of 2^-18 ms (about 3.8 ns), and the
 * other 56 bits are fresh from the kernel for every identifier. The raw
 * bytes are the GUID record as above, so the RFC forms of version 7
 * identifiers sort in the order in which they were made, and so does
 * varo_uuid_order().
 *
 * Order: of two generations in any threads of a process, where one returns
 * before the other starts, the second is greater in varo_uuid_order(), in a
 * signal handler too. Generation takes no lock. Identifiers of different
 * processes and machines are unique but in no promised order. The README
 * says when this holds and what the timestamp does when the wall clock
 * stands still, steps or runs out of fractions.
 */

/*
 * Makes a new version 7 identifier in a new 25-byte block.
 * Allocates: the block, from the general allocator; the caller owns it and
 * gives it back with varo_uuid_generate_free().
 * Returns the block, or null when no memory, the kernel's random source
 * failed or the wall clock has gone past the last timestamp (below); then nothing
 * is left allocated.
 */
VARO_UUID_API char *varo_uuid_generate_v7_alloc(void) VARO_UUID_NOEXCEPT;

/*
 * Writes a new version 7 identifier text into the caller's area `buf`,
 * which must hold at least 25 bytes: 24 characters and a NUL. Allocates
 * nothing.
 * Returns 0 on success, -1 when `buf` is null, the kernel's random source
 * failed, or the wall clock has gone past the last timestamp; on failure `buf` is
 * not touched.
 *
 * The last timestamp: generation computes in 64-bit signed counts of
 * 2^-18 ms, which end in 3084-12-12T12:41:28.831Z; after it generation
 * fails rather than repeat or wrap. (The field itself, and
 * varo_uuid_time(), go on to the year 10889.) The clock is read with a
 * 64-bit time_t on every host, 32-bit ones included.
 */
VARO_UUID_API int varo_uuid_generate_v7_on_buf(char *buf) VARO_UUID_NOEXCEPT;

/*
 * Returns the version field (0 to 15: the high nibble of raw byte 7) of
 * the canonical text `text` whose variant (the top two bits of raw byte 8)
 * is RFC 9562's, 10. Returns -1 for any other variant (the nil and the max
 * identifier among them), a text that is not canonical, or a null pointer.
 * Reads at most 25 bytes of `text`; allocates nothing.
 */
VARO_UUID_API int varo_uuid_version(const char *text) VARO_UUID_NOEXCEPT;

/*
 * Writes the time of a version 7 identifier, its unix_ts_ms field (0 to
 * 2^48 - 1 milliseconds since 1970-01-01 00:00:00 UTC), to *unix_ms.
 * Returns 0; or -1 when text or unix_ms is null, text is not canonical or
 * not of version 7 (varo_uuid_version() is not 7), and then *unix_ms is
 * not touched. Reads at most 25 bytes of `text`; allocates nothing.
 */
VARO_UUID_API int varo_uuid_time(const char *text, long long *unix_ms) VARO_UUID_NOEXCEPT;

/*
 * Compares two NUL-terminated strings in a total order, fit for qsort():
 *   - two canonical texts compare as their RFC forms, byte by byte in RFC
 *     field order, so version 7 identifiers compare in generation order;
 *   - every string that is not a canonical text comes after every
 *     canonical one, and such strings compare among themselves byte by
 *     byte as strcmp() does;
 *   - a null pointer comes before everything; two null pointers are equal.
 * Returns -1 when a comes first, 0 when they are equal (for canonical
 * texts: the same text), 1 when b comes first. Allocates nothing.
 */
VARO_UUID_API int varo_uuid_order(const char *a, const char *b) VARO_UUID_NOEXCEPT;

/*
 * Copies the canonical text `text` into a new 25-byte block: 24 characters
 * and a NUL. Spends nothing of the random source.
 * Allocates: the block, from the general allocator; the caller owns it and
 * gives it back with varo_uuid_generate_free().
 * Returns the block, or null when text is null or not canonical (nothing
 * allocated) or no memory. Reads at most 25 bytes of `text`.
 */
VARO_UUID_API char *varo_uuid_parse_alloc(const char *text) VARO_UUID_NOEXCEPT;

/* ---- Name-based identifiers (since 1.3) --------------------------------
 *
 * A name-based identifier is the same for the same namespace and name,
 * every time and on every machine: one identifier per URL, per path, per
 * customer number, made anywhere without coordination. Version 5 hashes
 * with SHA-1 (RFC 9562 section 5.5), version 3 with MD5 (section 5.3);
 * prefer version 5 unless a peer needs version 3.
 *
 * The hash runs over the namespace's 16 bytes in RFC field order (as
 * varo_uuid_to_rfc() prints them), then the name's bytes. Its first 16
 * bytes, with the version and the variant 10 set, are the identifier in
 * RFC field order, stored as the GUID record like every identifier here
 * (first three fields little-endian). So varo_uuid_to_rfc() of the result
 * is the RFC 9562 string that other libraries give for the same namespace
 * and name, e.g. for VARO_UUID_NAMESPACE_DNS and "www.example.com"
 * 2ed6657d-e927-568b-95e1-2665a8aea6a2 (version 5) and
 * 5df41881-3aed-3515-88a7-2f4a814cf09e (version 3); varo_uuid_version()
 * reads 5 or 3 back, and varo_uuid_time() refuses them.
 *
 * `namespace_id` is a canonical identifier text (one of the
 * VARO_UUID_NAMESPACE_* above, or any other); at most 25 bytes of it are
 * read. `name` is `name_len` bytes, any bytes, NULs included; it may be
 * null only when name_len is 0, which is the empty name either way.
 *
 * These functions draw nothing random, take no lock and keep nothing, so
 * they may be called from a signal handler. The identifier is not a
 * secret: anyone who can guess the namespace and the name can make it.
 */

/*
 * Writes the version 5 (SHA-1) identifier of `namespace_id` and `name` into
 * the caller's area `buf` of at least 25 bytes: exactly 25 bytes, 24
 * characters and a NUL. Allocates nothing.
 * Returns 0; or -1 when buf is null, namespace_id is null or not
 * canonical, or name is null and name_len is not 0, and then buf is not
 * touched. buf may be namespace_id's own area (in place), or overlap name:
 * both are read before buf is written.
 */
VARO_UUID_API int varo_uuid_generate_v5_on_buf(const char *namespace_id, const void *name,
                                               size_t name_len, char *buf) VARO_UUID_NOEXCEPT;

/*
 * Makes the version 5 (SHA-1) identifier of `namespace_id` and `name` in a
 * new 25-byte block.
 * Allocates: the block, from the general allocator; the caller owns it and
 * gives it back with varo_uuid_generate_free().
 * Returns the block; or null when namespace_id is null or not canonical,
 * name is null and name_len is not 0 (then nothing is allocated), or no
 * memory.
 */
VARO_UUID_API char *varo_uuid_generate_v5_alloc(const char *namespace_id, const void *name,
                                                size_t name_len) VARO_UUID_NOEXCEPT;

/*
 * The same as varo_uuid_generate_v5_on_buf() with MD5: the version 3
 * identifier of `namespace_id` and `name`, into `buf` (25 bytes).
 * Returns 0, or -1 as there, with buf untouched.
 */
VARO_UUID_API int varo_uuid_generate_v3_on_buf(const char *namespace_id, const void *name,
                                               size_t name_len, char *buf) VARO_UUID_NOEXCEPT;

/*
 * The same as varo_uuid_generate_v5_alloc() with MD5: the version 3
 * identifier in a new 25-byte block from the general allocator, given back
 * with varo_uuid_generate_free(). Returns the block, or null as there.
 */
VARO_UUID_API char *varo_uuid_generate_v3_alloc(const char *namespace_id, const void *name,
                                                size_t name_len) VARO_UUID_NOEXCEPT;

/* ---- Network-order bytes, versions 6, 1 and 8, timestamps (since 1.4) ---
 *
 * WARNING: two byte orders. varo_uuid_to_raw(), varo_uuid_from_raw() and
 * the wire carry the GUID record: the first three fields (4, 2 and 2
 * bytes) little-endian. libuuid's uuid_t, Python's UUID.bytes,
 * PostgreSQL's uuid, Java's and .NET's big-endian bytes hold the same
 * identifier in RFC 9562 (network) order: all fields big-endian, the order
 * of the RFC form's hex digits. Handing a uuid_t to varo_uuid_from_raw()
 * compiles and gives another identifier; use varo_uuid_from_rfc_bytes().
 * The two orders differ only in bytes 0-7:
 *     RFC byte  0 1 2 3 4 5 6 7 8 ... 15
 *     raw byte  3 2 1 0 5 4 7 6 8 ... 15
 *
 * Versions 6 and 1 (RFC 9562 sections 5.6 and 5.1) carry a 60-bit count of
 * 100 ns since 1582-10-15 00:00:00 UTC, a 14-bit clock sequence and a
 * 48-bit node: version 6 with the count's high bits first, so that its RFC
 * forms sort in time order; version 1 as libuuid's uuid_generate_time()
 * lays it out, the only version of Cassandra's timeuuid. The top 5 bits of
 * the clock sequence hold the fraction of the 100 ns in steps of 1/32
 * (3.125 ns), from the clock of version 7; the other 9 bits of the clock
 * sequence and 47 bits of the node are fresh from the kernel for every
 * identifier. The node is never a network card's address: its multicast
 * bit (the lowest bit of its first byte) is set, as RFC 9562 asks of a
 * random node.
 *
 * Order: of two generations in any threads of a process, where one returns
 * before the other starts, the second is later: for version 6 in
 * varo_uuid_order(), for version 1 in its count, then its clock sequence
 * (the order of Cassandra's timeuuid). This holds in a signal handler too
 * and in each process after fork(), on the same clock and under the same
 * conditions as for version 7 (above). Generation takes no lock, keeps no
 * file and allocates nothing but the _alloc block.
 *
 * None of these functions allocates, but for the _alloc ones; on failure
 * nothing is written.
 */

/*
 * Writes the canonical text of the 16 bytes at `rfc`, in RFC 9562 order
 * (libuuid's uuid_t, Python's UUID.bytes), into the caller's area `buf` of
 * at least 25 bytes: exactly 25 bytes, 24 characters and a NUL.
 * varo_uuid_to_rfc() of the result prints what libuuid's uuid_unparse()
 * prints for the same uuid_t.
 * Returns 0, or -1 when rfc or buf is null (nothing written). buf may start
 * where rfc does (in place): all 16 bytes are read before buf is written.
 */
VARO_UUID_API int varo_uuid_from_rfc_bytes(const unsigned char *rfc,
                                           char *buf) VARO_UUID_NOEXCEPT;

/*
 * Writes the 16 bytes of the canonical text `text` in RFC 9562 order into
 * the caller's area `rfc` of at least 16 bytes (VARO_UUID_RFC_BYTES).
 * Returns 0; or -1 when text or rfc is null or text is not canonical, and
 * then rfc is not touched. rfc may be text's own area (in place). Reads at
 * most 25 bytes of `text`.
 */
VARO_UUID_API int varo_uuid_to_rfc_bytes(const char *text, unsigned char *rfc) VARO_UUID_NOEXCEPT;

/*
 * Writes a new version 6 identifier text into the caller's area `buf`,
 * which must hold at least 25 bytes: 24 characters and a NUL. Allocates
 * nothing.
 * Returns 0 on success, -1 when `buf` is null, the kernel's random source
 * failed, or the wall clock has gone past the last timestamp of version 7's
 * clock (3084-12-12T12:41:28.831Z); on failure `buf` is not touched.
 */
VARO_UUID_API int varo_uuid_generate_v6_on_buf(char *buf) VARO_UUID_NOEXCEPT;

/*
 * Makes a new version 6 identifier in a new 25-byte block.
 * Allocates: the block, from the general allocator; the caller owns it and
 * gives it back with varo_uuid_generate_free().
 * Returns the block, or null when no memory, the kernel's random source
 * failed, or the wall clock has gone past 3084-12-12T12:41:28.831Z (then nothing
 * is left allocated).
 */
VARO_UUID_API char *varo_uuid_generate_v6_alloc(void) VARO_UUID_NOEXCEPT;

/*
 * The same as varo_uuid_generate_v6_on_buf() for version 1: writes a new
 * version 1 identifier text into `buf` (at least 25 bytes). Returns 0, or
 * -1 as there, with buf untouched.
 */
VARO_UUID_API int varo_uuid_generate_v1_on_buf(char *buf) VARO_UUID_NOEXCEPT;

/*
 * The same as varo_uuid_generate_v6_alloc() for version 1: a new 25-byte
 * block from the general allocator, given back with
 * varo_uuid_generate_free(). Returns the block, or null as there.
 */
VARO_UUID_API char *varo_uuid_generate_v1_alloc(void) VARO_UUID_NOEXCEPT;

/*
 * Writes the version 8 identifier of the caller's 16 bytes at `rfc`, in
 * RFC 9562 order, into the caller's area `buf` of at least 25 bytes:
 * exactly 25 bytes, 24 characters and a NUL. The bytes go in as they are
 * but for the version (the high nibble of RFC byte 6 becomes 1000) and the
 * variant (the top two bits of RFC byte 8 become 10): 122 bits of the
 * caller's. Deterministic; draws nothing, takes no lock, callable from a
 * signal handler.
 * Returns 0, or -1 when rfc or buf is null (nothing written). buf may start
 * where rfc does (in place).
 */
VARO_UUID_API int varo_uuid_generate_v8_on_buf(const unsigned char *rfc,
                                               char *buf) VARO_UUID_NOEXCEPT;

/*
 * Writes the time of a version 1, 6 or 7 identifier as Unix time: whole
 * seconds since 1970-01-01 00:00:00 UTC to *unix_s, and nanoseconds past
 * them, 0 to 999,999,999, to *ns.
 *   - Versions 1 and 6: the 100 ns count, exact to the 100 ns. A time
 *     before 1970 has negative seconds and nanoseconds counted up from
 *     them (1969-12-31 23:59:59.9 is -1 and 900,000,000). The range is
 *     1582-10-15 to the year 5236.
 *   - Version 7: the unix_ts_ms field, to the millisecond (*ns is a
 *     multiple of 1,000,000): the bits below it are random in other
 *     libraries' identifiers.
 * Returns 0; or -1 when text, unix_s or ns is null, text is not canonical
 * or not of version 1, 6 or 7 (varo_uuid_version()), and then neither
 * output is touched. Reads at most 25 bytes of `text`; allocates nothing.
 * varo_uuid_time() reads version 7 in milliseconds as before.
 */
VARO_UUID_API int varo_uuid_timestamp(const char *text, long long *unix_s,
                                      int *ns) VARO_UUID_NOEXCEPT;

/* ---- XDR routines -------------------------------------------------------
 *
 * On the wire an identifier is XDR fixed-length opaque data of 16 bytes: its
 * raw bytes, with no length word and no fill. A null identifier has no wire
 * form. Identifier blocks made here are 25 bytes from the heap-handle
 * allocator; heap 0 is the default heap and always exists.
 *
 * Encoding sends only a text that converts to exactly 16 bytes: 24
 * characters of the path-safe alphabet with the "==" ending (or the same
 * bytes without it). Anything else makes the filter fail and writes nothing.
 */

/*
 * XDR filter for one identifier, with the heap that decoded blocks come from
 * and that XDR_FREE gives them back to.
 *   XDR_ENCODE: writes the 16 raw bytes of the text *objp.
 *   XDR_DECODE: sets *objp to null, reads 16 bytes, then stores a new 25-byte
 *               text block from heap `heap` in *objp. An earlier value of
 *               *objp is overwritten, not released.
 *   XDR_FREE:   gives *objp back to heap `heap` (if not null); *objp = null.
 * Returns 1 on success; 0 when objp is null, *objp is null or does not
 * decode to exactly 16 bytes (encode), the stream has no room or no data, the
 * heap has no memory or does not exist (then *objp is null), or the
 * operation is unknown.
 */
VARO_UUID_API bool_t pxdr_varo_uuid_t(XDR *xdrs, varo_uuid_t *objp, int heap) VARO_UUID_NOEXCEPT;

/*
 * The same filter with the default heap 0. It has the shape of an ONC XDR
 * filter, so it can be handed to xdr_free() and to generated code as
 * (xdrproc_t)xdr_varo_uuid_t.
 */
VARO_UUID_API bool_t xdr_varo_uuid_t(XDR *xdrs, varo_uuid_t *objp) VARO_UUID_NOEXCEPT;

/*
 * Deep copy of *src into a new 25-byte block from heap `heap`, stored in
 * *dst. The text is copied up to its NUL (at most 24 characters) and the rest
 * of the block is NUL-filled. An earlier value of *dst is overwritten, not
 * released. A null *src gives a null *dst.
 * Returns 1 on success; 0 when src or dst is null, or the heap has no memory
 * (then *dst is null).
 */
VARO_UUID_API bool_t pxdr_clone_varo_uuid_t(const varo_uuid_t *src, varo_uuid_t *dst,
                                            int heap) VARO_UUID_NOEXCEPT;

/* Returns the wire size of *objp: 16, or -1 when objp or *objp is null. */
VARO_UUID_API int xdr_length_of_encoded_varo_uuid_t(const varo_uuid_t *objp) VARO_UUID_NOEXCEPT;

/*
 * Encodes *objp into the caller's buffer `buf` of `size` bytes.
 * Returns the number of bytes written, 16; or -1 when buf is null, size is
 * below 16 (buf untouched), objp or *objp is null, or *objp does not decode
 * to exactly 16 bytes (nothing written).
 */
VARO_UUID_API int xdr_encode_varo_uuid_t(const varo_uuid_t *objp, char *buf,
                                         int size) VARO_UUID_NOEXCEPT;

/*
 * Decodes one identifier from the first 16 of `size` bytes at `buf` into a
 * new 25-byte block from heap 0, stored in *objp; release it with
 * xdr_free_varo_uuid_t(). An earlier value of *objp is overwritten.
 * Returns the number of bytes consumed, 16; or -1 when buf or objp is null,
 * size is negative or below 16, or no memory (then *objp is null).
 */
VARO_UUID_API int xdr_decode_varo_uuid_t(const char *buf, int size,
                                         varo_uuid_t *objp) VARO_UUID_NOEXCEPT;

/*
 * Gives a block from heap 0 back and sets *objp to null; a null objp or
 * *objp is harmless. Blocks from another heap go back through
 * pxdr_varo_uuid_t() in XDR_FREE mode with their own heap.
 */
VARO_UUID_API void xdr_free_varo_uuid_t(varo_uuid_t *objp) VARO_UUID_NOEXCEPT;

#if defined(__cplusplus)
}
#endif

#endif /* VARO_UUID_H */
