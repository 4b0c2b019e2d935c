list(APPEND ZELO_CORE_SOURCES
  common/clock.cpp
  common/c_number.cpp
  common/data_lock.cpp
  common/format.cpp
  common/file_ops.cpp
  common/file_replace.cpp
  common/line_reader.cpp
  common/scan.cpp
)
