// Random bytes from the kernel's vDSO getrandom.
//
// The vDSO function runs ChaCha20 in user space with a key that the kernel
// hands it, in a state the caller provides:
//   ssize_t getrandom(void *buf, size_t len, unsigned flags,
//                     void *state, size_t state_len);
// Called as (null, 0, 0, &params, ~0UL) it describes the states it wants:
// their size and the mmap() protection and flags to map them with. The
// kernel maps them droppable, wiped on fork and left out of core dumps, and
// it re-keys a state whenever its own generation moves on: after a fork (the
// state reads as zero), after a VM snapshot is restored, and on reseeding.
//
// Each thread holds one state, taken from a process-wide stack and given
// back when the thread exits. States are mapped a page at a time, and a page
// is never unmapped: exited threads' states serve new threads.
#include <elf.h>
#include <link.h>
#include <pthread.h>
#include <sys/auxv.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/fault.h"
#include "platform/random.h"
#include "platform/slot_stack.h"

namespace varo::platform {
namespace {

using GetrandomFn = long (*)(void *buf, std::size_t len, unsigned flags, void *state,
                             std::size_t state_len);

// What the vDSO reports of its states.
struct StateParams {
    std::uint32_t size_of_opaque_state;
    std::uint32_t mmap_prot;
    std::uint32_t mmap_flags;
    std::uint32_t reserved[13];
};

// 64 states a page at most, 1024 pages: a process with more threads alive at
// once than that draws the extra threads' bytes by system call.
constexpr std::uint32_t kMaxStatesPerPage = 64;
using States = SlotStack<kMaxStatesPerPage, 1024>;
States g_states;

constexpr std::size_t kCacheLine = 64;

struct Vdso {
    GetrandomFn getrandom;
    std::size_t state_size;  // as the vDSO wants it passed
    std::uint32_t stride;    // state_size rounded up to a cache line
    std::uint32_t per_page;
    std::size_t page_size;
    int prot;
    int flags;
};
Vdso g_vdso;  // written once, in init(), before g_status says ready

enum Status : int { unknown, absent, ready };
std::atomic<int> g_status{unknown};
pthread_once_t g_once = PTHREAD_ONCE_INIT;
pthread_key_t g_key;

#if defined(VARO_UUID_FAULT_INJECTION)
std::atomic<long> g_in_use{0};
#endif

// This thread's state, or null. Its index in g_states is the thread's
// pthread key value, less one.
__attribute__((tls_model("initial-exec"))) thread_local void *t_state = nullptr;
// Set once this thread has given its state back or could not keep one: it
// then draws by system call.
__attribute__((tls_model("initial-exec"))) thread_local bool t_stateless = false;

// ---- Finding the function in the vDSO --------------------------------------

// The name and symbol version of the function in each architecture's vDSO.
struct Export {
    const char *name;
    const char *version;
};
#if defined(__x86_64__)
constexpr Export kGetrandom{"__vdso_getrandom", "LINUX_2.6"};
#elif defined(__aarch64__)
constexpr Export kGetrandom{"__kernel_getrandom", "LINUX_2.6.39"};
#elif defined(__s390x__)
constexpr Export kGetrandom{"__kernel_getrandom", "LINUX_2.6.29"};
#elif defined(__powerpc64__)
constexpr Export kGetrandom{"__kernel_getrandom", "LINUX_2.6.15"};
#elif defined(__loongarch64)
constexpr Export kGetrandom{"__vdso_getrandom", "LINUX_5.10"};
#else
constexpr Export kGetrandom{nullptr, nullptr};  // no vDSO getrandom here
#endif

// Number of entries in the dynamic symbol table, from the GNU hash table.
std::size_t gnu_hash_symbols(const std::uint32_t *table) noexcept {
    const std::uint32_t buckets = table[0], first = table[1], bloom_words = table[2];
    const std::uint32_t *bucket =
        table + 4 + bloom_words * (sizeof(ElfW(Addr)) / sizeof(std::uint32_t));
    const std::uint32_t *chain = bucket + buckets;
    std::uint32_t last = 0;
    for (std::uint32_t b = 0; b < buckets; ++b) last = bucket[b] > last ? bucket[b] : last;
    if (last < first) return first;
    while ((chain[last - first] & 1) == 0) ++last;  // the low bit ends a chain
    return last + 1;
}

// The index that the version definitions give `name`, or 0.
ElfW(Half) version_index(const ElfW(Verdef) *def, const char *strings, const char *name) noexcept {
    for (;;) {
        const auto *aux = reinterpret_cast<const ElfW(Verdaux) *>(
            reinterpret_cast<const char *>(def) + def->vd_aux);
        if ((def->vd_flags & VER_FLG_BASE) == 0 && std::strcmp(strings + aux->vda_name, name) == 0) {
            return def->vd_ndx;
        }
        if (def->vd_next == 0) return 0;
        def = reinterpret_cast<const ElfW(Verdef) *>(reinterpret_cast<const char *>(def) +
                                                      def->vd_next);
    }
}

// Looks kGetrandom up in the vDSO's dynamic symbol table.
GetrandomFn find_getrandom() noexcept {
    if (kGetrandom.name == nullptr) return nullptr;
    const auto base = static_cast<std::uintptr_t>(getauxval(AT_SYSINFO_EHDR));
    if (base == 0) return nullptr;
    const auto *ehdr = reinterpret_cast<const ElfW(Ehdr) *>(base);
    if (std::memcmp(ehdr->e_ident, ELFMAG, SELFMAG) != 0) return nullptr;
    const auto *phdr = reinterpret_cast<const ElfW(Phdr) *>(base + ehdr->e_phoff);
    std::uintptr_t load = 0;
    const ElfW(Dyn) *dyn = nullptr;
    bool loaded = false;
    for (int i = 0; i < ehdr->e_phnum; ++i) {
        if (phdr[i].p_type == PT_LOAD && !loaded) {
            load = base + phdr[i].p_offset - phdr[i].p_vaddr;
            loaded = true;
        } else if (phdr[i].p_type == PT_DYNAMIC) {
            dyn = reinterpret_cast<const ElfW(Dyn) *>(base + phdr[i].p_offset);
        }
    }
    if (!loaded || dyn == nullptr) return nullptr;

    const ElfW(Sym) *symbols = nullptr;
    const char *strings = nullptr;
    const std::uint32_t *hash = nullptr, *gnu_hash = nullptr;
    const ElfW(Versym) *versions = nullptr;
    const ElfW(Verdef) *defs = nullptr;
    for (; dyn->d_tag != DT_NULL; ++dyn) {
        const std::uintptr_t at = load + dyn->d_un.d_ptr;
        switch (dyn->d_tag) {
            case DT_SYMTAB: symbols = reinterpret_cast<const ElfW(Sym) *>(at); break;
            case DT_STRTAB: strings = reinterpret_cast<const char *>(at); break;
            case DT_HASH: hash = reinterpret_cast<const std::uint32_t *>(at); break;
            case DT_GNU_HASH: gnu_hash = reinterpret_cast<const std::uint32_t *>(at); break;
            case DT_VERSYM: versions = reinterpret_cast<const ElfW(Versym) *>(at); break;
            case DT_VERDEF: defs = reinterpret_cast<const ElfW(Verdef) *>(at); break;
            default: break;
        }
    }
    if (symbols == nullptr || strings == nullptr || (hash == nullptr && gnu_hash == nullptr)) {
        return nullptr;
    }
    const std::size_t count = hash != nullptr ? hash[1] : gnu_hash_symbols(gnu_hash);
    // Without both version tables the symbols are taken as unversioned.
    const bool versioned = versions != nullptr && defs != nullptr;
    const ElfW(Half) wanted = versioned ? version_index(defs, strings, kGetrandom.version) : 0;
    if (versioned && wanted == 0) return nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        const ElfW(Sym) &sym = symbols[i];
        // Some vDSOs (ppc64) mark their functions STT_NOTYPE.
        const unsigned type = ELF64_ST_TYPE(sym.st_info);
        if ((type != STT_FUNC && type != STT_NOTYPE) || sym.st_shndx == SHN_UNDEF) continue;
        const unsigned bind = ELF64_ST_BIND(sym.st_info);
        if (bind != STB_GLOBAL && bind != STB_WEAK) continue;
        if (std::strcmp(strings + sym.st_name, kGetrandom.name) != 0) continue;
        if (versioned && (versions[i] & 0x7fff) != wanted) continue;
        return reinterpret_cast<GetrandomFn>(load + sym.st_value);
    }
    return nullptr;
}

// ---- States ---------------------------------------------------------------

void give_back(void *token) noexcept {
    // Runs in the exiting thread. A later thread-exit handler that draws
    // goes to the system call rather than take a state nobody gives back.
    t_state = nullptr;
    t_stateless = true;
    g_states.push(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(token) - 1));
#if defined(VARO_UUID_FAULT_INJECTION)
    g_in_use.fetch_sub(1, std::memory_order_relaxed);
#endif
}

