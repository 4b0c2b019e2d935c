list(APPEND ZELO_CORE_TEST_SOURCES
  directory/item_file_test.cpp
  directory/group_outline_test.cpp
  directory/device_list_test.cpp
  directory/device_directory_test.cpp
  directory/property_mac_test.cpp
  directory/directory_ids_test.cpp
)
