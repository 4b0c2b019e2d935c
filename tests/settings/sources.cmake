list(APPEND ZELO_CORE_TEST_SOURCES
  settings/profile_file_test.cpp
  settings/app_settings_test.cpp
  settings/lang_strings_test.cpp
)
