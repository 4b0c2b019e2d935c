list(APPEND ZELO_CORE_SOURCES
  connection/device_connection.cpp
  connection/device_session.cpp
  connection/framed_dialogue.cpp
  connection/plain_dialogue.cpp
)
if(WIN32)
  list(APPEND ZELO_CORE_SOURCES connection/network_win32.cpp)
else()
  list(APPEND ZELO_CORE_SOURCES connection/network_posix.cpp)
endif()
list(APPEND ZELO_CORE_SOURCES
  connection/register_table.cpp
  connection/framed_replies.cpp
  connection/plain_replies.cpp
  connection/framed_readout.cpp
  connection/device_settings.cpp
  connection/settings_apply.cpp
  connection/power_control.cpp
  connection/open_sequence.cpp
)
