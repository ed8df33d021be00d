#!/usr/bin/env python3
"""Prints the benchmark targets as a table from Google Benchmark JSON files.

    report.py [--strict] [--machine FILE] RESULT.json...

Every figure is the median of the repetitions (run the programs with
--benchmark_repetitions=N --benchmark_report_aggregates_only=true). A time
is CPU time per call, except a whole short-lived thread's, which is wall-clock
time; a throughput is taken by CPU time, except the 2-thread rows, which are
items per wall-clock second summed over the threads.
Each ratio compares two benchmarks of the same run. With --strict the exit
status is 1 when a target is missed or a benchmark is missing.
Python 3 standard library only.
"""
import json
import sys

NS_PER = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load(paths):
    """Median entries by run name, from every file."""
    medians = {}
    for path in paths:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") == "median":
                medians[b["run_name"]] = b
            elif b.get("error_occurred"):
                print(f"error in {b.get('name')}: {b.get('error_message')}", file=sys.stderr)
    return medians


class Figures:
    def __init__(self, medians):
        self.m = medians

    def get(self, name):
        return self.m.get(name)

    def cpu_ns(self, name, clock="cpu_time"):
        b = self.get(name)
        return None if b is None else b[clock] * NS_PER[b.get("time_unit", "ns")]

    def real_ns(self, name):
        return self.cpu_ns(name, "real_time")

    def rate(self, name, key):
        b = self.get(name)
        return None if b is None else b.get(key)


def fmt_ns(v):
    return "n/a" if v is None else f"{v:,.1f} ns"


def fmt_items(v):
    return "n/a" if v is None else f"{v / 1e6:,.2f} M/s"


def fmt_bytes(v):
    return "n/a" if v is None else f"{v / 2**30:,.2f} GiB/s"


def ratio(a, b):
    return None if a is None or b is None or b == 0 else a / b


