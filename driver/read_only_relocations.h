// The relocated pointers of a static program made read-only while it runs.
#ifndef TARNWICK_DRIVER_READ_ONLY_RELOCATIONS_H
#define TARNWICK_DRIVER_READ_ONLY_RELOCATIONS_H

// A dynamic program's loader write-protects its RELRO segment once the
// relocations are applied; the start-up of a static PIE on musl applies
// them and leaves the pages writable. Called first thing in main, this
// protects them as the loader would: a stray write through a corrupted
// pointer then faults rather than redirecting a function pointer. Nothing
// happens where the program has no such segment, and a refusal is ignored:
// the tool's answer does not depend on it.
void make_relocations_read_only();

#endif
