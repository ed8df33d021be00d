// Finds a function in the vDSO that the kernel maps into every process.
#ifndef VARO_UUID_PLATFORM_RANDOM_VDSO_SYMBOL_H
#define VARO_UUID_PLATFORM_RANDOM_VDSO_SYMBOL_H

namespace varo::platform {

// The address of the function `name` at symbol version `version` in this
// process's vDSO (getauxval(AT_SYSINFO_EHDR)), or null when the vDSO is
// absent or has no such function. A vDSO without version tables matches by
// name alone. Reads only the vDSO's own image; allocates nothing.
void *vdso_symbol(const char *name, const char *version) noexcept;

}  // namespace varo::platform

#endif  // VARO_UUID_PLATFORM_RANDOM_VDSO_SYMBOL_H
