# Start-up and the device-selection dialog.
set(KAVR_SELECTION_SOURCES
)
