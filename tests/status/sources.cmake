list(APPEND ZELO_CORE_TEST_SOURCES
  status/status_test.cpp
  status/group_save_test.cpp
)
if(WIN32)
  list(APPEND ZELO_CORE_TEST_SOURCES status/udp_sender_win32.cpp)
else()
  list(APPEND ZELO_CORE_TEST_SOURCES status/udp_sender_posix.cpp)
endif()
