list(APPEND ZELO_CORE_TEST_SOURCES
  app/app_test.cpp
)
