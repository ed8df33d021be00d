/*
 * A loadable SQLite extension over the shipped library:
 *
 *   varo_uuid()          a new random (version 4) identifier text
 *   varo_uuid_v7()       a new time-ordered (version 7) identifier text
 *   varo_uuid_v6()       a new time-based version 6 identifier text
 *   varo_uuid_v1()       a new time-based version 1 identifier text (the
 *                        only version of Cassandra's timeuuid)
 *   varo_uuid_rfc(TEXT)  the RFC 9562 form of an identifier text
 *   varo_uuid_key(TEXT)  its 16 bytes in RFC field order, a BLOB: as an
 *                        index key, version 7 and version 6 identifiers
 *                        sort in the order they were made
 *   varo_uuid_to_blob(TEXT)
 *                        the same 16 bytes in network (RFC 9562) order, the
 *                        BLOB that other systems share: libuuid's uuid_t,
 *                        Python's UUID.bytes, PostgreSQL's uuid
 *   varo_uuid_from_blob(BLOB)
 *                        the identifier text of 16 such bytes
 *   varo_uuid_time(TEXT) the time of a version 1, 6 or 7 identifier text in
 *                        UTC as ISO 8601, as varo-uuid --info prints it:
 *                        '2026-12-08T10:15:30.1234567Z' (versions 1 and 6,
 *                        to the 100 ns), '2026-12-08T10:15:30.123Z'
 *                        (version 7); SQLite's date and time functions
 *                        take it
 *   varo_uuid_v5(NAMESPACE, NAME)
 *   varo_uuid_v3(NAMESPACE, NAME)
 *                        the name-based identifier text (version 5, SHA-1;
 *                        version 3, MD5) of the bytes of NAME, a TEXT (its
 *                        UTF-8) or a BLOB, in NAMESPACE: '@dns', '@url',
 *                        '@oid', '@x500', an identifier text or an RFC
 *                        form, as the varo-uuid tool takes it
 *
 * varo_uuid_rfc, varo_uuid_key, varo_uuid_to_blob and varo_uuid_time give
 * NULL for NULL or for a text that is not canonical, varo_uuid_time also for
 * another version, varo_uuid_from_blob for anything but a 16-byte BLOB. varo_uuid_v5 and varo_uuid_v3 give NULL when either
 * argument is NULL, and fail the statement with an error for a namespace
 * that is none of those forms or a NAME that is a number.
 * Load it with `.load ./varo_uuid_sqlite` in the sqlite3 shell, or
 * sqlite3_load_extension(); its entry point is sqlite3_varouuidsqlite_init.
 */
#define _GNU_SOURCE /* gmtime_r */
#include <sqlite3ext.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "namespace_arg.h"
#include "varo_uuid.h"

SQLITE_EXTENSION_INIT1

static void generate(sqlite3_context *ctx, int (*make)(char *)) {
    char text[VARO_UUID_TEXT_SIZE];
    if (make(text) != 0) {
        sqlite3_result_error(ctx, "varo_uuid: no fresh identifier could be made", -1);
        return;
    }
    sqlite3_result_text(ctx, text, VARO_UUID_TEXT_CHARS, SQLITE_TRANSIENT);
}

static void uuid_v4(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    (void)argc;
    (void)argv;
    generate(ctx, varo_uuid_generate_on_buf);
}

static void uuid_v7(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    (void)argc;
    (void)argv;
    generate(ctx, varo_uuid_generate_v7_on_buf);
}

static void uuid_v6(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    (void)argc;
    (void)argv;
    generate(ctx, varo_uuid_generate_v6_on_buf);
}

static void uuid_v1(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    (void)argc;
    (void)argv;
    generate(ctx, varo_uuid_generate_v1_on_buf);
}

/* The argument's text, or null for NULL, a BLOB or a number. */
static const char *text_argument(sqlite3_value *value) {
    if (sqlite3_value_type(value) != SQLITE_TEXT) return NULL;
    return (const char *)sqlite3_value_text(value);
}

static void uuid_rfc(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    (void)argc;
    const char *text = text_argument(argv[0]);
    char rfc[VARO_UUID_RFC_SIZE];
    if (text == NULL || varo_uuid_to_rfc(text, rfc) != 0) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_text(ctx, rfc, VARO_UUID_RFC_SIZE - 1, SQLITE_TRANSIENT);
}

/* varo_uuid_key and varo_uuid_to_blob: the bytes in RFC (network) order,
 * whose order as a BLOB is that of the RFC forms. */
static void uuid_to_blob(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    (void)argc;
    const char *text = text_argument(argv[0]);
    unsigned char bytes[VARO_UUID_RFC_BYTES];
    if (text == NULL || varo_uuid_to_rfc_bytes(text, bytes) != 0) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_blob(ctx, bytes, sizeof bytes, SQLITE_TRANSIENT);
}

static void uuid_from_blob(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    (void)argc;
    char text[VARO_UUID_TEXT_SIZE];
    /* The length first, then the pointer: a zero-length BLOB has none. */
    if (sqlite3_value_type(argv[0]) != SQLITE_BLOB ||
        sqlite3_value_bytes(argv[0]) != VARO_UUID_RFC_BYTES) {
        sqlite3_result_null(ctx);
        return;
    }
    const unsigned char *bytes = sqlite3_value_blob(argv[0]);
    if (bytes == NULL) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    if (varo_uuid_from_rfc_bytes(bytes, text) != 0) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_text(ctx, text, VARO_UUID_TEXT_CHARS, SQLITE_TRANSIENT);
}

