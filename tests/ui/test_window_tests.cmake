# Test-window and action tests.
list(APPEND KAVR_UI_TEST_SOURCES
  actions_test.cpp
  window_test.cpp
)
# Drives the windows on the stand-in library built beside the tests.
if(TARGET KAVRVBDLL)
  list(APPEND KAVR_UI_TEST_SOURCES e2e_window_test.cpp)
endif()
