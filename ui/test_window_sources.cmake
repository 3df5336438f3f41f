# The test window and its actions.
set(KAVR_TEST_WINDOW_SOURCES
  dlgform.cpp
)
