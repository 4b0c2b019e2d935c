list(APPEND ZELO_CORE_TEST_SOURCES
  common/c_number_test.cpp
  common/format_test.cpp
)
