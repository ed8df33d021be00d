#!/usr/bin/env python3
"""The RFC form, the version, the variant and the time of version 7, and the
name-based identifiers (versions 5 and 3), against Python's uuid module and
hashlib, through the varo-uuid tool and so through the shipped library.

    rfc_oracle.py VARO_UUID_TOOL

Python is the independent reference here: the identifier text of 16 bytes is
their Base64 with '_' for '/', and their RFC form is
str(uuid.UUID(bytes_le=raw)), the GUID record's first three fields read
little-endian. Every accepted spelling of the RFC form must come back to the
same text; --info gives the version when the variant is RFC 9562's (else
"-"), for version 7 the time of unix_ts_ms, the first 48 bits of the RFC
form, for versions 1 and 6 the time of their 60-bit count of 100 ns since
1582-10-15 (read from Python's fields), and last the raw bytes in hex; its
JSON form the same with the variant, and the bytes in network order,
UUID.bytes. 16 bytes in network order (--from-bytes, --bytes) are
UUID(bytes=...): every byte value at every place. Python's uuid1() reads
back with its time to the 100 ns, and the tool's -6 and -1 read in Python
as versions 6 and 1 of now, with the node's multicast bit set. A name-based identifier is uuid5/uuid3
of a text name, and for names of any bytes (uuid5 takes only str) the SHA-1
or MD5 of the namespace's RFC bytes and the name, with the version and
variant set: names of every byte value, and of every length from 0 to 130
bytes, across the hash's 64-byte blocks with the 16-byte namespace in
front. Standard library only.
"""
import base64
import datetime
import hashlib
import json
import os
import random
import subprocess
import sys
import time
import uuid

EPOCH = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc)
GREGORIAN_TO_UNIX = 0x01B21DD213814000  # 100 ns from 1582-10-15 to 1970-01-01
VARIANTS = {uuid.RESERVED_NCS: "ncs", uuid.RFC_4122: "rfc9562",
            uuid.RESERVED_MICROSOFT: "microsoft", uuid.RESERVED_FUTURE: "future"}


def count_100ns(u):
    """The 60-bit count of a version 1 or 6 UUID: uuid's own .time for
    version 1 (and for 6 from Python 3.14), else version 6's fields, most
    significant first: time_high (32), time_mid (16), time_low (12)."""
    if u.version == 1 or sys.version_info >= (3, 14):
        return u.time
    return u.time_low << 28 | u.time_mid << 12 | u.time_hi_version & 0x0FFF


def when(u):
    """(ISO text, Unix seconds, ns) of a version 1, 6 or 7 UUID, else None."""
    if u.version == 7:
        ms = u.int >> 80
        t = EPOCH + datetime.timedelta(milliseconds=ms)
        return f"{t.strftime('%Y-%m-%dT%H:%M:%S')}.{ms % 1000:03d}Z", ms // 1000, ms % 1000 * 10**6
    if u.version in (1, 6):
        seconds, rest = divmod(count_100ns(u) - GREGORIAN_TO_UNIX, 10**7)
        t = EPOCH + datetime.timedelta(seconds=seconds)
        return f"{t.strftime('%Y-%m-%dT%H:%M:%S')}.{rest:07d}Z", seconds, rest * 100
    return None


def info(u):
    """The --info line of a UUID, from Python's reading of it: last the raw
    bytes, bytes_le, in hex."""
    raw = u.bytes_le.hex()
    if u.version is None:
        return f"{u} - {raw}"
    t = when(u)
    return f"{u} {u.version} {raw}" if t is None else f"{u} {u.version} {t[0]} {raw}"


def info_json(u):
    """The --info --json object of a UUID, from Python's reading of it."""
    t = when(u)
    return {"text": text_of(u), "rfc": str(u), "variant": VARIANTS[u.variant],
            "version": u.version, "time": t and t[0], "unix_s": t and t[1], "ns": t and t[2],
            "raw": u.bytes_le.hex(), "bytes": u.bytes.hex()}


def run(tool, option, values, *more):
    """The tool's output lines for the values, one a line on its input."""
    done = subprocess.run([tool, option, "-", *more], input="".join(v + "\n" for v in values),
                          capture_output=True, text=True, check=False)
    if done.returncode != 0:
        sys.exit(f"varo-uuid {option} - failed ({done.returncode}): {done.stderr}")
    return done.stdout.splitlines()


