// 32-bit Windows only: the maker's library uses the standard calling
// convention (__stdcall), where the callee removes its own arguments. Every
// 32-bit build proves at compile time that the binding calls each entry so,
// whether or not its tests can run on the build machine.
#include <type_traits>

#include "contract/entry_names.h"

namespace kavr {
namespace {

template <typename Pointer>
struct IsStdcall : std::false_type {};
template <typename Result, typename... Arguments>
struct IsStdcall<Result(__stdcall*)(Arguments...)> : std::true_type {};

#define KAVR_EXPECT_STDCALL(name, ...)                       \
  static_assert(IsStdcall<EntryPointer<Entry::name>>::value, \
                "the binding must call _KAVRVB_" #name " as __stdcall");
KAVR_FOR_EACH_ENTRY(KAVR_EXPECT_STDCALL)
#undef KAVR_EXPECT_STDCALL

}  // namespace
}  // namespace kavr
