// Every failure path of the platform services: the GUID service, the kernel
// source behind it, the general and heap-handle allocators and malloc(),
// and the C++ layer's name for each failure.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "base64.h"
#include "identifier.h"
#include "platform/allocators.h"
#include "platform/allocators_testing.h"
#include "platform/fault.h"
#include "platform/random/testing.h"
#include "varo_uuid.h"
#include "varo_uuid.hpp"

namespace {

using varo::fault::Site;

class Faults : public ::testing::Test {
protected:
    void SetUp() override { live_ = varo::platform::allocator_live_blocks(); }
    void TearDown() override {
        varo::fault::disarm_all();
        EXPECT_EQ(varo::platform::allocator_live_blocks(), live_) << "a block was not given back";
    }
    long live_ = 0;
};

TEST_F(Faults, GenerationFailsCleanly) {
    for (Site site : {Site::guid, Site::kel_malloc}) {
        varo::fault::arm(site);
        EXPECT_EQ(varo_uuid_generate_alloc(), nullptr);
    }
    for (auto alloc : {varo_uuid_generate_v7_alloc, varo_uuid_generate_v6_alloc,
                       varo_uuid_generate_v1_alloc}) {
        varo::fault::arm(Site::kel_malloc);
        EXPECT_EQ(alloc(), nullptr);
    }
    char buf[VARO_UUID_TEXT_SIZE];
    std::memset(buf, 'x', sizeof buf);
    varo::fault::arm(Site::guid);
    EXPECT_EQ(varo_uuid_generate_on_buf(buf), -1);
    varo::fault::arm(Site::guid);
    EXPECT_EQ(varo_uuid_generate_to_buf(buf), -1);
    EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, 'x'));
    // Name-based: no memory for the block; and their caller's-area form
    // needs none, nor the GUID service.
    for (auto alloc : {varo_uuid_generate_v5_alloc, varo_uuid_generate_v3_alloc}) {
        varo::fault::arm(Site::kel_malloc);
        EXPECT_EQ(alloc(VARO_UUID_NAMESPACE_DNS, "x", 1), nullptr);
        // A refused namespace leaves no block behind.
        EXPECT_EQ(alloc("AAECAwQFBgcICQoLDA0ODx==", "x", 1), nullptr);
    }
    for (auto on_buf : {varo_uuid_generate_v5_on_buf, varo_uuid_generate_v3_on_buf}) {
        for (Site site : {Site::guid, Site::entropy, Site::kel_malloc, Site::runtime_malloc}) {
            varo::fault::arm(site, 0, 1000);
        }
        EXPECT_EQ(on_buf(VARO_UUID_NAMESPACE_DNS, "x", 1, buf), 0);
        varo::fault::disarm_all();
    }
    // The service recovers once the fault is gone.
    char *id = varo_uuid_generate_alloc();
    EXPECT_NE(id, nullptr);
    varo_uuid_generate_free(id);
}

// Whatever the source, a failed kernel read fails generation and never
// yields stale or zero bytes: a new thread's first draw (the vDSO made to
// fail too, or absent), and the pool's first refill, after two draws that
// go straight to the kernel.
TEST_F(Faults, KernelSourceFailureReachesTheCaller) {
    const struct {
        Site source;  // armed for good: what sends the draws to the kernel
        int good;     // kernel reads that succeed first
    } cases[] = {{Site::vdso_draw, 0}, {Site::vdso, 0}, {Site::vdso, 2}};
    for (const auto &c : cases) {
        varo::fault::arm(c.source, 0, 1000);
        varo::fault::arm(Site::entropy, c.good, 1000);
        std::thread([&] {
            char buf[VARO_UUID_TEXT_SIZE];
            for (int i = 0; i < c.good; ++i) EXPECT_EQ(varo_uuid_generate_on_buf(buf), 0);
            EXPECT_EQ(varo_uuid_generate_on_buf(buf), -1) << "after " << c.good;
            EXPECT_EQ(varo_uuid_generate_alloc(), nullptr);
        }).join();
        varo::fault::disarm_all();
    }
}

// A vDSO draw that does not give 16 bytes is served by the system call,
// never by the pool, whose bytes a VM snapshot could repeat: a draw failed
// before the vDSO is called, and results that the vDSO gave short or as an
// error. Each case runs in a new thread, all of whose draws fail so, past
// the two that a thread makes by system call before it takes a page.
TEST_F(Faults, AVdsoDrawThatFailsGoesToTheSystemCall) {
    if (!varo::platform::vdso_getrandom_found()) GTEST_SKIP() << "the vDSO offers no getrandom";
    using varo::platform::RandomSource;
    constexpr int kDraws = 8;
    const struct {
        bool before_call;  // the fault site; else the result rewritten
        long result;
    } cases[] = {{true, 0}, {false, 8}, {false, 15}, {false, 0}, {false, -1}, {false, -4}};
    for (const auto &c : cases) {
        if (c.before_call) {
            varo::fault::arm(Site::vdso_draw, 0, kDraws);
        } else {
            varo::platform::rewrite_vdso_results(c.result, kDraws);
        }
        const long vdso = varo::platform::random_draws(RandomSource::vdso);
        const long pool = varo::platform::random_draws(RandomSource::pool);
        const long by_syscall = varo::platform::random_draws(RandomSource::syscall);
        std::thread([] {
            char buf[VARO_UUID_TEXT_SIZE];
            EXPECT_EQ(varo_uuid_generate_on_buf(buf), 0);
            // The thread keeps the state it took: a failed draw is no
            // reason to take another.
            const void *state = varo::platform::vdso_state_of_this_thread();
            for (int i = 1; i < kDraws; ++i) EXPECT_EQ(varo_uuid_generate_on_buf(buf), 0);
            EXPECT_EQ(varo::platform::vdso_state_of_this_thread(), state);
        }).join();
        const char *what = c.before_call ? "failed before the call" : "rewritten";
        EXPECT_EQ(varo::platform::random_draws(RandomSource::syscall), by_syscall + kDraws)
            << what << ", result " << c.result;
        EXPECT_EQ(varo::platform::random_draws(RandomSource::pool), pool) << what;
        EXPECT_EQ(varo::platform::random_draws(RandomSource::vdso), vdso) << what;
        varo::platform::rewrite_vdso_results(0, 0);
        varo::fault::disarm_all();
    }
}

