// Only in builds with the C++ library's bounds assertions (the test
// builds): where a failed one ends. The library's own version of this
// function lives in its runtime and brings exceptions and RTTI along; this
// one needs only the C library, so the tool links without the C++ runtime in
// these builds too.
#include <cstdio>
#include <cstdlib>

// NOLINTBEGIN(cert-dcl58-cpp,bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
// The library's headers declare it, [[noreturn]] and all; the tool gives
// the definition.
namespace std {
void __glibcxx_assert_fail(const char* file, int line, const char* function,
                          const char* condition) noexcept {
  static_cast<void>(std::fprintf(stderr, "%s:%d: %s: Assertion '%s' failed.\n", file,
                                 line, function, condition));
  std::abort();
}
}  // namespace std
// NOLINTEND(cert-dcl58-cpp,bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
