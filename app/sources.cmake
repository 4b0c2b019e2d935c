list(APPEND ZELO_CORE_SOURCES
  app/control_window.cpp
  app/current_device.cpp
  app/main_layout.cpp
  app/main_screen.cpp
  app/options_rules.cpp
  app/property_dialog.cpp
  app/workspace.cpp
)
