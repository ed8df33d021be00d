// Uniqueness of identifiers across threads, signal handlers, fork() and
// raw clone(), on each source of random bytes, and per-thread state that is
// reused when its thread exits.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dlfcn.h>
#include <sys/utsname.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <barrier>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#endif

#include "platform/fault.h"
#include "platform/random/slot_stack.h"
#include "platform/random/slots.h"
#include "platform/random/testing.h"
#include "varo_uuid.h"

namespace {

using varo::fault::Site;
using varo::platform::RandomSource;

using Ids = std::vector<std::string>;

bool under_valgrind() {
#if __has_include(<valgrind/valgrind.h>)
    return RUNNING_ON_VALGRIND;
#else
    return false;
#endif
}

Ids generate(int count) {
    Ids ids;
    ids.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        char buf[VARO_UUID_TEXT_SIZE];
        if (varo_uuid_generate_on_buf(buf) != 0) return {};
        ids.emplace_back(buf);
    }
    return ids;
}

void expect_all_distinct(const std::vector<Ids> &groups, std::size_t expected) {
    std::set<std::string> seen;
    for (const Ids &g : groups) {
        for (const std::string &id : g) EXPECT_TRUE(seen.insert(id).second) << "repeated " << id;
    }
    EXPECT_EQ(seen.size(), expected);
}

// Run with VARO_UUID_TEST_IGNORE_ADVICE set, the engine takes every advice
// to be accepted and not applied, as under qemu-user, from before its first
// draw: then neither the vDSO states nor the pool may be used.
const bool g_ignoring_advice = [] {
    if (std::getenv("VARO_UUID_TEST_IGNORE_ADVICE") == nullptr) return false;
    varo::platform::ignore_advice();
    return true;
}();

// Each test runs on each source of random bytes, forced through the fault
// seam, and fails if that source served none of its draws. Where the kernel
// does not apply MADV_WIPEONFORK the pool does not buffer: its row runs on
// the system call, and fails if the pool served any draw.
class Sources : public ::testing::TestWithParam<RandomSource> {
  protected:
    // The source that serves this row's draws.
    RandomSource source() const { return source_; }

    void SetUp() override {
        switch (GetParam()) {
            case RandomSource::vdso:
                if (g_ignoring_advice) {
                    // States that the kernel does not wipe on fork must not be used.
                    ASSERT_FALSE(varo::platform::vdso_getrandom_found())
                        << "vDSO states used where MADV_WIPEONFORK is not applied";
                    GTEST_SKIP() << "MADV_WIPEONFORK not applied: no vDSO state is used";
                }
                if (!varo::platform::vdso_getrandom_found()) {
                    GTEST_SKIP() << "no vDSO getrandom to use here";
                }
                break;
            case RandomSource::syscall:
                varo::fault::arm(Site::pool, 0, INT_MAX);
                [[fallthrough]];
            case RandomSource::pool:
                varo::fault::arm(Site::vdso, 0, INT_MAX);
                break;
        }
        const bool buffers = !g_ignoring_advice && varo::platform::pool_wiped_by_kernel();
        source_ = GetParam() == RandomSource::pool && !buffers ? RandomSource::syscall : GetParam();
        draws_ = varo::platform::random_draws(source_);
        pool_draws_ = varo::platform::random_draws(RandomSource::pool);
    }
    void TearDown() override {
        if (!IsSkipped()) {
            EXPECT_GT(varo::platform::random_draws(source_), draws_) << "source not used";
            if (source_ != GetParam()) {
                EXPECT_EQ(varo::platform::random_draws(RandomSource::pool), pool_draws_)
                    << "the pool buffered where the kernel does not wipe it on fork";
            }
        }
        varo::fault::disarm_all();
    }
    RandomSource source_ = RandomSource::syscall;
    long draws_ = 0, pool_draws_ = 0;
};

std::string source_name(const ::testing::TestParamInfo<RandomSource> &param) {
    const char *const names[] = {"vdso", "pool", "syscall"};
    return names[static_cast<int>(param.param)];
}

INSTANTIATE_TEST_SUITE_P(Concurrency, Sources,
                         ::testing::Values(RandomSource::vdso, RandomSource::pool,
                                           RandomSource::syscall),
                         source_name);

