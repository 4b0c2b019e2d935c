list(APPEND ZELO_CORE_TEST_SOURCES
  directory/directory_test.cpp
  directory/property_mac_test.cpp
  directory/directory_ids_test.cpp
)
