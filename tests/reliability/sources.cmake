list(APPEND ZELO_CORE_TEST_SOURCES
  reliability/write_faults_test.cpp
)
