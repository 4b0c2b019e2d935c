list(APPEND ZELO_CORE_SOURCES
  devicewin/schedule.cpp
  devicewin/delivery.cpp
)
