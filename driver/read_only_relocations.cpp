// Write-protecting the RELRO segment of a static ELF program, from its own
// program headers.
#include "read_only_relocations.h"

#include <link.h>
#include <sys/auxv.h>
#include <sys/mman.h>

#include <cstdint>

// The linker places the program's ELF header at this symbol: the program
// headers follow from it, wherever the PIE was loaded.
extern "C" const ElfW(Ehdr) __ehdr_start;  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

void make_relocations_read_only() {
  const ElfW(Ehdr)* const header = &__ehdr_start;
  // Addresses as pointers into the program's own image, from its header.
  auto* const image = const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(header));
  const auto* const segments = reinterpret_cast<const ElfW(Phdr)*>(image + header->e_phoff);
  // The address the header was linked for: that of the segment that holds
  // it, the first, from offset 0.
  ElfW(Addr) linked_at = 0;
  for (int i = 0; i < header->e_phnum; ++i)
    if (segments[i].p_type == PT_LOAD && segments[i].p_offset == 0) {
      linked_at = segments[i].p_vaddr;
      break;
    }
  const std::uintptr_t page = getauxval(AT_PAGESZ);
  if (page == 0) return;
  const auto page_start = [page](unsigned char* at) {
    return at - (reinterpret_cast<std::uintptr_t>(at) & (page - 1));
  };
  for (int i = 0; i < header->e_phnum; ++i) {
    if (segments[i].p_type != PT_GNU_RELRO || segments[i].p_vaddr < linked_at) continue;
    // Whole pages, rounded down at both ends as a loader rounds them: the
    // linker pads the segment's end to a page boundary.
    unsigned char* const first = image + (segments[i].p_vaddr - linked_at);
    unsigned char* const start = page_start(first);
    unsigned char* const end = page_start(first + segments[i].p_memsz);
    if (end > start)
      static_cast<void>(mprotect(start, static_cast<std::size_t>(end - start), PROT_READ));
  }
}
