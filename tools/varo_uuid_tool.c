/*
 * varo-uuid: makes identifiers (random, time-based or from names), checks
 * identifier texts and converts them to and from their 16 raw bytes, their
 * 16 bytes in network order and their RFC 9562 form, through the library's
 * public interface only.
 */
#define _GNU_SOURCE /* dladdr, getopt_long, gmtime_r, realpath */
#include <dlfcn.h>
#include <errno.h>
#include <getopt.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "namespace_arg.h"
#include "varo_uuid.h"

enum { EXIT_BAD_INPUT = 1, EXIT_USAGE = 2 };

static const char usage_text[] =
    "Usage: varo-uuid [-7|-6|-1] [-n N] [-r]\n"
    "       varo-uuid -5|-3 NAMESPACE NAME|- [-r]\n"
    "       varo-uuid --info TEXT|RFC|- [--json]\n"
    "       varo-uuid --check TEXT|-\n"
    "       varo-uuid --hex TEXT|-\n"
    "       varo-uuid --from-hex HEX|-\n"
    "       varo-uuid --rfc TEXT|-\n"
    "       varo-uuid --from-rfc RFC|-\n"
    "       varo-uuid --bytes TEXT|-\n"
    "       varo-uuid --from-bytes HEX|-\n"
    "       varo-uuid --help | --version\n"
    "\n"
    "Makes new identifiers (random, time-based or from names), checks an\n"
    "identifier text, or converts one between its text, its raw bytes, its\n"
    "bytes in network order and its RFC 9562 form.\n"
    "\n"
    "  (no option)      print one new identifier\n"
    "  -n N, --count=N  print N new identifiers, one a line (N >= 1)\n"
    "  -7               make time-ordered (version 7) identifiers: each one\n"
    "                   greater than the one before in its RFC form\n"
    "  -6               make time-based version 6 identifiers: 100 ns since 1582,\n"
    "                   each one greater than the one before in its RFC form\n"
    "  -1               make time-based version 1 identifiers (libuuid's\n"
    "                   uuid_generate_time, Cassandra's timeuuid), each one\n"
    "                   later than the one before in its time, then its clock\n"
    "                   sequence; the node is random, never a network address\n"
    "  -r, --as-rfc     print the new identifiers (also of -5 and -3) in their\n"
    "                   RFC form, as --rfc would print them\n"
    "  -5 NAMESPACE NAME\n"
    "                   print the name-based identifier (version 5, SHA-1) of\n"
    "                   the bytes of NAME in NAMESPACE: the same every time\n"
    "  -3 NAMESPACE NAME\n"
    "                   the same with MD5 (version 3). NAMESPACE is @dns, @url,\n"
    "                   @oid or @x500 (the RFC's), an identifier text, or an RFC\n"
    "                   form as for --from-rfc. NAME '-' reads the names from\n"
    "                   standard input, one a line (every byte but the newline,\n"
    "                   a carriage return before it too), and prints one\n"
    "                   identifier a line. Put '--' before a NAME that begins\n"
    "                   with '-'.\n"
    "  --info TEXT      print the RFC form of TEXT (an identifier text, or an RFC\n"
    "                   form as for --from-rfc), its version (- when its variant\n"
    "                   is not RFC 9562's), its time in UTC for versions 1 and 6\n"
    "                   to the 100 ns (e.g. 2026-12-08T10:15:30.1234567Z) and for\n"
    "                   version 7 to the millisecond (2026-12-08T10:15:30.123Z),\n"
    "                   and last the raw bytes as --hex prints them\n"
    "  --json           with --info: print one JSON object a line, with the text,\n"
    "                   the RFC form, the variant (ncs, rfc9562, microsoft or\n"
    "                   future), the version, the time, and the bytes in both\n"
    "                   orders\n";

