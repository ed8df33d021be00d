// Uniqueness of identifiers across threads, signal handlers, fork() and
// raw clone(), and per-thread state that goes away with its thread.
#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/fault.h"
#include "platform/guid.h"
#include "varo_uuid.h"

namespace {

using Ids = std::vector<std::string>;

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

TEST(Concurrency, ThreadsGeneratingAtOnceNeverRepeat) {
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

// A process made by `spawn` (fork, or clone without the fork handlers)
// must not hand out identifiers its parent's batch would also give: the
// parent has a part-used batch when the child starts.
void check_children_do_not_repeat(pid_t (*spawn)()) {
    constexpr int kEach = 300;
    const Ids before = generate(kEach);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = spawn();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        send_ids(fds[1], kEach);
        // A grandchild, forked from the child after it used its own batch.
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            send_ids(fds[1], kEach);
            _exit(0);
        }
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

TEST(Concurrency, ForkedChildrenNeverRepeatTheParent) {
    check_children_do_not_repeat([] { return fork(); });
}

// Where the kernel refuses wipe-on-fork, the fork handler alone must keep
// children from reusing the batch. A new thread gets a new page, made here
// without the advice.
TEST(Concurrency, ForkedChildrenNeverRepeatWithoutWipeOnFork) {
    varo::fault::arm(varo::fault::Site::wipe_on_fork);
    std::thread([] { check_children_do_not_repeat([] { return fork(); }); }).join();
    varo::fault::disarm_all();
}

#if !defined(__SANITIZE_THREAD__)
// ThreadSanitizer cannot follow a child made behind its back.
// A raw clone() runs no fork handlers; only the wiped pages keep the child
// from reusing its parent's batch.
TEST(Concurrency, RawCloneChildrenNeverRepeatTheParent) {
    check_children_do_not_repeat([] {
        return static_cast<pid_t>(syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr));
    });
}
#endif

// Identifiers made by a signal handler, often in the middle of a
// generation on the same thread.
constexpr int kHandled = 500;
char g_from_handler[kHandled][VARO_UUID_TEXT_SIZE];
volatile sig_atomic_t g_handled = 0;

void generate_in_handler(int) {
    const int i = g_handled;
    if (i < kHandled && varo_uuid_generate_on_buf(g_from_handler[i]) == 0) g_handled = i + 1;
}

TEST(Concurrency, SignalHandlersInterruptingGenerationNeverRepeat) {
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
    }
    setitimer(ITIMER_REAL, &stop, nullptr);
    // Ignoring the signal discards one still pending, which the default
    // action would otherwise turn into the end of the process.
    action.sa_handler = SIG_IGN;
    sigaction(SIGALRM, &action, nullptr);
    sigaction(SIGALRM, &old, nullptr);
    EXPECT_GT(g_handled, 0);
    Ids inside(g_from_handler, g_from_handler + g_handled);
    expect_all_distinct({outside, inside}, outside.size() + inside.size());
}

TEST(Concurrency, ThreadsThatExitLeaveNothingBehind) {
    generate(1);  // this thread's own pool
    const long before = varo::platform::guid_live_pools();
    for (int round = 0; round < 10; ++round) {
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) threads.emplace_back([] { generate(3); });
        for (auto &th : threads) th.join();
    }
    EXPECT_EQ(varo::platform::guid_live_pools(), before);
}

}  // namespace
