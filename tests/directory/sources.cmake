list(APPEND ZELO_CORE_TEST_SOURCES
  directory/directory_test.cpp
)
