/*
 * varo-uuid: makes identifiers, checks identifier texts and converts them to
 * and from their 16 raw bytes and their RFC 9562 form, through the
 * library's public interface only.
 */
#define _POSIX_C_SOURCE 200112L /* gmtime_r */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "varo_uuid.h"

enum { EXIT_BAD_INPUT = 1, EXIT_USAGE = 2 };

static const char usage_text[] =
    "Usage: varo-uuid [-7] [-n N]\n"
    "       varo-uuid --info TEXT|-\n"
    "       varo-uuid --check TEXT|-\n"
    "       varo-uuid --hex TEXT|-\n"
    "       varo-uuid --from-hex HEX|-\n"
    "       varo-uuid --rfc TEXT|-\n"
    "       varo-uuid --from-rfc RFC|-\n"
    "       varo-uuid --help\n"
    "\n"
    "Makes new identifiers, checks an identifier text, or converts one between\n"
    "its text, its raw bytes and its RFC 9562 form.\n"
    "\n"
    "  (no option)      print one new identifier\n"
    "  -n N             print N new identifiers, one a line (N >= 1)\n"
    "  -7               make time-ordered (version 7) identifiers: each one\n"
    "                   greater than the one before in its RFC form\n"
    "  --info TEXT      print the RFC form of TEXT, its version (- when its\n"
    "                   variant is not RFC 9562's) and, for version 7, its time\n"
    "                   in UTC, e.g. 2026-12-08T10:15:30.123Z\n"
    "  --check TEXT     print nothing; exit 0 when TEXT is a canonical identifier\n"
    "                   text, else 1\n"
    "  --hex TEXT       print the 16 raw bytes of TEXT as 32 lower-case hex digits\n"
    "  --from-hex HEX   print the identifier text of 32 hex digits\n"
    "  --rfc TEXT       print the RFC form of TEXT: 8-4-4-4-12 lower-case hex\n"
    "  --from-rfc RFC   print the identifier text of an RFC form (36 characters,\n"
    "                   the same in {braces} or after urn:uuid:, or 32 hex digits;\n"
    "                   either case)\n"
    "  --help           print this help\n"
    "\n"
    "With '-' in place of the value, the values are read from standard input,\n"
    "one a line, and the results written one a line; the first bad line stops\n"
    "the run with exit status 1 and its line number on standard error.\n"
    "\n"
    "An identifier text is 24 characters: 22 of A-Z a-z 0-9 + _, the last of\n"
    "them A, Q, g or w, then \"==\".\n";

static int usage_error(const char *what, const char *arg) {
    if (arg != NULL) {
        fprintf(stderr, "varo-uuid: %s: '%s'\n", what, arg);
    } else {
        fprintf(stderr, "varo-uuid: %s\n", what);
    }
    fputs("Try 'varo-uuid --help' for more information.\n", stderr);
    return EXIT_USAGE;
}

/* Flushes stdout and reports a failed write (a full disk, a closed pipe). */
static int finish_output(void) {
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "varo-uuid: cannot write output: %s\n", strerror(errno));
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}

static int parse_count(const char *s, unsigned long long *count) {
    /* Digits only: strtoull would also take signs and white space. */
    if (*s == '\0' || strspn(s, "0123456789") != strlen(s)) return 0;
    errno = 0;
    char *end = NULL;
    *count = strtoull(s, &end, 10);
    return errno == 0 && *end == '\0' && *count > 0;
}

static int generate(unsigned long long count, int (*make)(char *)) {
    char line[VARO_UUID_TEXT_SIZE + 1];
    for (unsigned long long i = 0; i < count; ++i) {
        if (make(line) != 0) {
            fputs("varo-uuid: no fresh identifier could be made\n", stderr);
            return EXIT_FAILURE;
        }
        line[VARO_UUID_TEXT_CHARS] = '\n';
        if (fwrite(line, 1, VARO_UUID_TEXT_CHARS + 1, stdout) != VARO_UUID_TEXT_CHARS + 1) break;
    }
    return finish_output();
}

/* ---- Conversions ----------------------------------------------------------
 * Each writes the result of one value into `out` (at least 96 bytes) and
 * returns 1, or returns 0 and points *why at what is wrong with the value. */

static int check(const char *text, char *out, const char **why) {
    out[0] = '\0';
    *why = "not a canonical identifier text";
    return varo_uuid_is_valid(text);
}

static int text_to_hex(const char *text, char *out, const char **why) {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    if (varo_uuid_to_raw(text, raw) != 0) {
        *why = "not a canonical identifier text";
        return 0;
    }
    for (int i = 0; i < VARO_UUID_RAW_SIZE; ++i) sprintf(out + 2 * i, "%02x", raw[i]);
    return 1;
}

static int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

static int hex_to_text(const char *hex, char *out, const char **why) {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    int ok = strlen(hex) == 2 * VARO_UUID_RAW_SIZE;
    for (int i = 0; ok && i < VARO_UUID_RAW_SIZE; ++i) {
        const int hi = hex_value(hex[2 * i]);
        const int lo = hex_value(hex[2 * i + 1]);
        ok = hi >= 0 && lo >= 0;
        if (ok) raw[i] = (unsigned char)(hi << 4 | lo);
    }
    if (!ok || varo_uuid_from_raw(raw, out) != 0) {
        *why = "not 32 hex digits";
        return 0;
    }
    return 1;
}

