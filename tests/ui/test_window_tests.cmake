# Test-window and action tests.
list(APPEND KAVR_UI_TEST_SOURCES
)