static void uuid_time(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    (void)argc;
    const char *text = text_argument(argv[0]);
    long long unix_s = 0;
    int ns = 0;
    const int version = text == NULL ? -1 : varo_uuid_version(text);
    if (varo_uuid_timestamp(text, &unix_s, &ns) != 0) {
        sqlite3_result_null(ctx);
        return;
    }
    /* Version 7 holds milliseconds, versions 1 and 6 counts of 100 ns. */
    const time_t seconds = (time_t)unix_s;
    struct tm utc;
    char iso[48];
    size_t n = 0;
    if ((long long)seconds == unix_s && gmtime_r(&seconds, &utc) != NULL) {
        n = strftime(iso, 40, "%Y-%m-%dT%H:%M:%S", &utc);
    }
    if (n == 0) {
        sqlite3_result_null(ctx);
        return;
    }
    if (version == 7) {
        snprintf(iso + n, sizeof iso - n, ".%03dZ", ns / 1000000);
    } else {
        snprintf(iso + n, sizeof iso - n, ".%07dZ", ns / 100);
    }
    sqlite3_result_text(ctx, iso, -1, SQLITE_TRANSIENT);
}

static void name_based(sqlite3_context *ctx, sqlite3_value **argv,
                       int (*make)(const char *, const void *, size_t, char *)) {
    const int name_type = sqlite3_value_type(argv[1]);
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || name_type == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const char *arg = text_argument(argv[0]);
    char ns[VARO_UUID_TEXT_SIZE];
    if (arg == NULL || varo_uuid_namespace_arg(arg, ns) != 0) {
        sqlite3_result_error(ctx,
                             "varo_uuid: the namespace is none of @dns, @url, @oid, @x500, an "
                             "identifier text or an RFC form",
                             -1);
        return;
    }
    if (name_type != SQLITE_TEXT && name_type != SQLITE_BLOB) {
        sqlite3_result_error(ctx, "varo_uuid: the name is neither TEXT nor BLOB", -1);
        return;
    }
    /* The pointer first, then its length; a zero-length BLOB gives a null
     * pointer, which is the empty name. */
    const void *name = name_type == SQLITE_TEXT ? (const void *)sqlite3_value_text(argv[1])
                                                : sqlite3_value_blob(argv[1]);
    const int size = sqlite3_value_bytes(argv[1]);
    /* SQLite's lengths are ints, at most SQLITE_MAX_LENGTH; a negative one
     * would become a huge size_t, so it is refused like a missing name. */
    if (size < 0 || (name == NULL && size != 0)) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    char text[VARO_UUID_TEXT_SIZE];
    if (make(ns, name, (size_t)size, text) != 0) {
        sqlite3_result_error(ctx, "varo_uuid: no identifier could be made", -1);
        return;
    }
    sqlite3_result_text(ctx, text, VARO_UUID_TEXT_CHARS, SQLITE_TRANSIENT);
}

static void uuid_v5(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    (void)argc;
    name_based(ctx, argv, varo_uuid_generate_v5_on_buf);
}

static void uuid_v3(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
    (void)argc;
    name_based(ctx, argv, varo_uuid_generate_v3_on_buf);
}

#if defined(__GNUC__)
__attribute__((visibility("default")))
#endif
int sqlite3_varouuidsqlite_init(sqlite3 *db, char **error, const sqlite3_api_routines *api) {
    (void)error;
    SQLITE_EXTENSION_INIT2(api);
    /* The random and time-ordered generators are not deterministic; the
     * conversions and the name-based ones are, and safe in views and
     * triggers. */
    const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    int rc = sqlite3_create_function(db, "varo_uuid", 0, SQLITE_UTF8, NULL, uuid_v4, NULL, NULL);
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_function(db, "varo_uuid_v7", 0, SQLITE_UTF8, NULL, uuid_v7, NULL, NULL);
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "varo_uuid_rfc", 1, pure, NULL, uuid_rfc, NULL, NULL);
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_function(db, "varo_uuid_v6", 0, SQLITE_UTF8, NULL, uuid_v6, NULL, NULL);
    }
    if (rc == SQLITE_OK) {
        rc = sqlite3_create_function(db, "varo_uuid_v1", 0, SQLITE_UTF8, NULL, uuid_v1, NULL, NULL);
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "varo_uuid_key", 1, pure, NULL, uuid_to_blob, NULL, NULL);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "varo_uuid_to_blob", 1, pure, NULL, uuid_to_blob, NULL,
                                     NULL);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "varo_uuid_from_blob", 1, pure, NULL, uuid_from_blob,
                                     NULL, NULL);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "varo_uuid_time", 1, pure, NULL, uuid_time, NULL, NULL);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "varo_uuid_v5", 2, pure, NULL, uuid_v5, NULL, NULL);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "varo_uuid_v3", 2, pure, NULL, uuid_v3, NULL, NULL);
    return rc;
}
