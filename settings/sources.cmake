list(APPEND ZELO_CORE_SOURCES
  settings/profile_file.cpp
  settings/app_settings.cpp
  settings/lang_strings.cpp
)
