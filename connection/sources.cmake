list(APPEND ZELO_CORE_SOURCES
  connection/device_connection.cpp
  connection/device_status.cpp
  connection/device_session.cpp
)
if(WIN32)
  list(APPEND ZELO_CORE_SOURCES connection/network_win32.cpp)
else()
  list(APPEND ZELO_CORE_SOURCES connection/network_posix.cpp)
endif()
list(APPEND ZELO_CORE_SOURCES
  connection/framed_readout.cpp
  connection/device_settings.cpp
  connection/power_control.cpp
  connection/open_sequence.cpp
)
