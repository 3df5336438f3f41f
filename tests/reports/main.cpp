#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
  // Reports follow the locale's decimal point; the expected texts use ".".
  std::setlocale(LC_NUMERIC, "C");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