TEST_F(Faults, DecodeAndCloneWithoutMemoryLeaveANullIdentifier) {
    const char raw[16] = {};
    varo::fault::arm(Site::zonheap_malloc);
    varo_uuid_t got = reinterpret_cast<varo_uuid_t>(0x1);
    EXPECT_EQ(xdr_decode_varo_uuid_t(raw, 16, &got), -1);
    EXPECT_EQ(got, nullptr);

    varo_uuid_t src = const_cast<char *>("AAAAAAAAAAAAAAAAAAAAAA==");
    varo_uuid_t dst = reinterpret_cast<varo_uuid_t>(0x1);
    varo::fault::arm(Site::zonheap_malloc);
    EXPECT_FALSE(pxdr_clone_varo_uuid_t(&src, &dst, 4));
    EXPECT_EQ(dst, nullptr);
}

// The C++ layer names each failure by its cause: a parse or an RFC form
// that finds no memory is no_memory, not a failed generation.
TEST_F(Faults, TheCppLayerNamesEachFailure) {
    using varo::uuid;
    using varo::uuid_errc;
    const varo::uuid_bytes raw{};
    const uuid held = uuid::parse("AAECAwQFBgcICQoLDA0ODw==").value;
    ASSERT_FALSE(held.empty());
    const struct {
        const char *what;
        Site site;
        uuid_errc want;
        varo::uuid_result<uuid> (*call)(const uuid &held, const varo::uuid_bytes &raw);
    } cases[] = {
        {"generate", Site::guid, uuid_errc::generate_failed,
         [](const uuid &, const varo::uuid_bytes &) { return uuid::generate(); }},
        {"generate", Site::kel_malloc, uuid_errc::generate_failed,
         [](const uuid &, const varo::uuid_bytes &) { return uuid::generate(); }},
        {"generate_v7", Site::kel_malloc, uuid_errc::generate_failed,
         [](const uuid &, const varo::uuid_bytes &) { return uuid::generate_v7(); }},
        {"parse", Site::kel_malloc, uuid_errc::no_memory,
         [](const uuid &h, const varo::uuid_bytes &) { return uuid::parse(h.text()); }},
        {"from_rfc", Site::kel_malloc, uuid_errc::no_memory,
         [](const uuid &h, const varo::uuid_bytes &) {
             return uuid::from_rfc(h.to_rfc().value.view());
         }},
        {"v5", Site::kel_malloc, uuid_errc::no_memory,
         [](const uuid &h, const varo::uuid_bytes &) { return uuid::v5(h.text(), "name"); }},
        {"v3", Site::kel_malloc, uuid_errc::no_memory,
         [](const uuid &h, const varo::uuid_bytes &) { return uuid::v3(h.text(), "name"); }},
        {"decode", Site::zonheap_malloc, uuid_errc::no_memory,
         [](const uuid &, const varo::uuid_bytes &r) { return uuid::decode(r, 3); }},
        {"clone", Site::zonheap_malloc, uuid_errc::no_memory,
         [](const uuid &h, const varo::uuid_bytes &) { return h.clone(3); }},
    };
    for (const auto &c : cases) {
        varo::fault::arm(c.site);
        auto got = c.call(held, raw);
        varo::fault::disarm_all();
        EXPECT_EQ(got.error, c.want) << c.what;
        EXPECT_TRUE(got.value.empty()) << c.what;
        // Without the fault the same call succeeds.
        EXPECT_TRUE(c.call(held, raw)) << c.what;
    }
}

TEST_F(Faults, CodecWithoutMemoryReturnsNullWithTheLengthStored) {
    int len = -1;
    varo::fault::arm(Site::runtime_malloc);
    EXPECT_EQ(base64_encode_upper(reinterpret_cast<const unsigned char *>("abcd"), 4, nullptr, &len),
              nullptr);
    EXPECT_EQ(len, 8);
    len = -1;
    varo::fault::arm(Site::runtime_malloc);
    EXPECT_EQ(base64_decode_len("QUJDRA==", 0, nullptr, &len), nullptr);
    EXPECT_EQ(len, 4);
    // With a caller's area nothing is allocated, so nothing can fail.
    unsigned char area[4];
    varo::fault::arm(Site::runtime_malloc);
    EXPECT_EQ(base64_decode_len("QUJDRA==", 0, area, &len), area);
}

}  // namespace
