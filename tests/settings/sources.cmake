list(APPEND ZELO_CORE_TEST_SOURCES
  settings/settings_test.cpp
)