/* The help goes in three strings: C99 compilers need not take a longer one. */
static const char usage_conversions[] =
    "  --check TEXT     print nothing on standard output; exit 0 when TEXT is a\n"
    "                   canonical identifier text, else 1 with the reason on\n"
    "                   standard error\n"
    "  --hex TEXT       print the 16 raw bytes of TEXT (the GUID record, the wire's\n"
    "                   order), in order, as 32 lower-case hex digits\n"
    "  --from-hex HEX   print the identifier text of 32 hex digits read as the raw\n"
    "                   bytes in order: 000102030405060708090a0b0c0d0e0f gives\n"
    "                   AAECAwQFBgcICQoLDA0ODw==\n"
    "  --rfc TEXT       print the RFC form of TEXT: 8-4-4-4-12 lower-case hex\n"
    "  --from-rfc RFC   print the identifier text of an RFC form (36 characters,\n"
    "                   the same in {braces} or after urn:uuid:, either case);\n"
    "                   32 hex digits alone are the RFC form without its dashes:\n"
    "                   030201000504070608090a0b0c0d0e0f gives\n"
    "                   AAECAwQFBgcICQoLDA0ODw==\n"
    "  --bytes TEXT     print the 16 bytes of TEXT in network order (libuuid's\n"
    "                   uuid_t, Python's UUID.bytes) as 32 lower-case hex digits:\n"
    "                   the RFC form without its dashes\n"
    "  --from-bytes HEX print the identifier text of 32 hex digits read as the 16\n"
    "                   bytes in network order: 030201000504070608090a0b0c0d0e0f\n"
    "                   gives AAECAwQFBgcICQoLDA0ODw==\n"
    "  -h, --help       print this help\n"
    "  -V, --version    print the versions of varo-uuid and of the library\n";

static const char usage_notes[] =
    "\n"
    "Options go in any order; -n, -r and one of -7, -6 and -1 go together, -5\n"
    "and -3 only with -r, --json only with --info. Of --help and --version the\n"
    "first wins.\n"
    "\n"
    "With '-' in place of the value, the values are read from standard input,\n"
    "one a line, and the results written one a line, each before the tool waits\n"
    "for more input; the first bad line stops the run with exit status 1 and\n"
    "its line number on standard error.\n"
    "\n"
    "An identifier text is 24 characters: 22 of A-Z a-z 0-9 + _, the last of\n"
    "them A, Q, g or w, then \"==\". The RFC form shows the raw bytes with\n"
    "its first three fields little-endian: raw 000102030405060708090a0b0c0d0e0f\n"
    "is 03020100-0504-0706-0809-0a0b0c0d0e0f, as Windows and .NET print a GUID.\n"
    "So the same 32 hex digits give two different identifiers through\n"
    "--from-hex and --from-rfc (or --from-bytes, the same reading); --info\n"
    "prints both forms.\n";

/*
 * Writes `value` to stderr between single quotes, every byte that a
 * terminal would not show as itself escaped: \t \n \r, \xHH for any other
 * control or non-ASCII byte, and \' and \\ for the quote and the escape.
 * Bad input thus never moves the cursor or reaches the terminal as a
 * control sequence, and every byte of it can be seen.
 */
static void put_quoted(const char *value) {
    putc('\'', stderr);
    for (const unsigned char *p = (const unsigned char *)value; *p != '\0'; ++p) {
        const unsigned char c = *p;
        if (c == '\'' || c == '\\') {
            fprintf(stderr, "\\%c", c);
        } else if (c == '\t' || c == '\n' || c == '\r') {
            fprintf(stderr, "\\%c", c == '\t' ? 't' : c == '\n' ? 'n' : 'r');
        } else if (c < 0x20 || c >= 0x7f) {
            fprintf(stderr, "\\x%02x", c);
        } else {
            putc(c, stderr);
        }
    }
    putc('\'', stderr);
}

/*
 * "varo-uuid: [line N: ]WHY: 'VALUE'": a bad value, quoted. A value whose
 * only fault may be the carriage return of a CRLF line end says so, as the
 * escaped \r is easy to miss.
 */
static void value_error(unsigned long long line, const char *why, const char *value) {
    fputs("varo-uuid: ", stderr);
    if (line != 0) fprintf(stderr, "line %llu: ", line);
    fprintf(stderr, "%s: ", why);
    put_quoted(value);
    const size_t n = strlen(value);
    if (n > 0 && value[n - 1] == '\r') {
        fprintf(stderr, " (the %s ends in a carriage return)", line != 0 ? "line" : "value");
    }
    putc('\n', stderr);
}

