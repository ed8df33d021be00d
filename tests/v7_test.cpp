// Time-based generation, versions 7, 6 and 1 on one clock: the timestamp
// rules with the clocks driven through the test seam (frozen, stepped back,
// stepped forward, a millisecond used up), order across threads, across
// fork() and around signal handlers, the fresh bits beside the timestamp,
// and failure of the kernel source.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/fault.h"
#include "v7_clock_testing.h"
#include "varo_uuid.h"
#include "varo_uuid.hpp"

namespace {

namespace seam = varo::v7::testing;

struct Id {
    char c[VARO_UUID_TEXT_SIZE];
};

// A time-based layout and its generator.
struct Layout {
    int version;
    int (*on_buf)(char *) noexcept;
    char *(*alloc)() noexcept;
};
const Layout kLayouts[] = {{7, varo_uuid_generate_v7_on_buf, varo_uuid_generate_v7_alloc},
                           {6, varo_uuid_generate_v6_on_buf, varo_uuid_generate_v6_alloc},
                           {1, varo_uuid_generate_v1_on_buf, varo_uuid_generate_v1_alloc}};
void PrintTo(const Layout &layout, std::ostream *out) { *out << "version " << layout.version; }
std::string layout_name(const ::testing::TestParamInfo<Layout> &p) {
    return "v" + std::to_string(p.param.version);
}

Id make(const Layout &layout) {
    Id id{};
    EXPECT_EQ(layout.on_buf(id.c), 0);
    return id;
}

// RFC byte k of an identifier: the GUID record's first three fields are
// little-endian.
unsigned rfc_byte(const unsigned char *raw, int k) {
    constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    return raw[kOrder[k]];
}

// The whole timestamp of a text, in its layout's steps. Version 7: ticks of
// 2^-18 ms, the 48 bits of milliseconds, the 12 bits after the version and
// the low 6 bits of r8. Versions 6 and 1: steps of 1/32 of 100 ns since
// 1970, the 100 ns of varo_uuid_timestamp() and the top 5 bits of the clock
// sequence. Checks the version, and for 6 and 1 the node's multicast bit.
std::uint64_t stamp(const Id &id, int version) {
    unsigned char raw[VARO_UUID_RAW_SIZE];
    EXPECT_EQ(varo_uuid_to_raw(id.c, raw), 0);
    EXPECT_EQ(varo_uuid_version(id.c), version) << id.c;
    if (version == 7) {
        long long ms = -1;
        EXPECT_EQ(varo_uuid_time(id.c, &ms), 0);
        const unsigned rand_a = (raw[7] & 0x0Fu) << 8 | raw[6];
        return static_cast<std::uint64_t>(ms) << 18 | rand_a << 6 | (raw[8] & 0x3Fu);
    }
    EXPECT_EQ(rfc_byte(raw, 10) & 1u, 1u) << "multicast bit of the node: " << id.c;
    long long s = -1;
    int ns = -1;
    EXPECT_EQ(varo_uuid_timestamp(id.c, &s, &ns), 0);
    const auto counts = static_cast<std::uint64_t>(s) * 10000000 + static_cast<unsigned>(ns) / 100;
    return counts << 5 | (rfc_byte(raw, 8) >> 1 & 31u);
}

// The stamp that clock ticks of 2^-18 ms give in a layout: for 6 and 1 the
// tick in steps of 1/32 of 100 ns (320,000 a millisecond), rounded down.
std::uint64_t stamp_of_ticks(std::uint64_t ticks, int version) {
    if (version == 7) return ticks;
    return (ticks >> 18) * 320000 + (ticks & ((1u << 18) - 1)) * 320000 / (1u << 18);
}

// Whether b was made after a: in the RFC forms' order for 7 and 6, and in
// every layout in its timestamp (for version 1 the order of Cassandra's
// timeuuid: the count, then the clock sequence).
bool in_order(const Id &a, const Id &b, int version) {
    return stamp(a, version) < stamp(b, version) &&
           (version == 1 || varo_uuid_order(a.c, b.c) < 0);
}

constexpr std::int64_t kMs = 1000000, kSecond = 1000 * kMs, kDay = 86400 * kSecond;
constexpr std::int64_t kMono = 5000 * kSecond;   // since boot
constexpr std::int64_t kWallMs = 1780000000000;  // a millisecond of 2026
constexpr std::uint64_t kWallTicks = std::uint64_t{kWallMs} << 18;

// Fake clocks for each test, the system's after it.
class Clock : public ::testing::TestWithParam<Layout> {
  protected:
    void SetUp() override { set(0, 0); }
    void TearDown() override {
        seam::use_system_clocks();
        seam::reset();
    }
    // Monotonic and wall clock `mono` and `wall` ns after the start, and a
    // new process: the offset and this thread's last timestamp forgotten.
    static void start() {
        seam::reset();
        set(0, 0);
    }
    static void set(std::int64_t mono, std::int64_t wall) {
        seam::set_clocks(kMono + mono, kWallMs * kMs + wall);
    }
    static Id make() { return ::make(GetParam()); }
    static std::uint64_t ticks(const Id &id) { return stamp(id, GetParam().version); }
    static std::uint64_t at(std::uint64_t ticks) { return stamp_of_ticks(ticks, GetParam().version); }
};
INSTANTIATE_TEST_SUITE_P(TimeBased, Clock, ::testing::ValuesIn(kLayouts), layout_name);

TEST_P(Clock, FrozenClockCountsOnATickAtATime) {
    start();
    std::uint64_t expected = kWallTicks;
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(ticks(make()), at(expected++)) << i;
}

// At the time of RFC 9562's examples, 2022-02-22 19:22:22 UTC, each layout
// writes the fields of the RFC's own identifier of that time, from the
// clock alone: the count from 1582, its split into fields, the version.
TEST_P(Clock, TheRfcExampleTimeGivesTheRfcFields) {
    seam::reset();
    seam::set_clocks(kMono, 1645557742 * kSecond);
    const std::string prefix = GetParam().version == 7   ? "017f22e2-79b0-7000-"
                               : GetParam().version == 6 ? "1ec9414c-232a-6b00-"
                                                         : "c232ab00-9414-11ec-";
    char rfc[VARO_UUID_RFC_SIZE];
    ASSERT_EQ(varo_uuid_to_rfc(make().c, rfc), 0);
    EXPECT_EQ(std::string(rfc).substr(0, prefix.size()), prefix);
}

// The wall clock back by 10 s: the timestamps run on with the monotonic
// clock; forward by a day: they follow within a second (the next measure).
TEST_P(Clock, StepsOfTheWallClock) {
    start();
    const std::uint64_t first = ticks(make());
    EXPECT_EQ(first, at(kWallTicks));
    set(2 * kSecond, 2 * kSecond - 10 * kSecond);
    EXPECT_EQ(ticks(make()), at(kWallTicks + (2000u << 18)));
    set(2500 * kMs, 2500 * kMs + kDay);
    EXPECT_EQ(ticks(make()), at(kWallTicks + (2500u << 18))) << "measured before the deadline";
    set(3500 * kMs, 3500 * kMs + kDay);
    EXPECT_EQ(ticks(make()), at(kWallTicks + ((3500ull + 86400000ull) << 18)));
    // First use in a new process measures before the first timestamp, and
    // so does a thread that finds the first measure claimed by another
    // thread that has not stored the offset yet.
    start();
    set(0, kDay);
    EXPECT_EQ(ticks(make()), at(kWallTicks + (86400000ull << 18)));
    seam::forget_offset();
    set(kMs, kDay + kMs);
    EXPECT_EQ(ticks(make()), at(kWallTicks + (86400001ull << 18))) << "made without an offset";
}

// 2^18 timestamps fill a millisecond of a frozen clock; the next one moves
// into the next millisecond, and when the clock passes the timestamps they
// follow the clock again.
TEST_P(Clock, AUsedUpMillisecondCarriesIntoTheNext) {
    start();
    Id id{};
    for (int i = 0; i < (1 << 18); ++i) ASSERT_EQ(GetParam().on_buf(id.c), 0);
    EXPECT_EQ(ticks(id), at(kWallTicks + (1u << 18) - 1));
    const Id next = make();
    long long s = 0;
    int ns = 0;
    EXPECT_EQ(varo_uuid_timestamp(next.c, &s, &ns), 0);
    EXPECT_EQ(s * 1000 + ns / 1000000, kWallMs + 1);
    EXPECT_EQ(ticks(next), at(kWallTicks + (1u << 18)));
    EXPECT_EQ(ticks(make()), at(kWallTicks + (1u << 18) + 1));
    set(1500 * 1000, 1500 * 1000);
    EXPECT_EQ(ticks(make()), at(kWallTicks + (3u << 17)));
}

// Wall clocks where 32-bit counts of seconds end (2038-01-19T03:14:08Z for
// a signed one, 2106-02-07T06:28:16Z for an unsigned one): the identifiers
// read back with their time, on 32-bit hosts too. At the end of the ticks
// (past 3084-12-12T12:41:28.831Z) generation fails and writes nothing.
TEST_P(Clock, TimesPast32BitSecondsAndTheEndOfTheTicks) {
    constexpr std::int64_t kLastMs = (std::int64_t{1} << 45) - 1;
    const struct {
        std::int64_t s, ns;  // the wall clock
        long long ms;        // the time read back, or -1: generation fails
    } rows[] = {
        {2147483647, 999999999, 2147483647999},          // the last second of 32 bits
        {2147483648, 0, 2147483648000},                  // 2038-01-19T03:14:08Z
        {2208988800, 0, 2208988800000},                  // 2040-01-01
        {4294967296, 0, 4294967296000},                  // 2106-02-07T06:28:16Z
        {kLastMs / 1000, kLastMs % 1000 * kMs, kLastMs},  // the last millisecond
        {kLastMs / 1000, (kLastMs % 1000 + 1) * kMs, -1},
        {70368744177, 663 * kMs, -1},  // 4199-11-24, the end of 46 bits
        {INT64_MAX / 1000000000 * 1000, 0, -1},
    };
    for (const auto &row : rows) {
        seam::reset();
        seam::set_clocks(kMono, row.ns, row.s);
        Id id;
        std::memset(id.c, 'x', sizeof id.c);
        const int status = GetParam().on_buf(id.c);
        long long ms = -1, s = 0;
        int ns = 0;
        if (status == 0) {
            EXPECT_EQ(varo_uuid_timestamp(id.c, &s, &ns), 0);
            ms = s * 1000 + ns / 1000000;
        }
        EXPECT_EQ(ms, row.ms) << row.s << " s";
        if (row.ms >= 0) continue;
        EXPECT_EQ(status, -1);
        EXPECT_EQ(std::string(id.c, sizeof id.c), std::string(sizeof id.c, 'x'));
        EXPECT_EQ(GetParam().alloc(), nullptr);
    }
    // Frozen on the last tick before the end: one identifier there, then
    // failures, never a repeat.
    seam::reset();
    seam::set_clocks(kMono, kLastMs % 1000 * kMs + 999996, kLastMs / 1000);
    EXPECT_EQ(ticks(make()), at((std::uint64_t{1} << 63) - 2));
    char buf[VARO_UUID_TEXT_SIZE];
    EXPECT_EQ(GetParam().on_buf(buf), -1);
    EXPECT_EQ(GetParam().on_buf(buf), -1);
}

// Version 7 texts made by hand read back every millisecond of the 48 bits,
// the last one of 10889 too, and order by them.
TEST(TimeBased, HandMadeVersion7TextsReadBackEveryMillisecond) {
    constexpr std::int64_t kLastMs = (std::int64_t{1} << 45) - 1;
    const struct {
        const char *text;
        long long ms;
    } texts[] = {
        {"AAAAAAAAAHCAAAAAAAAAAA==", 0},
        {"AAD0AQAAAHCAAAAAAAAAAA==", 2147483648000},
        {"AADoAwAAAHCAAAAAAAAAAA==", 4294967296000},
        {"____H___AHCAAAAAAAAAAA==", kLastMs},
        {"________AHCAAAAAAAAAAA==", (1ll << 48) - 1},
    };
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        long long ms = -1;
        EXPECT_EQ(varo_uuid_time(texts[i].text, &ms), 0);
        EXPECT_EQ(ms, texts[i].ms) << texts[i].text;
        if (i > 0) {
            EXPECT_LT(varo_uuid_order(texts[i - 1].text, texts[i].text), 0);
        }
    }
}