static int text_to_rfc(const char *text, char *out, const char **why) {
    *why = "not a canonical identifier text";
    return varo_uuid_to_rfc(text, out) == 0;
}

static int rfc_to_text(const char *rfc, char *out, const char **why) {
    *why = "not an RFC 9562 identifier string";
    return varo_uuid_from_rfc(rfc, out) == 0;
}

/* "RFC VERSION [TIME]": the time, for version 7, in UTC with milliseconds. */
static int text_info(const char *text, char *out, const char **why) {
    *why = "not a canonical identifier text";
    if (varo_uuid_to_rfc(text, out) != 0) return 0;
    const int version = varo_uuid_version(text);
    char *end = out + strlen(out);
    if (version < 0) {
        strcpy(end, " -");
        return 1;
    }
    end += sprintf(end, " %d", version);
    long long ms = 0;
    if (varo_uuid_time(text, &ms) == 0) {
        const time_t seconds = (time_t)(ms / 1000);
        struct tm utc;
        if (gmtime_r(&seconds, &utc) == NULL) return 0;
        end += strftime(end, 40, " %Y-%m-%dT%H:%M:%S", &utc);
        sprintf(end, ".%03dZ", (int)(ms % 1000));
    }
    return 1;
}

typedef int (*convert_fn)(const char *value, char *out, const char **why);

/* A result line, or nothing at all for an empty result (--check). */
static void put_result(const char *out) {
    if (out[0] != '\0') puts(out);
}

static int convert_one(convert_fn convert, const char *value) {
    char out[96];
    const char *why = "";
    if (!convert(value, out, &why)) {
        fprintf(stderr, "varo-uuid: %s: '%s'\n", why, value);
        return EXIT_BAD_INPUT;
    }
    put_result(out);
    return finish_output();
}

/*
 * Reads one line of standard input into `line` (`size` bytes), without its
 * newline. Returns 0 at the end of the input, else 1, with *bad pointing at
 * what is wrong with the line, or null. A line stops being read at its
 * first fault: the run stops there anyway.
 */
static int read_line(char *line, size_t size, const char **bad) {
    int c = getc(stdin);
    if (c == EOF) return 0;
    size_t n = 0;
    *bad = NULL;
    for (; c != EOF && c != '\n'; c = getc(stdin)) {
        if (c == '\0') {
            *bad = "NUL byte in line";
            break;
        }
        if (n + 1 == size) {
            *bad = "line too long";
            break;
        }
        line[n++] = (char)c;
    }
    line[n] = '\0';
    return 1;
}

/*
 * Converts standard input line by line, holding one line at a time. The
 * longest value accepted anywhere has 45 characters, so a longer line is
 * bad before the rest of it is read.
 */
static int convert_lines(convert_fn convert) {
    char line[64];
    char out[96];
    unsigned long long number = 0;
    const char *why = NULL;
    while (read_line(line, sizeof line, &why)) {
        ++number;
        if (why == NULL && convert(line, out, &why)) {
            put_result(out);
            continue;
        }
        fprintf(stderr, "varo-uuid: line %llu: %s: '%s'\n", number, why, line);
        finish_output();
        return EXIT_BAD_INPUT;
    }
    if (ferror(stdin)) {
        fprintf(stderr, "varo-uuid: cannot read standard input: %s\n", strerror(errno));
        finish_output();
        return EXIT_FAILURE;
    }
    return finish_output();
}

static const struct {
    const char *name;
    convert_fn convert;
} conversions[] = {
    {"--check", check},     {"--hex", text_to_hex},      {"--from-hex", hex_to_text},
    {"--rfc", text_to_rfc}, {"--from-rfc", rfc_to_text}, {"--info", text_info},
};

int main(int argc, char **argv) {
    int (*make)(char *) = varo_uuid_generate_on_buf;
    if (argc > 1 && strcmp(argv[1], "-7") == 0) {
        make = varo_uuid_generate_v7_on_buf;
        /* "-7" alone or "-7 -n N": the rest is read as without it. */
        --argc;
        ++argv;
        if (argc > 1 && strcmp(argv[1], "-n") != 0) {
            return usage_error("-7 takes only -n N", argv[1]);
        }
    }
    if (argc == 1) return generate(1, make);
    const char *opt = argv[1];
    if (strcmp(opt, "--help") == 0 || strcmp(opt, "-h") == 0) {
        if (argc != 2) return usage_error("unexpected argument", argv[2]);
        fputs(usage_text, stdout);
        return finish_output();
    }
    convert_fn convert = NULL;
    for (size_t i = 0; i < sizeof conversions / sizeof conversions[0]; ++i) {
        if (strcmp(opt, conversions[i].name) == 0) convert = conversions[i].convert;
    }
    if (convert == NULL && strcmp(opt, "-n") != 0) return usage_error("unknown option", opt);
    if (argc < 3) return usage_error("option needs a value", opt);
    if (argc > 3) return usage_error("unexpected argument", argv[3]);
    const char *value = argv[2];
    if (convert != NULL) {
        return strcmp(value, "-") == 0 ? convert_lines(convert) : convert_one(convert, value);
    }
    unsigned long long count = 0;
    if (!parse_count(value, &count)) return usage_error("N must be a positive whole number", value);
    return generate(count, make);
}
