list(APPEND ZELO_CORE_SOURCES
  directory/device_record.cpp
  directory/device_status.cpp
  directory/model_table.cpp
  directory/device_list.cpp
  directory/group_outline.cpp
  directory/item_file.cpp
  directory/device_directory.cpp
  directory/list_columns.cpp
  directory/property_edit.cpp
)