def main(argv):
    strict = False
    machine = None
    paths = []
    it = iter(argv)
    for arg in it:
        if arg == "--strict":
            strict = True
        elif arg == "--machine":
            machine = next(it)
        else:
            paths.append(arg)
    if not paths:
        print(__doc__, file=sys.stderr)
        return 2

    f = Figures(load(paths))
    rows = []  # (check, ours, peer, ratio, target text, passed or None)

    def time_row(check, ours, peer, limit, target, goal=None, clock=f.cpu_ns):
        a, b = clock(ours), clock(peer)
        r = ratio(a, b)
        passed = None if r is None else (r < limit if target.startswith("<") and not
                                         target.startswith("<=") else r <= limit)
        text = target + (f" (goal {goal})" if goal else "")
        rows.append((check, fmt_ns(a), fmt_ns(b), r, text, passed))

    def rate_row(check, ours, peer, key, fmt, limit, target):
        a, b = f.rate(ours, key), f.rate(peer, key)
        r = ratio(a, b)
        passed = None if (r is None or limit is None) else r >= limit
        rows.append((check, fmt(a), fmt(b), r, target, passed))

    time_row("generate_on_buf / vDSO getrandom(16)", "generate/on_buf",
             "generate/vdso_getrandom16", 1.3, "<= 1.3")
    time_row("generate_on_buf / getrandom(16)", "generate/on_buf", "generate/getrandom16",
             0.1, "<= 0.1")
    for n in (1, 8):
        time_row(f"thread life, {n} identifier{'s' if n > 1 else ''} / {n} getrandom(16) (wall)",
                 f"thread_life/ours/{n}/real_time", f"thread_life/getrandom16/{n}/real_time",
                 1.15, "<= 1.15", clock=f.real_ns)
    for source, n in (("vdso", 1), ("pool", 3)):
        time_row(f"thread life, {source} source, beside 1,000 live / beside none (wall)",
                 f"thread_life/beside/{source}/{n}/1000/real_time",
                 f"thread_life/beside/{source}/{n}/0/real_time", 1.3, "<= 1.3", clock=f.real_ns)
    time_row("generate_on_buf / libuuid generate+unparse", "generate/on_buf",
             "generate/libuuid_random_unparse", 1 / 30, "<= 1/30 = 0.033")
    rate_row("generation 2 threads / 1 thread (items/s)",
             "threads/on_buf/real_time/threads:2", "threads/on_buf/real_time/threads:1",
             "items_per_second", fmt_items, 1.8, ">= 1.8")
    # Version 7 (bench_api.cpp) and the inspection functions (bench_text.cpp).
    time_row("generate_v7_on_buf / generate_on_buf (version 4)", "generate/v7_on_buf",
             "generate/on_buf", 1.5, "<= 1.5")
    time_row("generate_v7_on_buf / clock_gettime + vDSO getrandom(16)", "generate/v7_on_buf",
             "generate/clock_vdso_getrandom16", 1.3, "<= 1.3")
    rate_row("version 7, 2 threads / 1 thread (items/s)",
             "threads/v7_on_buf/real_time/threads:2", "threads/v7_on_buf/real_time/threads:1",
             "items_per_second", fmt_items, 1.6, ">= 1.6")
    # Versions 6 and 1 (bench_api.cpp): the floor of version 7, which they
    # share the clock of.
    for v in (6, 1):
        time_row(f"generate_v{v}_on_buf / clock_gettime + vDSO getrandom(16)",
                 f"generate/v{v}_on_buf", "generate/clock_vdso_getrandom16", 1.3, "<= 1.3")
        rate_row(f"version {v}, 2 threads / 1 thread (items/s)",
                 f"threads/v{v}_on_buf/real_time/threads:2",
                 f"threads/v{v}_on_buf/real_time/threads:1", "items_per_second", fmt_items, 1.6,
                 ">= 1.6")
    time_row("to_rfc_bytes / to_raw", "text/to_rfc_bytes", "text/to_raw", 1.3, "<= 1.3")
    time_row("from_rfc_bytes / from_raw", "text/from_rfc_bytes", "text/from_raw", 1.3, "<= 1.3")
    time_row("order / to_raw", "text/order", "text/to_raw", 2.5, "<= 2.5")
    time_row("version / to_raw", "text/version", "text/to_raw", 1.3, "<= 1.3")
    time_row("time / to_raw", "text/time", "text/to_raw", 1.3, "<= 1.3")
    time_row("xdr_encode / bare libtirpc", "xdr_encode/ours", "xdr_encode/bare", 1.5, "<= 1.5")
    time_row("xdr_decode+free / bare libtirpc+malloc/free", "xdr_decode/ours_free",
             "xdr_decode/bare_malloc_free", 1.5, "<= 1.5")
    time_row("from_bytes / EVP_EncodeBlock(16)", "from_bytes/ours", "from_bytes/openssl", 1,
             "< 1")
    time_row("to_bytes / EVP_DecodeBlock(24)", "to_bytes/ours", "to_bytes/openssl", 1, "< 1")
    # The text interface (bench_text.cpp).
    time_row("is_valid / EVP_DecodeBlock(24)", "text/is_valid", "text/openssl_decode24", 1, "<= 1")
    time_row("to_raw / EVP_DecodeBlock(24)", "text/to_raw", "text/openssl_decode24", 1, "<= 1")
    time_row("to_rfc / libuuid uuid_unparse", "rfc/to_rfc", "rfc/libuuid_unparse", 1, "<= 1")
    time_row("from_rfc / libuuid uuid_parse", "rfc/from_rfc", "rfc/libuuid_parse", 1, "<= 1")

    # Name-based identifiers (bench_name.cpp), a 15-byte name in the DNS
    # namespace.
    time_row("generate_v5_on_buf / libuuid uuid_generate_sha1", "name/v5/15",
             "name/libuuid_sha1/15", 0.3, "<= 0.3")
    time_row("generate_v5_on_buf / nettle SHA-1 of the 31 bytes alone", "name/v5/15",
             "name/nettle_sha1/15", 1.3, "<= 1.3")

    # The C++ layer's value type (bench_cpp.cpp).
    time_row("uuid_value::generate / generate_on_buf (stack buffer)", "value_generate/ours",
             "value_generate/on_buf", 1.2, "<= 1.2")

    info = []  # the same layout, no target

    def info_time(check, ours, peer):
        a, b = f.cpu_ns(ours), f.cpu_ns(peer)
        info.append((check, fmt_ns(a), fmt_ns(b), ratio(a, b), "", None))

    def info_rate(check, ours, peer, key, fmt):
        a, b = f.rate(ours, key), f.rate(peer, key)
        info.append((check, fmt(a), fmt(b), ratio(a, b), "", None))

    info_time("generate_alloc+free / generate_on_buf", "generate/alloc_free", "generate/on_buf")
    info_time("find in 1,000,000 uuid_value / array<byte,16> keys, FNV-1a", "find/value",
              "find/bytes_fnv1a")
    info_time("find in 1,000,000 uuid_value / array<byte,16> keys, hash<string_view>",
              "find/value", "find/bytes_string_hash")
    info_time("find by text (uuid_hash, uuid_equal) / by value, same map",
              "find/transparent_text", "find/transparent_value")
    info_time("generate_v1_on_buf / libuuid uuid_generate_time+unparse", "generate/v1_on_buf",
              "generate/libuuid_time_unparse")
    info_time("generate_v3_on_buf / libuuid uuid_generate_md5", "name/v3/15",
              "name/libuuid_md5/15")
    info_time("generate_v3_on_buf / nettle MD5 of the 31 bytes alone", "name/v3/15",
              "name/nettle_md5/15")
    for n in (64, 1024):
        info_time(f"generate_v5_on_buf, {n}-byte name / nettle SHA-1 of {16 + n} bytes",
                  f"name/v5/{n}", f"name/nettle_sha1/{n}")
    info_time("nettle SHA-1 of 16 + 15 bytes in two updates / in one", "name/nettle_sha1_split/15",
              "name/nettle_sha1/15")
    for source in ("pool", "syscall"):
        info_time(f"generate_on_buf, {source} source / getrandom(16)",
                  f"generate/on_buf/{source}", "generate/getrandom16")
        for n in (1, 8):
            a = f.real_ns(f"thread_life/ours/{source}/{n}/real_time")
            b = f.real_ns(f"thread_life/getrandom16/sources/{n}/real_time")
            info.append((f"thread life, {n}, {source} source / {n} getrandom(16) (wall)",
                         fmt_ns(a), fmt_ns(b), ratio(a, b), "", None))
    info_time("getrandom(16) / libuuid generate+unparse", "generate/getrandom16",
              "generate/libuuid_random_unparse")
    info_rate("getrandom(16) 2 threads / 1 thread (items/s)",
              "threads/getrandom16/real_time/threads:2",
              "threads/getrandom16/real_time/threads:1", "items_per_second", fmt_items)
    info_rate("arithmetic loop 2 threads / 1 thread (items/s)",
              "threads/spin64/real_time/threads:2", "threads/spin64/real_time/threads:1",
              "items_per_second", fmt_items)
    gen2 = ratio(f.rate("threads/on_buf/real_time/threads:2", "items_per_second"),
                 f.rate("threads/on_buf/real_time/threads:1", "items_per_second"))
    spin2 = ratio(f.rate("threads/spin64/real_time/threads:2", "items_per_second"),
                  f.rate("threads/spin64/real_time/threads:1", "items_per_second"))
    info.append(("generation scaling / arithmetic loop scaling", "", "", ratio(gen2, spin2), "",
                 None))
    # CPU time per item hardly depends on how busy the machine is: when the
    # two threads do not slow each other down it stays flat, and two free
    # cores would give twice the items/s.
    cpu1 = f.cpu_ns("threads/on_buf/real_time/threads:1")
    cpu2 = f.cpu_ns("threads/on_buf/real_time/threads:2")
    cpu_scaling = None if cpu1 is None or cpu2 is None else 2 * cpu1 / cpu2
    info.append(("generation scaling by CPU time per item (2 free cores)", fmt_ns(cpu2),
                 fmt_ns(cpu1), cpu_scaling, "", None))

    cpu = None
    if machine:
        with open(machine, encoding="utf-8") as mf:
            text = mf.read().rstrip()
        print(text)
        print()
        cpu = next((ln.split(":", 1)[1].strip() for ln in text.splitlines()
                    if ln.startswith("CPU:")), None)

    header = ("check", "ours", "peer", "ratio", "target", "result")
    width = [max(len(header[i]), *(len(str(r[i])) for r in rows + info)) for i in (0, 1, 2)]
    width += [7, max(len("target"), *(len(r[4]) for r in rows)), 6]

    def line(cells):
        return "  ".join(
            str(c).ljust(width[i]) if i in (0, 4, 5) else str(c).rjust(width[i])
            for i, c in enumerate(cells)).rstrip()

    def cells(r):
        check, a, b, q, target, passed = r
        result = "" if not target else ("n/a" if passed is None else
                                        ("pass" if passed else "FAIL"))
        return (check, a, b, "n/a" if q is None else f"{q:.3f}", target, result)

    print(line(header))
    print(line(tuple("-" * w for w in width)))
    for r in rows:
        print(line(cells(r)))
    print()
    print("For information:")
    for r in info:
        print(line(cells(r)))

    missed = [r[0] for r in rows if r[5] is not True]
    print()
    print(f"{len(rows) - len(missed)} of {len(rows)} targets met" +
          (f" on {cpu}" if cpu else "") +
          (": missed " + "; ".join(missed) if missed else ""))
    if spin2 is not None and spin2 < 1.8:
        print(f"Note: a pure arithmetic loop scaled only {spin2:.2f}x from 1 to 2 threads, so "
              "this machine did not have two free cores during the run; the 2-thread target "
              "is not conclusive here. Rerun on a quiet machine.")
    print("Times are CPU time per call, except the thread-life rows (wall-clock time of a "
          "whole thread); throughputs by CPU time, except the 2-thread rows (wall-clock "
          "items/s summed over the threads). Medians of the repetitions.")
    return 1 if strict and missed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