// A forked child goes on from the state it inherited, as the parent does:
// with the clock frozen both make the same timestamps, and only the fresh
// random bits keep the identifiers apart: 56 of them, and every one of the
// 56 is seen to differ between a parent's and a child's identifier.
TEST_P(Clock, ForkedChildGoesOnInOrderAndNeverRepeatsTheParent) {
    start();
    const Id before = make();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    constexpr int kEach = 2000;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        for (int i = 0; i < kEach; ++i) {
            Id id{};
            if (GetParam().on_buf(id.c) != 0) _exit(2);
            if (write(fds[1], id.c, sizeof id.c) != sizeof id.c) _exit(3);
        }
        _exit(0);
    }
    close(fds[1]);
    std::vector<Id> parent(kEach), children(kEach);
    for (Id &id : parent) id = make();
    for (Id &id : children) ASSERT_EQ(read(fds[0], id.c, sizeof id.c), sizeof id.c);
    close(fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::set<std::string> all{before.c};
    std::uint64_t differ[2] = {0, 0};  // the bits seen to differ in a pair
    for (int i = 0; i < kEach; ++i) {
        EXPECT_EQ(ticks(children[i]), at(kWallTicks + 1 + i));
        EXPECT_EQ(ticks(parent[i]), ticks(children[i]));
        all.insert(parent[i].c);
        all.insert(children[i].c);
        unsigned char a[VARO_UUID_RAW_SIZE], b[VARO_UUID_RAW_SIZE];
        ASSERT_EQ(varo_uuid_to_raw(parent[i].c, a), 0);
        ASSERT_EQ(varo_uuid_to_raw(children[i].c, b), 0);
        for (int k = 0; k < VARO_UUID_RAW_SIZE; ++k) {
            differ[k / 8] |= std::uint64_t{static_cast<unsigned char>(a[k] ^ b[k])} << (k % 8 * 8);
        }
    }
    EXPECT_EQ(all.size(), 1u + 2 * kEach) << "an identifier repeated across fork()";
    EXPECT_EQ(std::popcount(differ[0]) + std::popcount(differ[1]), 56) << "fresh random bits";
}

