// The vDSO's dynamic symbol table, read as the dynamic loader would: its
// program headers give the dynamic section, which gives the symbol, string,
// hash and version tables.
#include "platform/random/vdso_symbol.h"

#include <elf.h>
#include <link.h>
#include <sys/auxv.h>

#include <cstdint>
#include <cstring>

namespace varo::platform {
namespace {

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

}  // namespace

void *vdso_symbol(const char *name, const char *version) noexcept {
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
    const ElfW(Half) wanted = versioned ? version_index(defs, strings, version) : 0;
    if (versioned && wanted == 0) return nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        const ElfW(Sym) &sym = symbols[i];
        // Some vDSOs (ppc64) mark their functions STT_NOTYPE.
        const unsigned type = ELF64_ST_TYPE(sym.st_info);
        if ((type != STT_FUNC && type != STT_NOTYPE) || sym.st_shndx == SHN_UNDEF) continue;
        const unsigned bind = ELF64_ST_BIND(sym.st_info);
        if (bind != STB_GLOBAL && bind != STB_WEAK) continue;
        if (std::strcmp(strings + sym.st_name, name) != 0) continue;
        if (versioned && (versions[i] & 0x7fff) != wanted) continue;
        return reinterpret_cast<void *>(load + sym.st_value);
    }
    return nullptr;
}

}  // namespace varo::platform
