#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <new>

#include "kavr/records.h"

namespace {

template <typename Record>
class RecordTest : public ::testing::Test {};

using Records = ::testing::Types<KAVR_State, KAVR_Mode, KAVR_Parameters, KAVR_StartParameters>;
TYPED_TEST_SUITE(RecordTest, Records);

// Created over memory full of leftovers, as a record on a reused stack slot
// would be: every byte, the not-read slots and alignment bytes included,
// must come out zero.
TYPED_TEST(RecordTest, IsZeroFilledWhenCreated) {
  alignas(TypeParam) std::array<unsigned char, sizeof(TypeParam)> storage;
  storage.fill(0xAB);
  auto* record = new (storage.data()) TypeParam;
  std::array<unsigned char, sizeof(TypeParam)> bytes;
  std::memcpy(bytes.data(), record, sizeof(TypeParam));
  record->~TypeParam();
  for (std::size_t offset = 0; offset < bytes.size(); ++offset) {
    EXPECT_EQ(bytes[offset], 0) << "byte " << offset;
  }
}

// What the library left in the not-read slots must survive the program's
// copies on its way back to the library.
TYPED_TEST(RecordTest, CopyingKeepsEveryByte) {
  std::array<unsigned char, sizeof(TypeParam)> pattern;
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<unsigned char>(0x5A ^ (i * 37));
  TypeParam original;
  std::memcpy(&original, pattern.data(), sizeof(TypeParam));

  TypeParam constructed(original);
  TypeParam assigned;
  assigned = original;

  EXPECT_EQ(std::memcmp(&constructed, pattern.data(), sizeof(TypeParam)), 0);
  EXPECT_EQ(std::memcmp(&assigned, pattern.data(), sizeof(TypeParam)), 0);
}

TEST(Flag, AnyNonzeroValueReadsAsTrue) {
  for (kavr::Flag value : {1, -1, 255, 0x10000, static_cast<kavr::Flag>(0x80000000u)}) {
    EXPECT_TRUE(kavr::IsSet(value)) << value;
  }
  EXPECT_FALSE(kavr::IsSet(0));
}

TEST(Flag, WritesExactlyOneOrZero) {
  KAVR_Mode mode;
  std::memset(&mode.PowerOff, 0xFF, sizeof(mode.PowerOff));
  mode.PowerOff = kavr::ToFlag(true);
  const std::array<unsigned char, 4> one = {1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(&mode.PowerOff, one.data(), one.size()), 0);

  std::memset(&mode.PowerOff, 0xFF, sizeof(mode.PowerOff));
  mode.PowerOff = kavr::ToFlag(false);
  const std::array<unsigned char, 4> zero = {0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(&mode.PowerOff, zero.data(), zero.size()), 0);
}

}  // namespace