def name_based(namespace, name, version):
    """The version 5 or 3 identifier of bytes, by RFC 9562 (5.5, 5.3)."""
    digest = (hashlib.sha1 if version == 5 else hashlib.md5)(namespace.bytes + name).digest()
    b = bytearray(digest[:16])
    b[6] = b[6] & 0x0F | version << 4
    b[8] = b[8] & 0x3F | 0x80
    return uuid.UUID(bytes=bytes(b))


def text_of(u):
    """The identifier text of a UUID: Base64 of its GUID record, '_' for '/'."""
    return base64.b64encode(u.bytes_le, altchars=b"+_").decode()


def check_name_based(tool):
    """-5 and -3 of names of every byte value and length, in several
    namespaces and each spelling of one, against Python."""
    rng = random.Random(20)
    names = [bytes([v]) for v in range(256)]  # every byte value alone
    names += [bytes([v]) * 3 + bytes(range(v, v + 5)) for v in range(251)]
    names += [bytes(rng.randrange(256) for _ in range(n)) for n in range(131)]
    names += [b"x" * n for n in range(131)]
    text_names = ["www.example.com", "", "https://example.com/a?b=c", "caf\u00e9 \u2603",
                  "a\x00b", "trailing\r"]
    spaced = uuid.UUID(bytes=os.urandom(16))
    namespaces = [
        ("@dns", uuid.NAMESPACE_DNS), ("@url", uuid.NAMESPACE_URL),
        ("@oid", uuid.NAMESPACE_OID), ("@x500", uuid.NAMESPACE_X500),
        (text_of(spaced), spaced), (str(spaced), spaced), ("{" + str(spaced).upper() + "}", spaced),
        (spaced.urn, spaced), (spaced.hex, spaced),
    ]
    checked = 0
    for option, version, python in (("-5", 5, uuid.uuid5), ("-3", 3, uuid.uuid3)):
        for spelling, namespace in namespaces:
            # Through standard input, one a line: every name but those
            # holding a newline.
            lines = [n for n in names if b"\n" not in n]
            done = subprocess.run([tool, option, spelling, "-"],
                                  input=b"".join(n + b"\n" for n in lines),
                                  capture_output=True, check=False)
            if done.returncode != 0:
                sys.exit(f"varo-uuid {option} {spelling} - failed ({done.returncode}): "
                         f"{done.stderr!r}")
            want = [text_of(name_based(namespace, n, version)) for n in lines]
            expect_equal(f"{option} {spelling} -", done.stdout.decode().splitlines(), want)
            checked += len(lines)
            # Text names, their UTF-8, against uuid5/uuid3 itself.
            encoded = [t.encode() for t in text_names]
            done = subprocess.run([tool, option, spelling, "-"],
                                  input=b"".join(n + b"\n" for n in encoded),
                                  capture_output=True, check=True)
            expect_equal(f"{option} {spelling} - of text names", done.stdout.decode().splitlines(),
                         [text_of(python(namespace, t)) for t in text_names])
        # A name that holds a newline, on the command line.
        for name in (b"\n", b"a\nb", b"\n" * 70):
            got = subprocess.run([tool, option, "@url", "--", name], capture_output=True,
                                 check=True).stdout.decode().strip()
            want = text_of(name_based(uuid.NAMESPACE_URL, name, version))
            if got != want:
                sys.exit(f"{option} @url of {name!r}: got {got}, want {want}")
    return checked


def expect_equal(what, got, want):
    if len(got) != len(want):
        sys.exit(f"{what}: {len(got)} lines for {len(want)} values")
    for i, (g, w) in enumerate(zip(got, want)):
        if g != w:
            sys.exit(f"{what}: value {i + 1}: got {g!r}, want {w!r}")


