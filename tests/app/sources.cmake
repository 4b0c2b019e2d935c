list(APPEND ZELO_CORE_TEST_SOURCES
  app/main_layout_test.cpp
  app/control_pages_test.cpp
  app/device_windows_test.cpp
  app/report_apply_test.cpp
)