static int usage_error(const char *what, const char *arg) {
    if (arg != NULL) {
        fprintf(stderr, "varo-uuid: %s: ", what);
        put_quoted(arg);
        putc('\n', stderr);
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

/* -r: new identifiers go out in their RFC form rather than as texts. */
static int rfc_output;

/* Writes the text of a new identifier (in `line`, 25 bytes) and a newline,
 * or its RFC form when asked. Returns 0, or -1 when the write failed. */
static int put_made(char *line) {
    char rfc[VARO_UUID_RFC_SIZE];
    char *out = line;
    size_t n = VARO_UUID_TEXT_CHARS;
    if (rfc_output) {
        if (varo_uuid_to_rfc(line, rfc) != 0) return -1;
        out = rfc;
        n = VARO_UUID_RFC_SIZE - 1;
    }
    out[n] = '\n';
    return fwrite(out, 1, n + 1, stdout) == n + 1 ? 0 : -1;
}

static int generate(unsigned long long count, int (*make)(char *)) {
    char line[VARO_UUID_TEXT_SIZE];
    for (unsigned long long i = 0; i < count; ++i) {
        if (make(line) != 0) {
            fputs("varo-uuid: no fresh identifier could be made\n", stderr);
            return EXIT_FAILURE;
        }
        if (put_made(line) != 0) break;
    }
    return finish_output();
}

/* ---- Conversions ----------------------------------------------------------
 * Each writes the result of one value into `out` (at least OUT_SIZE bytes)
 * and returns 1, or returns 0 and points *why at what is wrong with the
 * value. */

enum { OUT_SIZE = 512 };

static int check(const char *text, char *out, const char **why) {
    out[0] = '\0';
    *why = "not a canonical identifier text";
    return varo_uuid_is_valid(text);
}

/* 16 bytes as 32 lower-case hex digits and a NUL; returns the end. */
static char *put_hex(const unsigned char *bytes, char *out) {
    for (int i = 0; i < VARO_UUID_RAW_SIZE; ++i) sprintf(out + 2 * i, "%02x", bytes[i]);
    return out + 2 * VARO_UUID_RAW_SIZE;
}

static int text_to_hex(const char *text, char *out, const char **why) {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    if (varo_uuid_to_raw(text, raw) != 0) {
        *why = "not a canonical identifier text";
        return 0;
    }
    put_hex(raw, out);
    return 1;
}

/* The 16 bytes in network (RFC 9562) order: the RFC form's digits. */
static int text_to_bytes(const char *text, char *out, const char **why) {
    unsigned char bytes[VARO_UUID_RFC_BYTES];
    if (varo_uuid_to_rfc_bytes(text, bytes) != 0) {
        *why = "not a canonical identifier text";
        return 0;
    }
    put_hex(bytes, out);
    return 1;
}

static int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

/* Exactly 32 hex digits, either case, into 16 bytes: 1, or 0. */
static int parse_hex(const char *hex, unsigned char *bytes) {
    int ok = strlen(hex) == 2 * VARO_UUID_RAW_SIZE;
    for (int i = 0; ok && i < VARO_UUID_RAW_SIZE; ++i) {
        const int hi = hex_value(hex[2 * i]);
        const int lo = hex_value(hex[2 * i + 1]);
        ok = hi >= 0 && lo >= 0;
        if (ok) bytes[i] = (unsigned char)(hi << 4 | lo);
    }
    return ok;
}

static int hex_to_text(const char *hex, char *out, const char **why) {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    if (!parse_hex(hex, raw) || varo_uuid_from_raw(raw, out) != 0) {
        *why = "not 32 hex digits";
        return 0;
    }
    return 1;
}

static int bytes_to_text(const char *hex, char *out, const char **why) {
    unsigned char bytes[VARO_UUID_RFC_BYTES];
    if (!parse_hex(hex, bytes) || varo_uuid_from_rfc_bytes(bytes, out) != 0) {
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

/* What --info tells of one identifier. */
struct info {
    char text[VARO_UUID_TEXT_SIZE];
    char rfc[VARO_UUID_RFC_SIZE];
    const char *variant; /* by the top bits of RFC byte 8 */
    int version;         /* -1 unless the variant is RFC 9562's */
    char time[48];       /* ISO 8601 in UTC, or "" for no time */
    long long unix_s;    /* the time as varo_uuid_timestamp() gives it */
    int ns;
    unsigned char raw[VARO_UUID_RAW_SIZE];
    unsigned char bytes[VARO_UUID_RFC_BYTES];
};

/*
 * "2026-12-08T10:15:30" and `digits` digits of the fraction of the second
 * (3 or 7), then "Z", into `out` (48 bytes). Returns 0 when the time is
 * beyond what this host's time_t and gmtime_r() take.
 */
static int format_time(long long unix_s, int ns, int digits, char *out) {
    const time_t seconds = (time_t)unix_s;
    struct tm utc;
    if ((long long)seconds != unix_s || gmtime_r(&seconds, &utc) == NULL) return 0;
    const size_t n = strftime(out, 40, "%Y-%m-%dT%H:%M:%S", &utc);
    if (n == 0) return 0;
    sprintf(out + n, ".%0*dZ", digits, digits == 3 ? ns / 1000000 : ns / 100);
    return 1;
}

/* Reads `value`, an identifier text or an RFC form, into *i: 1, or 0. */
static int read_info(const char *value, struct info *i, const char **why) {
    *why = "neither an identifier text nor an RFC 9562 identifier string";
    /* A text is 24 characters, an RFC form 32 to 45: never both. */
    if (varo_uuid_is_valid(value)) {
        memcpy(i->text, value, VARO_UUID_TEXT_SIZE);
    } else if (varo_uuid_from_rfc(value, i->text) != 0) {
        return 0;
    }
    if (varo_uuid_to_rfc(i->text, i->rfc) != 0 || varo_uuid_to_raw(i->text, i->raw) != 0 ||
        varo_uuid_to_rfc_bytes(i->text, i->bytes) != 0) {
        return 0;
    }
    /* RFC 9562's table of variants: 0xx, 10x, 110, 111. */
    const unsigned char v = i->bytes[8];
    i->variant = (v & 0x80) == 0   ? "ncs"
                 : (v & 0x40) == 0 ? "rfc9562"
                 : (v & 0x20) == 0 ? "microsoft"
                                   : "future";
    i->version = varo_uuid_version(i->text);
    i->time[0] = '\0';
    *why = "a time beyond what this system's gmtime_r() takes";
    long long ms = 0;
    if (i->version == 7 && varo_uuid_time(i->text, &ms) == 0) {
        /* Milliseconds only: other libraries' bits below them are random. */
        i->unix_s = ms / 1000;
        i->ns = (int)(ms % 1000) * 1000000;
        return format_time(i->unix_s, i->ns, 3, i->time);
    }
    if ((i->version == 1 || i->version == 6) &&
        varo_uuid_timestamp(i->text, &i->unix_s, &i->ns) == 0) {
        return format_time(i->unix_s, i->ns, 7, i->time);
    }
    return 1;
}

/*
 * "RFC VERSION [TIME] HEX": the version, or - for another variant; for
 * versions 1 and 6 the time in UTC to the 100 ns, for version 7 to the
 * millisecond; last the raw bytes as --hex prints them, so that both
 * readings of 32 hex digits are in view. The variant is named only in the
 * JSON form: this line's fields are as they were before it had a name.
 */
static int text_info(const char *value, char *out, const char **why) {
    struct info i;
    if (!read_info(value, &i, why)) return 0;
    char *end = out + sprintf(out, "%s", i.rfc);
    if (i.version < 0) {
        end += sprintf(end, " -");
    } else {
        end += sprintf(end, " %d", i.version);
    }
    if (i.time[0] != '\0') end += sprintf(end, " %s", i.time);
    *end++ = ' ';
    put_hex(i.raw, end);
    return 1;
}

/*
 * One JSON object on one line, every key always there:
 * {"text":..., "rfc":..., "variant":..., "version":N|null, "time":...|null,
 *  "unix_s":N|null, "ns":N|null, "raw":HEX, "bytes":HEX}
 * "raw" is the GUID record as --hex prints it, "bytes" network order as
 * --bytes prints it. No value needs escaping.
 */
static int text_info_json(const char *value, char *out, const char **why) {
    struct info i;
    if (!read_info(value, &i, why)) return 0;
    char *end = out + sprintf(out, "{\"text\":\"%s\",\"rfc\":\"%s\",\"variant\":\"%s\",", i.text,
                              i.rfc, i.variant);
    end += i.version < 0 ? sprintf(end, "\"version\":null,")
                         : sprintf(end, "\"version\":%d,", i.version);
    if (i.time[0] != '\0') {
        end += sprintf(end, "\"time\":\"%s\",\"unix_s\":%lld,\"ns\":%d,", i.time, i.unix_s, i.ns);
    } else {
        end += sprintf(end, "\"time\":null,\"unix_s\":null,\"ns\":null,");
    }
    end += sprintf(end, "\"raw\":\"");
    end = put_hex(i.raw, end);
    end += sprintf(end, "\",\"bytes\":\"");
    end = put_hex(i.bytes, end);
    strcpy(end, "\"}");
    return 1;
}

typedef int (*convert_fn)(const char *value, char *out, const char **why);

/* A result line, or nothing at all for an empty result (--check). */
static void put_result(const char *out) {
    if (out[0] != '\0') puts(out);
}

static int convert_one(convert_fn convert, const char *value) {
    char out[OUT_SIZE];
    const char *why = "";
    if (!convert(value, out, &why)) {
        value_error(0, why, value);
        return EXIT_BAD_INPUT;
    }
    put_result(out);
    return finish_output();
}

/*
 * Standard input, read in blocks with read(2) rather than through stdio, so
 * that the tool knows when it has used up what has arrived. Only then, just
 * before read() may wait for more, do the results so far go out: a program
 * that writes a line and waits for its answer gets it, and a stream that
 * arrives faster than it is converted is still written in large blocks.
 */
struct input {
    char data[1 << 16];
    size_t start, end; /* the bytes not yet taken */
    int at_end;        /* read() found the end of the input */
    int read_error;    /* errno of a failed read(), or 0 */
    int write_failed;  /* the results could not be written out */
};

/* Keeps the bytes not yet taken, writes the results out and reads more
 * behind those bytes. Returns 0 once nothing more can come. */
static int refill(struct input *in) {
    memmove(in->data, in->data + in->start, in->end - in->start);
    in->end -= in->start;
    in->start = 0;
    if (fflush(stdout) != 0) {
        in->write_failed = 1;
        return 0;
    }
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, in->data + in->end, sizeof in->data - in->end);
        if (got > 0) {
            in->end += (size_t)got;
            return 1;
        }
        if (got == 0) {
            in->at_end = 1;
            return 0;
        }
        if (errno == EINTR) continue;
        /* A non-blocking input that has nothing yet: wait for it. */
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            struct pollfd fd = {STDIN_FILENO, POLLIN, 0};
            if (poll(&fd, 1, -1) >= 0 || errno == EINTR) continue;
        }
        in->read_error = errno;
        return 0;
    }
}

/*
 * Takes one line of the input into `line` (`size` bytes), without its
 * newline. Returns 0 when no line is left (or reading or writing failed),
 * else 1, with *bad pointing at what is wrong with the line, or null. A
 * line is taken only up to its first fault: the run stops there anyway.
 */
static int read_line(struct input *in, char *line, size_t size, const char **bad) {
    const char *begin = in->data + in->start;
    const char *newline = memchr(begin, '\n', in->end - in->start);
    /* A line longer than `size` - 1 is bad before its end has come. */
    while (newline == NULL && in->end - in->start < size && !in->at_end) {
        const size_t seen = in->end - in->start;
        const int more = refill(in);
        begin = in->data + in->start; /* the bytes have moved, more or not */
        if (!more) break;
        newline = memchr(begin + seen, '\n', in->end - in->start - seen);
    }
    if (in->read_error != 0 || in->write_failed || in->start == in->end) return 0;
    const size_t length = newline != NULL ? (size_t)(newline - begin) : in->end - in->start;
    size_t n = length < size - 1 ? length : size - 1;
    const char *nul = memchr(begin, '\0', n);
    *bad = NULL;
    if (nul != NULL) {
        n = (size_t)(nul - begin);
        *bad = "NUL byte in line";
    } else if (length > size - 1) {
        *bad = "line too long";
    }
    memcpy(line, begin, n);
    line[n] = '\0';
    in->start += length + (newline != NULL);
    return 1;
}

/*
 * Converts standard input line by line. The longest value accepted anywhere
 * has 45 characters, so a longer line is bad before the rest of it is read.
 */
static int convert_lines(convert_fn convert) {
    static struct input in;
    char line[64];
    char out[OUT_SIZE];
    unsigned long long number = 0;
    const char *why = NULL;
    while (read_line(&in, line, sizeof line, &why)) {
        ++number;
        if (why == NULL && convert(line, out, &why)) {
            put_result(out);
            continue;
        }
        value_error(number, why, line);
        finish_output();
        return EXIT_BAD_INPUT;
    }
    if (in.read_error != 0) {
        fprintf(stderr, "varo-uuid: cannot read standard input: %s\n", strerror(in.read_error));
        finish_output();
        return EXIT_FAILURE;
    }
    return finish_output();
}

/* ---- Name-based identifiers -----------------------------------------------
 * `make` is varo_uuid_generate_v5_on_buf or _v3_on_buf; `ns` a canonical
 * namespace text. */

typedef int (*name_fn)(const char *, const void *, size_t, char *);

/* Writes the identifier of one name and its newline. 0, or -1 when it
 * could not be made or written. */
static int put_named(name_fn make, const char *ns, const char *name, size_t size) {
    char line[VARO_UUID_TEXT_SIZE];
    if (make(ns, name, size, line) != 0) {
        fputs("varo-uuid: no identifier could be made\n", stderr);
        return -1;
    }
    return put_made(line);
}

/*
 * Takes one whole line of the input, without its newline, into *line (a
 * buffer of *capacity bytes from malloc(), grown as the line needs), its
 * length into *length. Returns 0 when no line is left, or reading, writing
 * or memory failed (*length is then (size_t)-1 for no memory).
 */
static int read_whole_line(struct input *in, char **line, size_t *capacity, size_t *length) {
    *length = 0;
    for (;;) {
        const char *begin = in->data + in->start;
        const size_t ready = in->end - in->start;
        const char *newline = memchr(begin, '\n', ready);
        const size_t take = newline != NULL ? (size_t)(newline - begin) : ready;
        if (take >= *capacity - *length) {
            /* Twice what the line needs. A line for which that does not
             * fit a size_t (2 GB on a 32-bit host) is out of memory, rather
             * than a size that wraps to a small block. */
            if (*length >= SIZE_MAX / 2 || take >= SIZE_MAX / 2 - *length) {
                *length = (size_t)-1;
                return 0;
            }
            const size_t want = (*length + take + 1) * 2;
            char *grown = realloc(*line, want);
            if (grown == NULL) {
                *length = (size_t)-1;
                return 0;
            }
            *line = grown;
            *capacity = want;
        }
        memcpy(*line + *length, begin, take);
        *length += take;
        in->start += take + (newline != NULL);
        if (newline != NULL) return 1;
        /* After the end of the input, read() is not asked again: on a
         * terminal that would wait for another end-of-file. */
        if (in->at_end || !refill(in)) {
            return *length > 0 && in->read_error == 0 && !in->write_failed;
        }
    }
}

/*
 * The identifier of each line of standard input, a line at a time. A name
 * is every byte of its line but the newline, NULs and a carriage return
 * before the newline included; a last line without a newline is a name too.
 * A line may be as long as memory allows. Each result goes out before the
 * tool waits for more input, as for the conversions.
 */
static int named_lines(name_fn make, const char *ns) {
    static struct input in;
    char *line = NULL;
    size_t capacity = 0, length;
    int failed = 0, warned = 0;
    unsigned long long number = 0;
    while (!failed && read_whole_line(&in, &line, &capacity, &length)) {
        ++number;
        /* Hashed as it stands, but said once: the lines of a CRLF file give
         * other identifiers than the same names with LF line ends. */
        if (!warned && length > 0 && line[length - 1] == '\r') {
            fprintf(stderr,
                    "varo-uuid: line %llu: the name ends in a carriage return, which is part of "
                    "it (a CRLF file?)\n",
                    number);
            warned = 1;
        }
        failed = put_named(make, ns, line, length) != 0;
    }
    free(line);
    if (!failed && length == (size_t)-1) {
        fputs("varo-uuid: no memory for a line of standard input\n", stderr);
        failed = 1;
    }
    if (!failed && in.read_error != 0) {
        fprintf(stderr, "varo-uuid: cannot read standard input: %s\n", strerror(in.read_error));
        finish_output();
        return EXIT_FAILURE;
    }
    const int status = finish_output();
    return failed && status == EXIT_SUCCESS ? EXIT_FAILURE : status;
}

static int named(name_fn make, const char *ns_arg, const char *name) {
    char ns[VARO_UUID_TEXT_SIZE];
    if (varo_uuid_namespace_arg(ns_arg, ns) != 0) {
        value_error(0, "not a namespace (@dns, @url, @oid, @x500, an identifier text or an RFC form)",
                    ns_arg);
        return EXIT_BAD_INPUT;
    }
    if (strcmp(name, "-") == 0) return named_lines(make, ns);
    if (put_named(make, ns, name, strlen(name)) != 0) {
        finish_output();
        return EXIT_FAILURE;
    }
    return finish_output();
}

/* ---- The command line ----------------------------------------------------
 * getopt_long reads the options in any order and in the usual forms (-n 3,
 * -n3, --count 3, --count=3). Each option sets one field of a request; what
 * may go with what is checked once all are read. */

/* Options that have no short form. */
enum {
    OPT_CHECK = 256,
    OPT_HEX,
    OPT_FROM_HEX,
    OPT_RFC,
    OPT_FROM_RFC,
    OPT_INFO,
    OPT_BYTES,
    OPT_FROM_BYTES,
    OPT_JSON, /* not a conversion: how --info prints */
};

/* The conversion of each of those options, in their order from OPT_CHECK. */
static const convert_fn conversions[] = {
    check,       text_to_hex, hex_to_text,   text_to_rfc,
    rfc_to_text, text_info,   text_to_bytes, bytes_to_text,
};

/* The leading ':' makes a missing value come back as ':', apart from '?'. */
static const char short_options[] = ":761rhn:V5:3:";
static const struct option long_options[] = {
    {"count", required_argument, NULL, 'n'},
    {"help", no_argument, NULL, 'h'},
    {"version", no_argument, NULL, 'V'},
    {"check", required_argument, NULL, OPT_CHECK},
    {"hex", required_argument, NULL, OPT_HEX},
    {"from-hex", required_argument, NULL, OPT_FROM_HEX},
    {"rfc", required_argument, NULL, OPT_RFC},
    {"from-rfc", required_argument, NULL, OPT_FROM_RFC},
    {"info", required_argument, NULL, OPT_INFO},
    {"bytes", required_argument, NULL, OPT_BYTES},
    {"from-bytes", required_argument, NULL, OPT_FROM_BYTES},
    {"json", no_argument, NULL, OPT_JSON},
    {"as-rfc", no_argument, NULL, 'r'},
    {NULL, 0, NULL, 0},
};

enum action { MAKE, CONVERT, NAMED, HELP, VERSION };

/* What one command line asks for. */
struct request {
    enum action action;
    char action_option[16]; /* the option that chose the action; "" for MAKE */
    /* MAKE: -n and -7, -6 or -1, and the first of them given, for
     * messages; the version's option, for messages. */
    unsigned long long count; /* 0 until -n is given */
    int (*make)(char *);
    char make_option[16];
    char version_option[16];
    /* -r (MAKE and NAMED) and --json (--info), as given, or "". */
    char rfc_option[16];
    char json_option[16];
    /* CONVERT: the conversion and its value ("-": standard input). */
    convert_fn convert;
    const char *value;
    /* NAMED: the version's function; `value` is the namespace, and the one
     * operand the name. */
    name_fn named;
    /* The operands the action takes after the options, and where they
     * are. */
    int operands_wanted;
    char **operands;
};

/* The option as the user wrote it: "--name" or "-c". */
static void option_name(char *name, size_t size, int c, int long_index) {
    if (long_index >= 0) {
        snprintf(name, size, "--%s", long_options[long_index].name);
    } else {
        snprintf(name, size, "-%c", c);
    }
}

static int conflict(const char *option, const char *other) {
    fprintf(stderr, "varo-uuid: '%s' cannot go with '%s'\n", option, other);
    fputs("Try 'varo-uuid --help' for more information.\n", stderr);
    return EXIT_USAGE;
}

/*
 * The option that getopt_long just refused, as the user wrote it. A long
 * option is the whole element, which getopt_long has passed; a short one is
 * named alone, as it may sit in a cluster (-7x) that is not yet passed.
 */
static const char *refused_option(char **argv, int is_long, char *name, size_t size) {
    if (is_long) return argv[optind - 1];
    snprintf(name, size, "-%c", optopt);
    return name;
}

/* True for the value of one of our options, short or long. */
static int is_option_value(int c) {
    return c >= OPT_CHECK || (c != ':' && c > 0 && c < 256 && strchr(short_options, c) != NULL);
}

/* How many long options begin with `prefix` (up to any "=value"). */
static int long_prefix_matches(const char *prefix) {
    const size_t n = strcspn(prefix, "=");
    int matches = 0;
    for (const struct option *o = long_options; o->name != NULL; ++o) {
        matches += strncmp(o->name, prefix, n) == 0;
    }
    return matches;
}

/* Fills `req` from the command line: 0, or EXIT_USAGE after a message. */
static int parse_command_line(int argc, char **argv, struct request *req) {
    memset(req, 0, sizeof *req);
    req->action = MAKE;
    req->make = varo_uuid_generate_on_buf;
    opterr = 0; /* the messages below are ours */
    for (;;) {
        int long_index = -1;
        const int c = getopt_long(argc, argv, short_options, long_options, &long_index);
        if (c == -1) break;
        char name[16];
        if (c == ':') {
            /* A missing value ends its element, which is passed. */
            const int is_long = strncmp(argv[optind - 1], "--", 2) == 0;
            return usage_error("option needs a value",
                               refused_option(argv, is_long, name, sizeof name));
        }
        if (c == '?') {
            /* optopt is 0 for an unknown or ambiguous long option, the
             * option's own value for a long one given a value that it does
             * not take, and the character of an unknown short one. */
            if (optopt == 0) {
                const int ambiguous = long_prefix_matches(argv[optind - 1] + 2) > 1;
                return usage_error(ambiguous ? "ambiguous option" : "unknown option",
                                   argv[optind - 1]);
            }
            if (is_option_value(optopt)) {
                return usage_error("option takes no value", argv[optind - 1]);
            }
            return usage_error("unknown option", refused_option(argv, 0, name, sizeof name));
        }
        option_name(name, sizeof name, c, long_index);
        switch (c) {
            case 'r':
            case OPT_JSON: {
                char *given = c == 'r' ? req->rfc_option : req->json_option;
                if (given[0] != '\0') return usage_error("option given twice", name);
                strcpy(given, name);
                break;
            }
            case 'n':
            case '7':
            case '6':
            case '1':
                if (c == 'n' && req->count != 0) return usage_error("option given twice", name);
                if (c == 'n' && !parse_count(optarg, &req->count)) {
                    return usage_error("N must be a positive whole number", optarg);
                }
                if (c != 'n') {
                    if (req->version_option[0] != '\0') {
                        return strcmp(req->version_option, name) == 0
                                   ? usage_error("option given twice", name)
                                   : conflict(name, req->version_option);
                    }
                    strcpy(req->version_option, name);
                    req->make = c == '7'   ? varo_uuid_generate_v7_on_buf
                                : c == '6' ? varo_uuid_generate_v6_on_buf
                                           : varo_uuid_generate_v1_on_buf;
                }
                if (req->make_option[0] == '\0') strcpy(req->make_option, name);
                break;
            default: /* an action: help, version or a conversion */
                /* Of --help and --version the first wins, as in GNU tools. */
                if ((c == 'h' || c == 'V') && (req->action == HELP || req->action == VERSION)) {
                    break;
                }
                if (req->action != MAKE) return conflict(name, req->action_option);
                strcpy(req->action_option, name);
                if (c == 'h') {
                    req->action = HELP;
                } else if (c == 'V') {
                    req->action = VERSION;
                } else if (c == '5' || c == '3') {
                    req->action = NAMED;
                    req->named = c == '5' ? varo_uuid_generate_v5_on_buf
                                          : varo_uuid_generate_v3_on_buf;
                    req->value = optarg;
                    req->operands_wanted = 1;
                } else {
                    req->action = CONVERT;
                    req->convert = conversions[c - OPT_CHECK];
                    req->value = optarg;
                }
                break;
        }
    }
    if (req->action != MAKE && req->make_option[0] != '\0') {
        return conflict(req->make_option, req->action_option);
    }
    if (req->rfc_option[0] != '\0' && req->action != MAKE && req->action != NAMED) {
        return conflict(req->rfc_option, req->action_option);
    }
    if (req->json_option[0] != '\0') {
        if (req->action == MAKE) {
            return usage_error("option goes only with --info", req->json_option);
        }
        if (req->convert != text_info) return conflict(req->json_option, req->action_option);
        req->convert = text_info_json;
    }
    if (argc - optind > req->operands_wanted) {
        return usage_error("unexpected argument", argv[optind + req->operands_wanted]);
    }
    if (argc - optind < req->operands_wanted) return usage_error("too few arguments", NULL);
    req->operands = argv + optind;
    return 0;
}

/* "varo-uuid 1.3.0 (library 1.3.0)": this program's version, and that of
 * the library it runs with, read from the name of the library's file (the
 * two differ when the library was upgraded alone). */
static int print_version(void) {
    char library[32] = "unknown";
    Dl_info info;
    char *path = NULL;
    /* The cast: ISO C has no conversion from a function to a data pointer;
     * POSIX requires one for dladdr. */
    union {
        int (*function)(const char *);
        void *data;
    } symbol = {varo_uuid_is_valid};
    if (dladdr(symbol.data, &info) != 0 && info.dli_fname != NULL &&
        (path = realpath(info.dli_fname, NULL)) != NULL) {
        static const char prefix[] = "libvaro_uuid.so.";
        const char *base = strrchr(path, '/');
        base = base == NULL ? path : base + 1;
        if (strncmp(base, prefix, sizeof prefix - 1) == 0) {
            const char *digits = base + sizeof prefix - 1;
            const size_t n = strlen(digits);
            if (n > 0 && n < sizeof library && strspn(digits, "0123456789.") == n) {
                strcpy(library, digits);
            }
        }
    }
    free(path);
    printf("varo-uuid %d.%d.%d (library %s)\n", VARO_UUID_VERSION_MAJOR, VARO_UUID_VERSION_MINOR,
           VARO_UUID_VERSION_PATCH, library);
    return finish_output();
}

int main(int argc, char **argv) {
    struct request req;
    const int status = parse_command_line(argc, argv, &req);
    if (status != 0) return status;
    rfc_output = req.rfc_option[0] != '\0';
    switch (req.action) {
        case HELP:
            fputs(usage_text, stdout);
            fputs(usage_conversions, stdout);
            fputs(usage_notes, stdout);
            return finish_output();
        case VERSION:
            return print_version();
        case CONVERT:
            return strcmp(req.value, "-") == 0 ? convert_lines(req.convert)
                                               : convert_one(req.convert, req.value);
        case NAMED:
            return named(req.named, req.value, req.operands[0]);
        case MAKE:
            break;
    }
    return generate(req.count == 0 ? 1 : req.count, req.make);
}
