// What the C++ runtime would otherwise bring into Velnara.exe for errors the
// program never handles: exceptions. The program throws none and catches
// none (its libraries are compiled without them), so wherever the runtime
// would throw (a string past its greatest length, an allocation that fails)
// the program would end through std::terminate and abort. These take the
// runtime's place and end the program at once, which keeps the exception machinery,
// its type information, the unwinder and the runtime's exception texts
// (with the string instantiations they need) out of the program: some
// 80 KB of a program of 200.

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {
// Ends the program with status 3, as abort() would, but without the box
// that abort() of the system's C runtime shows a windowed program: an
// unattended run must never wait for a click.
[[noreturn]] void EndAtOnce() {
  std::_Exit(3);
}
}  // namespace

namespace __gnu_cxx {
// The runtime's default terminate handler prints the exception's type, for
// which it links a C++ name demangler of some 45 KB.
void __verbose_terminate_handler() {
  EndAtOnce();
}
}  // namespace __gnu_cxx

namespace std {
// What the standard library's headers call where a precondition fails.
[[noreturn]] void __throw_bad_alloc() {
  EndAtOnce();
}
[[noreturn]] void __throw_bad_array_new_length() {
  EndAtOnce();
}
[[noreturn]] void __throw_bad_function_call() {
  EndAtOnce();
}
[[noreturn]] void __throw_length_error(const char*) {
  EndAtOnce();
}
[[noreturn]] void __throw_logic_error(const char*) {
  EndAtOnce();
}
[[noreturn]] void __throw_out_of_range(const char*) {
  EndAtOnce();
}
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) {
  EndAtOnce();
}
[[noreturn]] void __throw_invalid_argument(const char*) {
  EndAtOnce();
}
}  // namespace std

// Allocation: an allocation that fails ends the program, as an uncaught
// std::bad_alloc would; the nothrow forms answer null, which the program
// checks where it uses them.
void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  EndAtOnce();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
