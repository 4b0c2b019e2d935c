list(APPEND ZELO_CORE_TEST_SOURCES
  devicewin/schedule_test.cpp
)