// Signal handlers generating in the middle of the thread's generations,
// with the clock frozen so that only the thread's last timestamp orders
// them: every timestamp distinct; each handler's identifier after the
// thread's last finished one and before the one after the next.
constexpr int kHandled = 500;
Id g_handled_ids[kHandled];
int g_handled_after[kHandled];
volatile sig_atomic_t g_handled = 0, g_finished = -1;
int (*g_generate)(char *) noexcept = nullptr;

void generate_in_handler(int) {
    const int i = g_handled;
    if (i >= kHandled) return;
    g_handled_after[i] = g_finished;
    if (g_generate(g_handled_ids[i].c) == 0) g_handled = i + 1;
}

TEST_P(Clock, SignalHandlersInterruptingGenerationStayInOrder) {
    start();
    g_handled = 0;
    g_finished = -1;
    g_generate = GetParam().on_buf;
    std::vector<Id> outside(1000000);
    struct sigaction action {
    }, old{};
    action.sa_handler = generate_in_handler;
    ASSERT_EQ(sigaction(SIGALRM, &action, &old), 0);
    const itimerval every_50us{{0, 50}, {0, 50}}, stop{};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every_50us, nullptr), 0);
    int n = 0;
    while (g_handled < kHandled && n < static_cast<int>(outside.size())) {
        ASSERT_EQ(GetParam().on_buf(outside[n].c), 0);
        g_finished = n++;
    }
    setitimer(ITIMER_REAL, &stop, nullptr);
    action.sa_handler = SIG_IGN;
    sigaction(SIGALRM, &action, nullptr);
    sigaction(SIGALRM, &old, nullptr);
    ASSERT_GT(g_handled, 0);
    std::set<std::uint64_t> seen;
    for (int i = 0; i < n; ++i) {
        seen.insert(ticks(outside[i]));
        if (i > 0) {
            ASSERT_TRUE(in_order(outside[i - 1], outside[i], GetParam().version)) << i;
        }
    }
    for (int h = 0; h < g_handled; ++h) {
        const Id &id = g_handled_ids[h];
        seen.insert(ticks(id));
        const int after = g_handled_after[h];
        if (after >= 0) {
            EXPECT_TRUE(in_order(outside[after], id, GetParam().version)) << h;
        }
        if (after + 2 < n) {
            EXPECT_TRUE(in_order(id, outside[after + 2], GetParam().version)) << h;
        }
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(n + g_handled)) << "a timestamp repeated";
}

