// The library's entries as C++ sees them: the enumeration, the names they
// are exported under and the pointer types, all from KAVR_FOR_EACH_ENTRY
// (kavr/entries.h). Shared by the binding (which looks them up), the
// stand-in library (which names them in its error texts and fault list) and
// the tests.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "contract/entries.h"

// Expands to Layer_Shape(Name, Record, Return, Parameters, Arguments) for
// one row of the list: a layer generated per entry defines one macro per
// shape, and expands KAVR_FOR_EACH_ENTRY(MyLayer) after
//   #define MyLayer(...) KAVR_ENTRY_BY_SHAPE(MyLayer, __VA_ARGS__)
// A shape the layer writes out by hand gets an empty macro, so that the
// entries that differ are named in one place per layer.
#define KAVR_ENTRY_BY_SHAPE(layer, name, shape, record, result, parameters, arguments) \
  layer##_##shape(name, record, result, parameters, arguments)

namespace kavr {

// Its enumerators are the entries' names as the maker spells them (GetState).
// NOLINTBEGIN(readability-identifier-naming)
enum class Entry : std::size_t {
#define KAVR_ENTRY_ENUMERATOR(name, ...) name,
  KAVR_FOR_EACH_ENTRY(KAVR_ENTRY_ENUMERATOR)
#undef KAVR_ENTRY_ENUMERATOR
};
// NOLINTEND(readability-identifier-naming)

inline constexpr std::size_t kEntryCount = 0
#define KAVR_ENTRY_COUNT(name, ...) +1
    KAVR_FOR_EACH_ENTRY(KAVR_ENTRY_COUNT)
#undef KAVR_ENTRY_COUNT
    ;

// Null-terminated, so each can go straight to the loader's look-up.
inline constexpr std::array<const char*, kEntryCount> kEntryNames = {
#define KAVR_ENTRY_NAME(name, ...) "_KAVRVB_" #name,
    KAVR_FOR_EACH_ENTRY(KAVR_ENTRY_NAME)
#undef KAVR_ENTRY_NAME
};

constexpr std::string_view EntryName(Entry entry) { return kEntryNames[static_cast<std::size_t>(entry)]; }

// The name without its "_KAVRVB_" prefix ("GetState"), as transcripts and
// fault lists write it.
constexpr std::string_view ShortEntryName(Entry entry) { return EntryName(entry).substr(8); }

// The pointer type of an entry, taken from its declaration in entries.h, so
// that the calling convention and the arguments cannot drift from it.
template <Entry>
struct EntryDeclaration;
#define KAVR_ENTRY_DECLARATION(name, ...)      \
  template <>                                  \
  struct EntryDeclaration<Entry::name> {       \
    using Pointer = decltype(&_KAVRVB_##name); \
  };
KAVR_FOR_EACH_ENTRY(KAVR_ENTRY_DECLARATION)
#undef KAVR_ENTRY_DECLARATION

template <Entry entry>
using EntryPointer = typename EntryDeclaration<entry>::Pointer;

}  // namespace kavr
