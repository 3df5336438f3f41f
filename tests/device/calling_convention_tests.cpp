// 32-bit Windows only: the maker's library uses the standard calling
// convention (__stdcall), where the callee removes its own arguments. A
// caller and a library that disagree corrupt the stack a little at every
// call, which an ordinary test does not notice; these do.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "contract/entry_names.h"
#include "contract/records.h"
#include "device/dynamic_controller_library.h"
#include "portable.h"

// That the binding calls every entry as __stdcall is checked where it is
// built (device/src/calling_convention_checks.cpp); this checks the library.

// Calls `entry` with `count` argument words pushed right to left onto a
// stack aligned as a compiler leaves it, and returns how many bytes of them
// the entry removed on return. Written in assembly so that no compiler
// decides what happens to the stack around the call.
extern "C" std::uint32_t kavr_bytes_removed_by(const void* entry, const std::uint32_t* words,
                                               std::uint32_t count);
asm(R"(
  .text
  .globl _kavr_bytes_removed_by
_kavr_bytes_removed_by:
  pushl %ebp
  movl %esp, %ebp
  pushl %ebx
  pushl %esi
  pushl %edi
  movl 8(%ebp), %ebx
  movl 12(%ebp), %edx
  movl 16(%ebp), %ecx
  movl %esp, %esi
  leal (,%ecx,4), %eax
  movl %esp, %edi
  subl %eax, %edi
  andl $-16, %edi
  addl %eax, %edi
  movl %edi, %esp
1:
  testl %ecx, %ecx
  jz 2f
  pushl -4(%edx,%ecx,4)
  decl %ecx
  jmp 1b
2:
  movl %esp, %edi
  call *%ebx
  movl %esp, %eax
  subl %edi, %eax
  movl %esi, %esp
  popl %edi
  popl %esi
  popl %ebx
  popl %ebp
  ret
)");

namespace {

std::uint32_t Word(const void* address) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address));
}

TEST(StdcallEntries, EveryEntryOfTheStandInRemovesItsOwnArgumentWords) {
  test_support::StandInScratch scratch;
  HMODULE library = LoadLibraryW((kavr::ExecutableFolder() / kavr::LibraryFileName()).c_str());
  ASSERT_NE(library, nullptr);

  std::int32_t count = 0;
  char versions[1001] = {}, serials[1001] = {}, error[1001] = {};
  float speed = 100.0f;
  // Room for any of the records.
  alignas(8) unsigned char record[128] = {};
  const std::uint32_t device = 0, destination = 0, capacity = 1000;

  // Each entry's arguments in the library's order; Init comes first, as the
  // program calls it before anything else.
  const std::pair<kavr::Entry, std::vector<std::uint32_t>> calls[] = {
      {kavr::Entry::Init, {Word(&count), Word(versions), capacity, Word(serials), capacity}},
      {kavr::Entry::GetState, {device, Word(record)}},
      {kavr::Entry::GetMode, {device, Word(record)}},
      {kavr::Entry::SetMode, {device, Word(record)}},
      {kavr::Entry::GetParameters, {device, Word(record)}},
      {kavr::Entry::SetParameters, {device, Word(record)}},
      {kavr::Entry::GetStartParameters, {device, Word(record)}},
      {kavr::Entry::Start, {device, destination, Word(&speed), Word(record)}},
      {kavr::Entry::Stop, {device}},
      {kavr::Entry::SaveParametersToFlash, {device}},
      {kavr::Entry::GetLastErr, {Word(error), capacity}},
  };
  static_assert(std::size(calls) == kavr::kEntryCount);
  for (const auto& [entry, words] : calls) {
    const auto address =
        reinterpret_cast<const void*>(GetProcAddress(library, kavr::EntryName(entry).data()));
    ASSERT_NE(address, nullptr) << kavr::EntryName(entry);
    EXPECT_EQ(kavr_bytes_removed_by(address, words.data(), static_cast<std::uint32_t>(words.size())),
              4 * words.size())
        << kavr::EntryName(entry);
  }
  FreeLibrary(library);
}

}  // namespace