bool setup() noexcept {
    const GetrandomFn fn = find_getrandom();
    if (fn == nullptr) return false;
    StateParams params{};
    if (fn(nullptr, 0, 0, &params, ~std::size_t{0}) != 0) return false;
    const long page = sysconf(_SC_PAGESIZE);
    const std::size_t size = params.size_of_opaque_state;
    const std::size_t stride = (size + kCacheLine - 1) / kCacheLine * kCacheLine;
    if (size == 0 || page <= 0 || stride > static_cast<std::size_t>(page)) return false;
    if (pthread_key_create(&g_key, give_back) != 0) return false;
    const std::size_t per_page = static_cast<std::size_t>(page) / stride;
    g_vdso = Vdso{fn,
                  size,
                  static_cast<std::uint32_t>(stride),
                  static_cast<std::uint32_t>(per_page < kMaxStatesPerPage ? per_page : kMaxStatesPerPage),
                  static_cast<std::size_t>(page),
                  static_cast<int>(params.mmap_prot),
                  static_cast<int>(params.mmap_flags)};
    return true;
}

void init() noexcept { g_status.store(setup() ? ready : absent, std::memory_order_release); }

// Looks the vDSO up on first use, once, whichever thread comes first.
[[gnu::noinline]] bool look_up() noexcept {
    pthread_once(&g_once, init);
    return g_status.load(std::memory_order_acquire) == ready;
}

