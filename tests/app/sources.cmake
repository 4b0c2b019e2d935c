list(APPEND ZELO_CORE_TEST_SOURCES
  app/app_test.cpp
  app/device_windows_test.cpp
  app/main_screen_test.cpp
)
