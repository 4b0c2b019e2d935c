list(APPEND ZELO_CORE_TEST_SOURCES
  devicewin/schedule_test.cpp
)
list(APPEND ZELO_CORE_TEST_SOURCES
  devicewin/delivery_targets_test.cpp
)
