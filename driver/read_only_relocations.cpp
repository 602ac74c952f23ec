// Write-protecting the RELRO segment of a static ELF program, from its own
// program headers.
#include "read_only_relocations.h"

#include <link.h>
#include <sys/auxv.h>
#include <sys/mman.h>

#include <cstdint>

// The linker places the program's ELF header at this symbol: the program
// headers follow from it, wherever the PIE was loaded.
extern "C" const ElfW(Ehdr) __ehdr_start;  // NOLINT(bugprone-reserved-identifier)

void make_relocations_read_only() {
  const auto* const header = &__ehdr_start;
  const auto base = reinterpret_cast<std::uintptr_t>(header);
  const auto* const segments = reinterpret_cast<const ElfW(Phdr)*>(base + header->e_phoff);
  // The load bias: where the segment holding the ELF header (the first,
  // from offset 0) was put, against the address it was linked for.
  std::uintptr_t bias = base;
  for (int i = 0; i < header->e_phnum; ++i)
    if (segments[i].p_type == PT_LOAD && segments[i].p_offset == 0) {
      bias = base - segments[i].p_vaddr;
      break;
    }
  const std::uintptr_t page = getauxval(AT_PAGESZ);
  if (page == 0) return;
  for (int i = 0; i < header->e_phnum; ++i) {
    if (segments[i].p_type != PT_GNU_RELRO) continue;
    // Whole pages, rounded down at both ends as a loader rounds them: the
    // linker pads the segment's end to a page boundary.
    const std::uintptr_t start = (bias + segments[i].p_vaddr) & ~(page - 1);
    const std::uintptr_t end = (bias + segments[i].p_vaddr + segments[i].p_memsz) & ~(page - 1);
    if (end > start)
      static_cast<void>(mprotect(reinterpret_cast<void*>(start), end - start, PROT_READ));
  }
}
