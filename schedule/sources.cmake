list(APPEND ZELO_CORE_SOURCES
  schedule/schedule.cpp
  schedule/delivery.cpp
)
