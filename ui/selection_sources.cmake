# Start-up and the device-selection dialog.
set(KAVR_SELECTION_SOURCES
  device_list.cpp
  device_selection.cpp
  dialog.cpp
)
