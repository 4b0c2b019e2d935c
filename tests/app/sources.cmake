list(APPEND ZELO_CORE_TEST_SOURCES
  app/profile_file_test.cpp
  app/app_settings_test.cpp
  app/lang_strings_test.cpp
)
