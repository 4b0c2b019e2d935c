list(APPEND ZELO_CORE_TEST_SOURCES
  schedule/schedule_test.cpp
)
