list(APPEND ZELO_CORE_TEST_SOURCES
  connection/device_connection_test.cpp
  connection/device_session_test.cpp
  connection/reply_forms_test.cpp
  connection/device_settings_test.cpp
)
