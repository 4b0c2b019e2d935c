list(APPEND ZELO_CORE_TEST_SOURCES
  schedule/schedule_test.cpp
)
list(APPEND ZELO_CORE_TEST_SOURCES
  schedule/delivery_targets_test.cpp
)
