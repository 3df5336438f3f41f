#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <new>

#include "contract/record_fields.h"
#include "contract/records.h"

namespace {

template <typename Record>
class RecordTest : public ::testing::Test {};

template <typename... Records>
::testing::Types<Records...> AsTestTypes(kavr::RecordTypes<Records...>);
using Records = decltype(AsTestTypes(kavr::AllRecordTypes{}));
TYPED_TEST_SUITE(RecordTest, Records);

// Created over memory full of leftovers, as a record on a reused stack slot
// would be: every byte, the not-read slots included, must come out zero.
TYPED_TEST(RecordTest, IsZeroFilledWhenCreated) {
  alignas(TypeParam) std::array<unsigned char, sizeof(TypeParam)> storage;
  storage.fill(0xAB);
  auto* record = new (storage.data()) TypeParam;
  std::array<unsigned char, sizeof(TypeParam)> bytes;
  std::memcpy(bytes.data(), record, sizeof(TypeParam));
  record->~TypeParam();
  EXPECT_EQ(bytes, decltype(bytes){});
}

TEST(Flag, AnyNonzeroValueReadsAsTrueAndOnlyOneOrZeroIsWritten) {
  for (kavr::Flag value : {1, -1, 255, 0x10000, static_cast<kavr::Flag>(0x80000000u)}) {
    EXPECT_TRUE(kavr::IsSet(value)) << value;
  }
  EXPECT_FALSE(kavr::IsSet(0));
  EXPECT_EQ(kavr::ToFlag(true), 1);
  EXPECT_EQ(kavr::ToFlag(false), 0);
}

}  // namespace