def main(argv):
    tool = argv[1]
    raws = [bytes(16), b"\xff" * 16, bytes(range(16))]
    raws += [os.urandom(16) for _ in range(20000)]
    # Version 7 with the RFC variant, and every other version and variant,
    # more often than random bytes give them. The times stay below the year
    # 10000, as far as Python's datetime goes.
    for k in range(4000):
        r = bytearray(os.urandom(16))
        r[7] = (k % 16 if k % 2 else 7) << 4 | r[7] & 0x0F
        r[8] = (0x80 | r[8] & 0x3F) if k % 3 else r[8]
        r[3] &= 0x7F
        raws.append(bytes(r))
    # Versions 1 and 6 too, their 60-bit counts random (1582 to 5236, before
    # 1970 and far after), and the first and last 100 ns of each.
    for k in range(4000):
        r = bytearray(os.urandom(16))
        if k < 4:
            r[:8] = b"\x00" * 8 if k < 2 else b"\xff" * 8
        r[7] = (1 if k % 2 else 6) << 4 | r[7] & 0x0F
        r[8] = 0x80 | r[8] & 0x3F
        raws.append(bytes(r))
    raws = [r for r in raws if (uuid.UUID(bytes_le=r).int >> 80) < 253402300800000
            or uuid.UUID(bytes_le=r).version != 7]
    texts = [base64.b64encode(r, altchars=b"+_").decode() for r in raws]
    uuids = [uuid.UUID(bytes_le=r) for r in raws]

    expect_equal("--rfc", run(tool, "--rfc", texts), [str(u) for u in uuids])
    expect_equal("--hex", run(tool, "--hex", texts), [r.hex() for r in raws])
    expect_equal("--info", run(tool, "--info", texts), [info(u) for u in uuids])
    expect_equal("--info of RFC forms", run(tool, "--info", [str(u).upper() for u in uuids]),
                 [info(u) for u in uuids])
    expect_equal("--info --json", [json.loads(line) for line in run(tool, "--info", texts,
                                                                    "--json")],
                 [info_json(u) for u in uuids])
    expect_equal("--bytes", run(tool, "--bytes", texts), [u.bytes.hex() for u in uuids])

    # Network order: UUID(bytes=...) of every byte value at every place.
    nets = [bytes(16), b"\xff" * 16]
    for place in range(16):
        base = bytearray(os.urandom(16))
        for value in range(256):
            base[place] = value
            nets.append(bytes(base))
    made = run(tool, "--from-bytes", [b.hex() for b in nets])
    expect_equal("--from-bytes", made, [text_of(uuid.UUID(bytes=b)) for b in nets])
    expect_equal("--rfc of --from-bytes", run(tool, "--rfc", made),
                 [str(uuid.UUID(bytes=b)) for b in nets])

    # Python's uuid1(): the time, to the 100 ns, of its count.
    ones = [uuid.uuid1() for _ in range(1000)]
    expect_equal("--info of uuid1()", run(tool, "--info", [str(u) for u in ones]),
                 [info(u) for u in ones])

    # Identifiers made now: version 7, RFC variant, the time of the clock.
    before = time.time_ns() // 1000000
    made = subprocess.run([tool, "-7", "-n", "1000"], capture_output=True, text=True,
                          check=True).stdout.split()
    after = time.time_ns() // 1000000
    for text in made:
        u = uuid.UUID(bytes_le=base64.b64decode(text, altchars=b"+_"))
        if u.version != 7 or u.variant != uuid.RFC_4122 or not before <= u.int >> 80 <= after:
            sys.exit(f"-7: {text} ({u}): version {u.version}, variant {u.variant}, "
                     f"time {u.int >> 80} outside [{before}, {after}]")
    # Versions 6 and 1 made now: the count of the clock, the multicast bit.
    for version in (6, 1):
        before = time.time_ns() // 100 + GREGORIAN_TO_UNIX
        made = subprocess.run([tool, f"-{version}", "-n", "1000"], capture_output=True,
                              text=True, check=True).stdout.split()
        after = time.time_ns() // 100 + GREGORIAN_TO_UNIX
        for text in made:
            u = uuid.UUID(bytes_le=base64.b64decode(text, altchars=b"+_"))
            if (u.version != version or u.variant != uuid.RFC_4122 or u.node >> 40 & 1 != 1
                    or not before <= count_100ns(u) <= after):
                sys.exit(f"-{version}: {text} ({u}): version {u.version}, variant {u.variant}, "
                         f"node {u.node:012x}, count {count_100ns(u)} outside [{before}, "
                         f"{after}]")

    spellings = [
        lambda u: str(u), lambda u: str(u).upper(), lambda u: "{" + str(u) + "}",
        lambda u: "{" + str(u).upper() + "}", lambda u: u.urn, lambda u: u.urn.upper(),
        lambda u: u.hex, lambda u: u.hex.upper(),
    ]
    for k, spell in enumerate(spellings):
        forms = [spell(u) for u in uuids]
        expect_equal(f"--from-rfc, spelling {k} ({forms[2]})", run(tool, "--from-rfc", forms),
                     texts)
    named = check_name_based(tool)
    print(f"rfc_oracle: {len(raws)} values and {named} name-based identifiers agree with "
          "Python's uuid module and hashlib")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
