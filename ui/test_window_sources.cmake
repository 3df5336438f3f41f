# The test window and its actions.
set(KAVR_TEST_WINDOW_SOURCES
  actions.cpp
  dlgform.cpp
  typed_numbers.cpp
)
