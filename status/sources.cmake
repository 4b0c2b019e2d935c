list(APPEND ZELO_CORE_SOURCES
  status/event_log.cpp
  status/report_commit.cpp
  status/report_decoder.cpp
  status/report_lookup.cpp
  status/station_counters.cpp
  status/status_station.cpp
)
if(WIN32)
  list(APPEND ZELO_CORE_SOURCES status/udp_receiver_win32.cpp)
else()
  list(APPEND ZELO_CORE_SOURCES status/udp_receiver_posix.cpp)
endif()
