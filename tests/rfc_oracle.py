#!/usr/bin/env python3
"""The RFC form against Python's uuid module, on random bytes, through the
varo-uuid tool and so through the shipped library.

    rfc_oracle.py VARO_UUID_TOOL

Python is the independent reference here: the identifier text of 16 bytes is
their Base64 with '_' for '/', and their RFC form is
str(uuid.UUID(bytes_le=raw)), the GUID record's first three fields read
little-endian. Every accepted spelling of the RFC form must come back to the
same text. Standard library only.
"""
import base64
import os
import subprocess
import sys
import uuid


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
    texts = [base64.b64encode(r, altchars=b"+_").decode() for r in raws]
    uuids = [uuid.UUID(bytes_le=r) for r in raws]

    expect_equal("--rfc", run(tool, "--rfc", texts), [str(u) for u in uuids])
    expect_equal("--hex", run(tool, "--hex", texts), [r.hex() for r in raws])

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