TEST_P(Sources, ThreadsGeneratingAtOnceNeverRepeat) {
    constexpr int kThreads = 4, kEach = 20000;
    std::vector<Ids> groups(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&groups, t] {
            // Half through each allocation path.
            for (int i = 0; i < kEach; ++i) {
                if (i % 2 == 0) {
                    groups[t].push_back(generate(1).at(0));
                } else {
                    char *id = varo_uuid_generate_alloc();
                    ASSERT_NE(id, nullptr);
                    groups[t].emplace_back(id);
                    varo_uuid_generate_free(id);
                }
            }
        });
    }
    for (auto &th : threads) th.join();
    expect_all_distinct(groups, kThreads * kEach);
}

// A kernel that returns short counts: every read is capped at 5 bytes, so
// a draw takes four calls and a pool refill up to 816. Every byte handed out
// must still be fresh: each of the 16 raw places varies across identifiers
// as random bits do (only the version's and variant's bits are fixed), and
// no two identifiers are the same.
TEST_P(Sources, ShortKernelReadsStillGiveFreshBytes) {
    constexpr int kCount = 1000;
    varo::platform::cap_syscall_length(5);
    const Ids ids = generate(kCount);
    varo::platform::cap_syscall_length(0);
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(kCount));
    expect_all_distinct({ids}, kCount);
    std::set<unsigned char> seen[VARO_UUID_RAW_SIZE];
    for (const std::string &id : ids) {
        unsigned char raw[VARO_UUID_RAW_SIZE];
        ASSERT_EQ(varo_uuid_to_raw(id.c_str(), raw), 0);
        for (int i = 0; i < VARO_UUID_RAW_SIZE; ++i) seen[i].insert(raw[i]);
    }
    for (int i = 0; i < VARO_UUID_RAW_SIZE; ++i) {
        // Byte 7 has four random bits, byte 8 six; 1000 draws show nearly all.
        const std::size_t values = i == 7 ? 16 : i == 8 ? 64 : 256;
        EXPECT_GE(seen[i].size(), values * 3 / 4) << "raw byte " << i << " is not fresh";
    }
}

// Writes `count` identifiers made in this process to `fd`, one a line.
void send_ids(int fd, int count) {
    std::string out;
    for (const std::string &id : generate(count)) out += id + '\n';
    const char *p = out.data();
    std::size_t left = out.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n <= 0) _exit(3);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

Ids read_ids(int fd) {
    std::string all;
    char buf[4096];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) all.append(buf, static_cast<std::size_t>(n));
    Ids ids;
    for (std::size_t start = 0, end; (end = all.find('\n', start)) != std::string::npos; start = end + 1) {
        ids.push_back(all.substr(start, end - start));
    }
    return ids;
}

