list(APPEND ZELO_CORE_SOURCES
  app/current_device.cpp
  app/main_layout.cpp
  app/main_screen.cpp
  app/options_rules.cpp
  app/workspace.cpp
)
