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
