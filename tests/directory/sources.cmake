list(APPEND ZELO_CORE_TEST_SOURCES
  directory/item_file_test.cpp
  directory/directory_test.cpp
)
