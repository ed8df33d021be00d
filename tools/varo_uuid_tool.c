/*
 * varo-uuid: makes identifiers and converts them between their text and
 * their 16 raw bytes, through the library's public interface only.
 */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "varo_uuid.h"

enum { EXIT_BAD_INPUT = 1, EXIT_USAGE = 2 };

static const char usage_text[] =
    "Usage: varo-uuid [-n N]\n"
    "       varo-uuid --hex TEXT\n"
    "       varo-uuid --from-hex HEX\n"
    "       varo-uuid --help\n"
    "\n"
    "Makes new identifiers, or converts one between its text and its raw bytes.\n"
    "\n"
    "  (no option)     print one new identifier\n"
    "  -n N            print N new identifiers, one a line (N >= 1)\n"
    "  --hex TEXT      print the 16 raw bytes of the identifier TEXT as 32\n"
    "                  lower-case hex digits\n"
    "  --from-hex HEX  print the identifier text of 32 hex digits\n"
    "  --help          print this help\n"
    "\n"
    "An identifier text is 24 characters: 22 of A-Z a-z 0-9 + _, then \"==\".\n";

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

static int generate(unsigned long long count) {
    char line[VARO_UUID_TEXT_SIZE + 1];
    for (unsigned long long i = 0; i < count; ++i) {
        if (varo_uuid_generate_on_buf(line) != 0) {
            fputs("varo-uuid: no fresh identifier could be made\n", stderr);
            return EXIT_FAILURE;
        }
        line[VARO_UUID_TEXT_CHARS] = '\n';
        if (fwrite(line, 1, VARO_UUID_TEXT_CHARS + 1, stdout) != VARO_UUID_TEXT_CHARS + 1) break;
    }
    return finish_output();
}

/* A well-formed text is the canonical text of its bytes: 24 characters,
 * path-safe, "==" at the end, and unused low bits zero. */
static int text_to_hex(const char *text) {
    char raw[VARO_UUID_RAW_SIZE];
    char copy[VARO_UUID_TEXT_SIZE];
    varo_uuid_t in = copy;
    varo_uuid_t back = NULL;
    int ok = strlen(text) == VARO_UUID_TEXT_CHARS &&
             memcpy(copy, text, sizeof copy) != NULL &&
             xdr_encode_varo_uuid_t(&in, raw, sizeof raw) == VARO_UUID_RAW_SIZE &&
             xdr_decode_varo_uuid_t(raw, sizeof raw, &back) == VARO_UUID_RAW_SIZE &&
             varo_uuid_compare(back, text) == 1;
    xdr_free_varo_uuid_t(&back);
    if (!ok) {
        fprintf(stderr, "varo-uuid: not a well-formed identifier text: '%s'\n", text);
        return EXIT_BAD_INPUT;
    }
    for (int i = 0; i < VARO_UUID_RAW_SIZE; ++i) printf("%02x", (unsigned char)raw[i]);
    putchar('\n');
    return finish_output();
}

static int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

static int hex_to_text(const char *hex) {
    char raw[VARO_UUID_RAW_SIZE];
    int ok = strlen(hex) == 2 * VARO_UUID_RAW_SIZE;
    for (int i = 0; ok && i < VARO_UUID_RAW_SIZE; ++i) {
        const int hi = hex_value(hex[2 * i]);
        const int lo = hex_value(hex[2 * i + 1]);
        ok = hi >= 0 && lo >= 0;
        if (ok) raw[i] = (char)(hi << 4 | lo);
    }
    if (!ok) {
        fprintf(stderr, "varo-uuid: not 32 hex digits: '%s'\n", hex);
        return EXIT_BAD_INPUT;
    }
    varo_uuid_t text = NULL;
    if (xdr_decode_varo_uuid_t(raw, sizeof raw, &text) != VARO_UUID_RAW_SIZE) {
        fputs("varo-uuid: out of memory\n", stderr);
        return EXIT_FAILURE;
    }
    puts(text);
    xdr_free_varo_uuid_t(&text);
    return finish_output();
}

int main(int argc, char **argv) {
    if (argc == 1) return generate(1);
    const char *opt = argv[1];
    if (strcmp(opt, "--help") == 0 || strcmp(opt, "-h") == 0) {
        if (argc != 2) return usage_error("unexpected argument", argv[2]);
        fputs(usage_text, stdout);
        return finish_output();
    }
    const int takes_value =
        strcmp(opt, "-n") == 0 || strcmp(opt, "--hex") == 0 || strcmp(opt, "--from-hex") == 0;
    if (!takes_value) return usage_error("unknown option", opt);
    if (argc < 3) return usage_error("option needs a value", opt);
    if (argc > 3) return usage_error("unexpected argument", argv[3]);
    const char *value = argv[2];
    if (strcmp(opt, "--hex") == 0) return text_to_hex(value);
    if (strcmp(opt, "--from-hex") == 0) return hex_to_text(value);
    unsigned long long count = 0;
    if (!parse_count(value, &count)) return usage_error("N must be a positive whole number", value);
    return generate(count);
}