// Four threads on the system clock, each holding a mutex only around
// "generate, then append": the list is strictly increasing, though the
// generator itself takes no lock.
class SystemClock : public ::testing::TestWithParam<Layout> {};
INSTANTIATE_TEST_SUITE_P(TimeBased, SystemClock, ::testing::ValuesIn(kLayouts), layout_name);

TEST_P(SystemClock, ThreadsAppendingUnderAMutexGetAStrictlyIncreasingList) {
    const Layout layout = GetParam();
    constexpr int kThreads = 4, kEach = 50000;
    std::mutex m;
    std::vector<Id> list;
    list.reserve(kThreads * kEach);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) {
                const std::lock_guard<std::mutex> hold(m);
                list.emplace_back();
                if (layout.on_buf(list.back().c) != 0) list.pop_back();
            }
        });
    }
    for (auto &t : threads) t.join();
    ASSERT_EQ(list.size(), static_cast<std::size_t>(kThreads * kEach));
    for (std::size_t i = 1; i < list.size(); ++i) {
        ASSERT_TRUE(in_order(list[i - 1], list[i], layout.version)) << i;
    }
}

// When the kernel source fails, time-based generation fails (no identifier
// from the clock alone); parsing draws nothing and goes on working.
TEST(TimeBased, KernelSourceFailureFailsGenerationButNotParsing) {
    using varo::fault::Site;
    varo::fault::arm(Site::vdso_draw, 0, INT_MAX);
    varo::fault::arm(Site::entropy, 0, INT_MAX);
    std::thread([] {
        char buf[VARO_UUID_TEXT_SIZE];
        std::memset(buf, 'x', sizeof buf);
        for (const Layout &layout : kLayouts) {
            EXPECT_EQ(layout.on_buf(buf), -1) << layout.version;
            EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, 'x'));
        }
        for (auto alloc : {varo_uuid_generate_v7_alloc, varo_uuid_generate_v6_alloc,
                           varo_uuid_generate_v1_alloc}) {
            EXPECT_EQ(alloc(), nullptr);
        }
        EXPECT_EQ(varo::uuid::generate_v7().error, varo::uuid_errc::generate_failed);
        EXPECT_EQ(varo::uuid::generate().error, varo::uuid_errc::generate_failed);
        EXPECT_TRUE(varo::uuid::parse("AAECAwQFBgcICQoLDA0ODw=="));
        EXPECT_TRUE(varo::uuid::from_rfc("03020100-0504-0706-0809-0a0b0c0d0e0f"));
    }).join();
    varo::fault::disarm_all();
}

}  // namespace
