list(APPEND ZELO_CORE_TEST_SOURCES
  connection/device_connection_test.cpp
  connection/device_session_test.cpp
)
list(APPEND ZELO_CORE_TEST_SOURCES
  connection/framed_readout_test.cpp
  connection/device_settings_test.cpp
  connection/power_control_test.cpp
)
