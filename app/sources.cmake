list(APPEND ZELO_CORE_SOURCES
  app/profile_file.cpp
  app/app_settings.cpp
  app/lang_strings.cpp
)