bool found() noexcept {
    const int status = g_status.load(std::memory_order_acquire);
    return status == ready || (status == unknown && look_up());
}

// A state for this thread: an exited thread's, or one of a new page.
void *take_state() noexcept {
    std::uint32_t state = g_states.pop();
    if (state == States::kNone) {
        // The protection and flags exactly as the vDSO asked for them.
        void *page = mmap(nullptr, g_vdso.page_size, g_vdso.prot, g_vdso.flags, -1, 0);
        if (page == MAP_FAILED) return nullptr;
        state = g_states.add_chunk(static_cast<std::uint8_t *>(page), g_vdso.per_page,
                                   g_vdso.stride);
        if (state == States::kNone) {
            munmap(page, g_vdso.page_size);
            return nullptr;
        }
    }
    if (pthread_setspecific(g_key, reinterpret_cast<void *>(std::uintptr_t{state} + 1)) != 0) {
        g_states.push(state);
        return nullptr;
    }
#if defined(VARO_UUID_FAULT_INJECTION)
    g_in_use.fetch_add(1, std::memory_order_relaxed);
#endif
    return g_states.address(state);
}


Draw draw_with(void *state, std::uint8_t *out) noexcept {
    if (fault::should_fail(fault::Site::vdso_draw)) return Draw::to_kernel;
    const long got = g_vdso.getrandom(out, kRandomDraw, 0, state, g_vdso.state_size);
    return got == static_cast<long>(kRandomDraw) ? Draw::done : Draw::to_kernel;
}

// The first draw of a thread: it takes a state.
[[gnu::noinline]] Draw first_draw(std::uint8_t *out) noexcept {
    if (t_stateless) return Draw::to_kernel;
    void *state = t_state = take_state();
    t_stateless = state == nullptr;
    return state != nullptr ? draw_with(state, out) : Draw::to_kernel;
}

}  // namespace

Draw vdso_random16(std::uint8_t *out) noexcept {
    if (!found()) return Draw::absent;
    void *state = t_state;
    if (state == nullptr) [[unlikely]] return first_draw(out);
    return draw_with(state, out);
}

#if defined(VARO_UUID_FAULT_INJECTION)
bool vdso_getrandom_found() noexcept { return found(); }
const void *vdso_state_of_this_thread() noexcept { return t_state; }
std::size_t vdso_state_size() noexcept { return found() ? g_vdso.state_size : 0; }
long vdso_states_in_use() noexcept { return g_in_use.load(); }
long vdso_state_pages() noexcept { return g_states.chunks(); }
#endif

}  // namespace varo::platform