int wait_for(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// What this thread holds of the source under test: its vDSO state or its
// pool page; null for none.
const void *slot_of_this_thread() {
    const void *state = varo::platform::vdso_state_of_this_thread();
    return state != nullptr ? state : varo::platform::pool_view().bytes;
}

// Draws until this thread holds a state or page of `source`, and returns
// it: past the pool's first draws, which take no page, and past draws that
// find another thread adding a page, which they leave to the system call
// (that thread may wait for a core, on a busy machine). Null after 20 s, or
// for the system call.
const void *hold_a_slot(RandomSource source) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (source != RandomSource::syscall && slot_of_this_thread() == nullptr &&
           std::chrono::steady_clock::now() < deadline) {
        generate(1);
        if (slot_of_this_thread() == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return slot_of_this_thread();
}

// Sends `count` identifiers. When `buffered`, true if this thread then
// holds a vDSO state or a pool page leased in this process; else true if
// none served them.
bool send_ids_on_a_lease(int fd, int count, bool buffered) {
    using varo::platform::random_draws;
    const long before = random_draws(RandomSource::vdso) + random_draws(RandomSource::pool);
    send_ids(fd, count);
    if (buffered) return slot_of_this_thread() != nullptr;
    return random_draws(RandomSource::vdso) + random_draws(RandomSource::pool) == before;
}

// A process made by `spawn` (fork, or clone without the fork handlers)
// must not hand out identifiers its parent's batch would also give: the
// parent has a part-used batch when the child starts. Where the source
// buffers, the thread that forked goes on with a state or page leased in
// the child (exit 5 if not).
void check_children_do_not_repeat(pid_t (*spawn)(), bool buffered) {
    constexpr int kEach = 300;
    const Ids before = generate(kEach);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = spawn();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        if (!send_ids_on_a_lease(fds[1], kEach, buffered)) _exit(5);
        // A grandchild, forked from the child after it used its own batch.
        const pid_t grandchild = fork();
        if (grandchild == 0) _exit(send_ids_on_a_lease(fds[1], kEach, buffered) ? 0 : 5);
        send_ids(fds[1], kEach);
        _exit(wait_for(grandchild) == 0 ? 0 : 4);
    }
    close(fds[1]);
    const Ids after = generate(kEach);
    const Ids from_children = read_ids(fds[0]);
    close(fds[0]);
    EXPECT_EQ(wait_for(child), 0);
    EXPECT_EQ(from_children.size(), 3u * kEach);
    expect_all_distinct({before, after, from_children}, 5u * kEach);
}

TEST_P(Sources, ForkedChildrenNeverRepeatTheParent) {
    check_children_do_not_repeat([] { return fork(); }, source() != RandomSource::syscall);
}

// In a child of fork(), every slot of the parent is free, the forking
// thread's too: its lease names a thread the child does not have. So the
// forking thread holds none before its next draw, and once a new thread of
// the child has taken the slot it held, it takes another rather than share
// it. Run in a child with one thread (ThreadSanitizer starts no thread
// after a fork of more), which takes a slot and forks: that slot is then in
// the ring that the grandchild's new threads search after the free stack.
// Returns 0, or 2: held its parent's slot; 3: no new thread took it; 4:
// went on using it.
int check_a_forked_thread_gives_up_its_slot(RandomSource from) {
    if (slot_of_this_thread() != nullptr) return 2;
    const void *held = hold_a_slot(from);
    const pid_t child = fork();
    if (child != 0) return child < 0 ? 1 : wait_for(child);
    if (slot_of_this_thread() != nullptr) _exit(2);
    std::atomic<int> holding{0};
    std::atomic<bool> found{false}, done{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 200 && !found; ++i) {
        threads.emplace_back([&] {
            found = found || hold_a_slot(from) == held;
            ++holding;
            while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        while (holding <= i) std::this_thread::yield();
    }
    generate(1);
    const bool shared = slot_of_this_thread() == held;
    done = true;
    for (auto &th : threads) th.join();
    _exit(!found ? 3 : shared ? 4 : 0);
}

TEST_P(Sources, ANewThreadOfAForkedChildTakesTheForkingThreadsSlotFromIt) {
    if (source() == RandomSource::syscall) GTEST_SKIP() << "no slot to take";
    generate(3);  // past the pool's first draws
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(check_a_forked_thread_gives_up_its_slot(source()));
    EXPECT_EQ(wait_for(child), 0)
        << "2: held its parent's slot; 3: no new thread took it; 4: went on using it";
}

// Where the kernel refuses wipe-on-fork for a page, nothing but that advice
// would keep a child from reusing it: the thread that took it does not
// buffer, and its children never repeat it.
TEST(Concurrency, WithoutWipeOnForkAThreadDoesNotBuffer) {
    varo::fault::arm(Site::vdso, 0, INT_MAX);
    varo::fault::arm(Site::wipe_on_fork);
    const long pool = varo::platform::random_draws(RandomSource::pool);
    std::thread([] { check_children_do_not_repeat([] { return fork(); }, false); }).join();
    EXPECT_EQ(varo::platform::random_draws(RandomSource::pool), pool);
    varo::fault::disarm_all();
}

#if !defined(__SANITIZE_THREAD__)
// ThreadSanitizer cannot follow a child made behind its back.
TEST_P(Sources, RawCloneChildrenNeverRepeatTheParent) {
    check_children_do_not_repeat([] {
#if defined(__s390__)
        // The s390 clone system call takes the stack before the flags.
        return static_cast<pid_t>(syscall(SYS_clone, nullptr, SIGCHLD, nullptr, nullptr, nullptr));
#else
        return static_cast<pid_t>(syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr));
#endif
    }, source() != RandomSource::syscall);
}
#endif

// Identifiers made by a signal handler, often in the middle of a
// generation on the same thread; and name-based ones, made there and by the
// thread it interrupts, which must come out as they do alone.
constexpr int kHandled = 500;
char g_from_handler[kHandled][VARO_UUID_TEXT_SIZE];
volatile sig_atomic_t g_handled = 0;
volatile sig_atomic_t g_named_wrong = 0;

bool named_as_alone(const char *name, const char *expected) {
    char id[VARO_UUID_TEXT_SIZE];
    return varo_uuid_generate_v5_on_buf(VARO_UUID_NAMESPACE_DNS, name, std::strlen(name), id) == 0 &&
           std::strcmp(id, expected) == 0;
}

void generate_in_handler(int) {
    const int i = g_handled;
    if (i < kHandled && varo_uuid_generate_on_buf(g_from_handler[i]) == 0) g_handled = i + 1;
    // RFC 9562's example: www.example.com in the DNS namespace.
    if (!named_as_alone("www.example.com", "fWXWLifpi1aV4SZlqK6mog==")) g_named_wrong = 1;
}

TEST_P(Sources, SignalHandlersInterruptingGenerationNeverRepeat) {
    g_handled = 0;
    g_named_wrong = 0;
    char example_org[VARO_UUID_TEXT_SIZE];
    ASSERT_EQ(varo_uuid_generate_v5_on_buf(VARO_UUID_NAMESPACE_DNS, "example.org", 11, example_org), 0);
    struct sigaction action {}, old {};
    action.sa_handler = generate_in_handler;
    ASSERT_EQ(sigaction(SIGALRM, &action, &old), 0);
    const itimerval every_100us{{0, 100}, {0, 100}}, stop{};
    ASSERT_EQ(setitimer(ITIMER_REAL, &every_100us, nullptr), 0);
    Ids outside;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (g_handled < kHandled && std::chrono::steady_clock::now() < deadline) {
        const Ids one = generate(1);
        ASSERT_EQ(one.size(), 1u);
        outside.push_back(one[0]);
        if (!named_as_alone("example.org", example_org)) g_named_wrong = 1;
    }
    setitimer(ITIMER_REAL, &stop, nullptr);
    // Ignoring the signal discards one still pending, which the default
    // action would otherwise turn into the end of the process.
    action.sa_handler = SIG_IGN;
    sigaction(SIGALRM, &action, nullptr);
    sigaction(SIGALRM, &old, nullptr);
    EXPECT_GT(g_handled, 0);
    EXPECT_EQ(g_named_wrong, 0) << "a name-based identifier changed under a signal handler";
    Ids inside(g_from_handler, g_from_handler + g_handled);
    expect_all_distinct({outside, inside}, outside.size() + inside.size());
}

// Thousands of short-lived threads, beside long-lived ones that hold their
// states or pages all along (a server's worker pool; 100 are more than one
// sweep step's worth): a new thread takes over the state or page of one
// that has exited rather than map another, so that the pages stay within
// what the threads alive at once need, plus one page. The long-lived
// threads keep theirs; every identifier made on a reused state or page is
// new (a page taken over must be emptied, not handed out from where its
// last thread stopped); no first draw, nor the search for a slot, changes
// errno; a thread started afterwards draws from its source's fast path;
// and the short-lived threads' slots come mostly from the ring of recent
// ones or the free stack, cheaply, not from sweeps.
TEST_P(Sources, ShortLivedThreadsReuseWhatTheyHeld) {
    using namespace varo::platform;
    constexpr int kEach = 5;
    const struct {
        int live, at_once, rounds;
    } rows[] = {{0, 8, 250}, {100, 64, 50}, {100, 1, 200}};
    // valgrind runs threads one at a time: a tenth of the churn there.
    const int share = under_valgrind() ? 10 : 1;
    for (auto row : rows) {
        SCOPED_TRACE(testing::Message() << row.live << " long-lived threads");
        row.rounds /= share;
        generate(3);  // this thread's own
        const long held[] = {vdso_states_in_use(), pool_pages_in_use()};
        const long mapped[] = {vdso_state_pages(), pool_pages()};
        std::atomic<int> kept{0}, errno_changed{0};
        std::atomic<bool> churned{false};
        std::barrier holding(row.live + 1);
        std::vector<std::thread> pool;
        for (int t = 0; t < row.live; ++t) {
            pool.emplace_back([&] {
                generate(kEach);
                const void *mine = hold_a_slot(source());
                holding.arrive_and_wait();
                while (!churned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                kept += (mine != nullptr || source() == RandomSource::syscall) &&
                        mine == slot_of_this_thread();
            });
        }
        holding.arrive_and_wait();
        const long origins[] = {slots_taken(SlotOrigin::stack), slots_taken(SlotOrigin::recent),
                                slots_taken(SlotOrigin::sweep), slots_taken(SlotOrigin::chunk)};
        // The first two rounds find the ring full of live holders' slots
        // and sweep past the long-lived threads; the cost per thread is
        // counted after them.
        constexpr int kWarmRounds = 2;
        long asked = 0;
        std::vector<Ids> made(static_cast<std::size_t>(row.at_once * row.rounds));
        for (int round = 0; round < row.rounds; ++round) {
            if (round == kWarmRounds) asked = holders_asked();
            std::vector<std::thread> threads;
            std::vector<pid_t> tids(static_cast<std::size_t>(row.at_once));
            for (int t = 0; t < row.at_once; ++t) {
                threads.emplace_back([&, t, i = round * row.at_once + t] {
                    tids[static_cast<std::size_t>(t)] = static_cast<pid_t>(syscall(SYS_gettid));
                    char buf[kEach][VARO_UUID_TEXT_SIZE];
                    errno = EDOM;
                    for (auto &id : buf) ASSERT_EQ(varo_uuid_generate_on_buf(id), 0);
                    errno_changed += errno != EDOM;
                    made[i].assign(buf, buf + kEach);
                });
            }
            for (auto &th : threads) th.join();
            // A joined thread's task may live on for a moment while the
            // kernel reaps it, and its slot is not free until it has gone.
            for (const pid_t tid : tids) {
                while (syscall(SYS_tgkill, getpid(), tid, 0) == 0) std::this_thread::yield();
            }
        }
        // Most short-lived threads find a slot in the ring or on the stack,
        // not by a sweep past the long-lived ones: the ring holds 32, and at
        // most half of a round's threads are alive at once beyond it.
        const auto taken = [&](SlotOrigin o) {
            return slots_taken(o) - origins[static_cast<int>(o)];
        };
        const long near = taken(SlotOrigin::stack) + taken(SlotOrigin::recent);
        const long far = taken(SlotOrigin::sweep) + taken(SlotOrigin::chunk);
        EXPECT_GE(near, far) << "slots from the ring or the stack, against sweeps and new chunks";
        // One at a time, each thread finds the last one's slot at the first
        // ring entry it tries: one holder asked about. Each live holder
        // asked about on the way costs a system call, dearer than the rest
        // of a first draw.
        if (row.at_once == 1) {
            EXPECT_LE(holders_asked() - asked, row.rounds - kWarmRounds + 2L)
                << "holders asked about";
        }
        // A thread started now is served as the first one was.
        const long served[] = {random_draws(RandomSource::vdso), random_draws(RandomSource::pool),
                               random_draws(RandomSource::syscall)};
        std::thread([] { generate(100); }).join();
        churned = true;
        for (auto &th : pool) th.join();
        const long late = random_draws(source()) - served[static_cast<int>(source())];
        EXPECT_EQ(late, source() == RandomSource::pool ? 98 : 100) << "the late thread's draws";
        EXPECT_EQ(kept, row.live) << "long-lived threads that kept their state or page";
        EXPECT_EQ(errno_changed, 0);
        expect_all_distinct(made, static_cast<std::size_t>(row.at_once * row.rounds * kEach));
        // A joined thread's id may outlive the join by a moment.
        for (int wait = 0;
             wait < 100 && vdso_states_in_use() + pool_pages_in_use() != held[0] + held[1]; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(vdso_states_in_use(), held[0]);
        EXPECT_EQ(pool_pages_in_use(), held[1]);
        // Pages are never unmapped: those of earlier tests stay.
        const long threads = row.live + row.at_once + 1;
        const long per_page = std::max(vdso_states_per_page(), 1L);
        EXPECT_LE(vdso_state_pages(),
                  std::max(mapped[0], (held[0] + threads + per_page - 1) / per_page + 1));
        EXPECT_LE(pool_pages(), std::max(mapped[1], held[1] + threads + 1));
    }
}

// The first identifier of a thread, made in a signal handler that
// interrupted malloc() in that thread, in a program that held 40 pthread
// keys before the library's first draw: nothing that draw does may allocate
// or wait on a lock (pthread_setspecific() allocates for a key past the
// 32nd). A child process runs the trials under a time limit, on the vDSO
// and the pool.
const bool g_forty_keys = [] {
    for (int k = 0; k < 40; ++k) {
        pthread_key_t key;
        if (pthread_key_create(&key, nullptr) != 0) return false;
    }
    return true;
}();
std::atomic<int> g_first_draws{0};
void first_draw_in_handler(int) {
    char id[3][VARO_UUID_TEXT_SIZE];
    bool ok = true;
    for (auto &buf : id) ok = ok && varo_uuid_generate_on_buf(buf) == 0;
    if (ok) g_first_draws.fetch_add(1);
}

TEST(Concurrency, AFirstDrawInASignalHandlerThatInterruptedMallocReturns) {
    // valgrind's malloc has no arena lock to wait on, and under it a thread
    // started in this child after earlier tests may never run.
    if (under_valgrind()) GTEST_SKIP() << "valgrind replaces malloc";
    for (const bool pool : {false, true}) {
        if (!pool && !varo::platform::vdso_getrandom_found()) continue;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            alarm(20);  // a hang ends the child
            if (!g_forty_keys) _exit(2);
            if (pool) varo::fault::arm(Site::vdso, 0, INT_MAX);
            signal(SIGUSR1, first_draw_in_handler);
            constexpr int kTrials = 5;
            for (int trial = 0; trial < kTrials; ++trial) {
                std::atomic<bool> running{false}, stop{false};
                std::thread busy([&] {
                    running = true;
                    while (!stop) {
                        void *volatile p = std::malloc(100000);
                        std::free(p);
                    }
                });
                while (!running) std::this_thread::yield();
                pthread_kill(busy.native_handle(), SIGUSR1);
                while (g_first_draws < trial + 1) std::this_thread::yield();
                stop = true;
                busy.join();
            }
            _exit(0);
        }
        EXPECT_EQ(wait_for(child), 0) << (pool ? "pool" : "vdso") << " (142: hung)";
    }
}

// The slot stack's change counter: a pop that reads the top (slot 1, with
// slot 2 below it) while another pop takes 1 and 2 and gives 1 back must
// not then make 2 the top, or 2 would be handed out twice. The race is
// made certain by a hook between the pop's read and its swap.
varo::platform::SlotStack<4, 1> g_stack;
std::vector<std::uint32_t> g_taken_in_race;
void race_in_pop() {
    varo::platform::on_slot_stack_race(nullptr);  // the pops below run plainly
    const std::uint32_t top = g_stack.pop();
    g_taken_in_race.push_back(g_stack.pop());
    g_stack.push(top);
}

TEST(Concurrency, ASlotTakenAndGivenBackDuringAPopIsNotHandedOutTwice) {
    alignas(8) static std::uint8_t slots[4 * 8];
    // Slot 0 is the caller's; 1, 2 and 3 lie on the stack, 1 on top.
    const std::uint32_t chunk = g_stack.reserve_chunk(0);
    g_stack.publish_chunk(chunk, slots, 4, 8);
    std::vector<std::uint32_t> handed_out = {chunk * 4};
    varo::platform::on_slot_stack_race(race_in_pop);
    for (std::uint32_t slot; (slot = g_stack.pop()) != g_stack.kNone;) handed_out.push_back(slot);
    varo::platform::on_slot_stack_race(nullptr);
    handed_out.insert(handed_out.end(), g_taken_in_race.begin(), g_taken_in_race.end());
    EXPECT_EQ(std::set<std::uint32_t>(handed_out.begin(), handed_out.end()).size(), 4u);
    EXPECT_EQ(handed_out.size(), 4u);
}

// A slot popped from the free stack lies unleased until its popper leases
// it, and a sweep that passes it meanwhile may take it: the popper must then
// not lease it too. A hook pauses the popper there: in the first round
// until this thread has swept, in the others for a moment while this thread
// takes a slot at once, so that its sweep comes before the pop, between the
// pop and the lease, or after. Each round has a table of two slots (its
// lease table a page that stays mapped): the first is this thread's, and
// the second, on the stack, goes to one of the two callers, never to both.
std::atomic<int> g_popper{0};  // 1: popped and paused; 2: go on
std::atomic<bool> g_pause_until_swept{false};
void pause_after_pop() {
    g_popper = 1;
    do {
        std::this_thread::yield();
    } while (g_pause_until_swept && g_popper != 2);
}

TEST(Concurrency, ASlotThatASweepTookAfterItsPopIsNotLeasedTwice) {
    namespace leases = varo::platform::leases;
    using Pair = varo::platform::Slots<2, 1>;
    alignas(8) static std::uint8_t memory[2][8];
    const int rounds = under_valgrind() ? 20 : 200;
    for (int round = 0; round < rounds; ++round) {
        const auto pair = std::make_unique<Pair>();
        if (!pair->map_leases()) {
            GTEST_SKIP() << "MADV_WIPEONFORK is not applied here: no lease table, and no slot "
                            "is used";
        }
        std::uint32_t chunk = Pair::kNone;
        ASSERT_EQ(pair->take(leases::make(), &chunk), Pair::kNone);
        ASSERT_EQ(pair->publish(chunk, memory[0], 2, 8, leases::make()), 0u);
        g_popper = 0;
        g_pause_until_swept = round == 0;
        varo::platform::on_slot_popped(pause_after_pop);
        std::uint32_t popped = 0;
        std::atomic<bool> taken{false};
        std::thread popper([&] {
            std::uint32_t none;
            popped = pair->take(leases::make(), &none);
            // Alive, and so holding what it took, until this thread has taken.
            while (!taken) std::this_thread::yield();
        });
        if (round == 0) {
            while (g_popper != 1) std::this_thread::yield();
            varo::platform::on_slot_popped(nullptr);
        }
        const std::uint32_t swept = pair->take(leases::make(), &chunk);
        g_popper = 2;
        taken = true;
        popper.join();
        varo::platform::on_slot_popped(nullptr);
        ASSERT_NE(popped, swept) << "round " << round << ": slot " << popped
                                 << " was leased to two live threads";
        ASSERT_EQ(std::min(popped, swept), 1u) << "round " << round << ": slot 1 was lost";
        if (round == 0) {
            EXPECT_EQ(swept, 1u) << "the sweep passed the popped slot by";
        }
    }
}

// The sweep for a slot whose holder has gone reaches it behind any number
// of live holders, long after the slot has left the ring of recent ones,
// never takes a live holder's slot, and adds no chunk while it could find
// one: `before` slots leased to this live thread, one to a thread that then
// exits, `after` more to this thread, filling whole chunks. In chunks of
// one slot (pool pages) and of 64 (vDSO states), where the exited slot lies
// chunks away from where the sweep stands, and a round must count slots,
// not chunks.
template <std::uint32_t kPerChunk, std::uint32_t kChunks>
void find_the_slot_of_an_exited_thread(std::uint32_t before, std::uint32_t after) {
    namespace leases = varo::platform::leases;
    const auto table = std::make_unique<varo::platform::Slots<kPerChunk, kChunks>>();
    auto &slots = *table;
    alignas(8) static std::uint8_t memory[kPerChunk * kChunks][8];
    if (!slots.map_leases()) {
        GTEST_SKIP() << "MADV_WIPEONFORK is not applied here: no lease table, and no slot is used";
    }
    std::set<std::uint32_t> taken;
    const auto take = [&](std::uint64_t lease) {
        std::uint32_t chunk = slots.kNone;
        std::uint32_t slot = slots.take(lease, &chunk);
        if (slot == slots.kNone) {
            ASSERT_LT(chunk, kChunks);
            slot = slots.publish(chunk, memory[chunk * kPerChunk], kPerChunk, 8, lease);
        }
        ASSERT_TRUE(taken.insert(slot).second) << "a live holder's slot " << slot << " was taken";
    };
    for (std::uint32_t i = 0; i < before; ++i) take(leases::make());
    std::atomic<bool> leave{false};
    std::atomic<std::uint64_t> lease{0};
    std::thread exiting([&] {
        lease = leases::make();
        while (!leave) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    while (lease == 0) std::this_thread::yield();
    take(lease);
    for (std::uint32_t i = 0; i < after; ++i) take(leases::make());
    leave = true;
    exiting.join();
    while (!leases::holder_gone(lease, getpid())) std::this_thread::yield();
    const std::uint32_t chunks = slots.chunks();
    ASSERT_EQ(chunks, (before + 1 + after) / kPerChunk);
    std::uint32_t chunk = slots.kNone;
    EXPECT_EQ(slots.take(leases::make(), &chunk), before);
    EXPECT_EQ(slots.chunks(), chunks) << "a chunk was added while an exited thread's slot was free";
}

TEST(Concurrency, TheSlotOfAnExitedThreadIsFoundBehindLiveOnes) {
    find_the_slot_of_an_exited_thread<1, 512>(200, 100);
    find_the_slot_of_an_exited_thread<64, 8>(200, 119);
}

// On a kernel with the vDSO getrandom, every draw goes through it: a new
// thread takes a state (keyed by the kernel, not by us) and makes no
// getrandom() system call of ours. The dynamic loader, which maps the vDSO
// too, says independently whether the kernel offers the function.
TEST(Concurrency, TheVdsoServesEveryDrawWhereTheKernelOffersIt) {
    const char *const exports[][2] = {{"__vdso_getrandom", "LINUX_2.6"},
                                      {"__kernel_getrandom", "LINUX_2.6.39"},
                                      {"__kernel_getrandom", "LINUX_2.6.29"},
                                      {"__kernel_getrandom", "LINUX_2.6.15"},
                                      {"__vdso_getrandom", "LINUX_5.10"}};
    void *vdso = dlopen("linux-vdso.so.1", RTLD_NOW | RTLD_NOLOAD);
    bool offered = false;
    for (const auto &e : exports) offered = offered || (vdso && dlvsym(vdso, e[0], e[1]));
    if (!offered) {
        utsname u{};
        uname(&u);
        GTEST_SKIP() << "the vDSO offers no getrandom here (Linux " << u.release << ", "
                     << u.machine << ")";
    }
    ASSERT_TRUE(varo::platform::vdso_getrandom_found());
    const long vdso_draws = varo::platform::random_draws(RandomSource::vdso);
    const long sys = varo::platform::random_draws(RandomSource::syscall);
    std::thread([] { generate(10000); }).join();
    EXPECT_EQ(varo::platform::random_draws(RandomSource::vdso) - vdso_draws, 10000);
    EXPECT_EQ(varo::platform::random_draws(RandomSource::syscall), sys);
}

// Threads alive at once hold distinct vDSO states, none of which crosses a
// page boundary. (Two threads sharing one would mostly go unseen by the
// uniqueness tests, since the vDSO then falls back to the system call.)
TEST(Concurrency, LiveThreadsHoldDistinctVdsoStates) {
    if (!varo::platform::vdso_getrandom_found()) GTEST_SKIP() << "the vDSO offers no getrandom";
    constexpr int kThreads = 40;  // more than one page of states
    const auto size = varo::platform::vdso_state_size();
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    std::vector<const void *> states(kThreads);
    std::barrier all_drawn(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            generate(1);
            states[t] = hold_a_slot(RandomSource::vdso);
            all_drawn.arrive_and_wait();  // no thread exits before all hold theirs
        });
    }
    for (auto &th : threads) th.join();
    EXPECT_EQ(std::set<const void *>(states.begin(), states.end()).size(),
              static_cast<std::size_t>(kThreads));
    for (const void *state : states) {
        ASSERT_NE(state, nullptr);
        const auto at = reinterpret_cast<std::uintptr_t>(state);
        EXPECT_EQ(at / page, (at + size - 1) / page) << "a state crosses a page boundary";
    }
}

// The pool hands each 16-byte chunk out once and wipes it: everything past
// the bytes still to hand out is zero. A thread's first two draws take no
// page, and its refills grow from 64 bytes.
TEST(Concurrency, ThePoolWipesEveryChunkItHandsOut) {
    if (!varo::platform::pool_wiped_by_kernel()) {
        GTEST_SKIP() << "MADV_WIPEONFORK is not applied here, and the pool does not buffer";
    }
    varo::fault::arm(Site::vdso, 0, INT_MAX);
    std::thread([] {
        const struct {
            int draws;
            long left;  // -1: no page yet
        } steps[] = {{1, -1}, {1, -1}, {1, 48}, {3, 0}, {1, 112}, {7, 0}, {1, 240}, {40, 112}};
        for (const auto &step : steps) {
            generate(step.draws);
            const varo::platform::PoolView view = varo::platform::pool_view();
            EXPECT_EQ(view.bytes == nullptr ? -1 : static_cast<long>(view.left), step.left);
            for (std::size_t i = view.left; i < view.size; ++i) {
                ASSERT_EQ(view.bytes[i], 0) << "byte " << i << " was handed out unwiped";
            }
        }
    }).join();
    varo::fault::disarm_all();
}

}  // namespace
