# Start-up and device-selection tests.
list(APPEND KAVR_UI_TEST_SOURCES
  ui_test_main.cpp
  selection_device_list_test.cpp
  selection_message_box_test.cpp
  dialog_test.cpp
)
