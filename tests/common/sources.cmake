list(APPEND ZELO_CORE_TEST_SOURCES
  common/common_test.cpp
)
