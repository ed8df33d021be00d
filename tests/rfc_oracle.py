#!/usr/bin/env python3
"""The RFC form, the version, the variant and the time of version 7 against
Python's uuid module, on random bytes, through the varo-uuid tool and so
through the shipped library.

    rfc_oracle.py VARO_UUID_TOOL

Python is the independent reference here: the identifier text of 16 bytes is
their Base64 with '_' for '/', and their RFC form is
str(uuid.UUID(bytes_le=raw)), the GUID record's first three fields read
little-endian. Every accepted spelling of the RFC form must come back to the
same text; --info gives the version when the variant is RFC 9562's (else
"-"), for version 7 the time of unix_ts_ms, the first 48 bits of the RFC
form, and last the raw bytes in hex. Standard library only.
"""
import base64
import datetime
import os
import subprocess
import sys
import time
import uuid

EPOCH = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc)


def info(u):
    """The --info line of a UUID, from Python's reading of it: last the raw
    bytes, bytes_le, in hex."""
    raw = u.bytes_le.hex()
    if u.version is None:
        return f"{u} - {raw}"
    if u.version != 7:
        return f"{u} {u.version} {raw}"
    ms = u.int >> 80
    t = EPOCH + datetime.timedelta(milliseconds=ms)
    return f"{u} 7 {t.strftime('%Y-%m-%dT%H:%M:%S')}.{ms % 1000:03d}Z {raw}"


def run(tool, option, values):
    """The tool's output lines for the values, one a line on its input."""
    done = subprocess.run([tool, option, "-"], input="".join(v + "\n" for v in values),
                          capture_output=True, text=True, check=False)
    if done.returncode != 0:
        sys.exit(f"varo-uuid {option} - failed ({done.returncode}): {done.stderr}")
    return done.stdout.splitlines()


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
    raws = [r for r in raws if (uuid.UUID(bytes_le=r).int >> 80) < 253402300800000
            or uuid.UUID(bytes_le=r).version != 7]
    texts = [base64.b64encode(r, altchars=b"+_").decode() for r in raws]
    uuids = [uuid.UUID(bytes_le=r) for r in raws]

    expect_equal("--rfc", run(tool, "--rfc", texts), [str(u) for u in uuids])
    expect_equal("--hex", run(tool, "--hex", texts), [r.hex() for r in raws])
    expect_equal("--info", run(tool, "--info", texts), [info(u) for u in uuids])

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

    spellings = [
        lambda u: str(u), lambda u: str(u).upper(), lambda u: "{" + str(u) + "}",
        lambda u: "{" + str(u).upper() + "}", lambda u: u.urn, lambda u: u.urn.upper(),
        lambda u: u.hex, lambda u: u.hex.upper(),
    ]
    for k, spell in enumerate(spellings):
        forms = [spell(u) for u in uuids]
        expect_equal(f"--from-rfc, spelling {k} ({forms[2]})", run(tool, "--from-rfc", forms),
                     texts)
    print(f"rfc_oracle: {len(raws)} values agree with Python's uuid module")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
