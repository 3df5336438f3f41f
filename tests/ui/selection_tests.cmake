# Start-up and device-selection tests.
list(APPEND KAVR_UI_TEST_SOURCES
)
