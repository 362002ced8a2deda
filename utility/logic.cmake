# Tax identifier checks and decimal rounding: the logic behind the Contabili and Math
# classes, free of the classes and their member tables so that it can be tested and timed on
# its own. Numbers are written and the locale's separator read by the component layer's
# conversions, so that a value prints the same through a variant and through these helpers.
tarv_core_library(tarv_utility_logic SOURCES TaxIdentifiers.cpp Decimal.cpp Rounding.cpp)
target_include_directories(tarv_utility_logic PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tarv_utility_logic PUBLIC tarv_platform tarv_com)

tarv_test(utility_logic_tests
  SOURCES tests/TaxIdentifiersTest.cpp tests/DecimalTest.cpp tests/RoundingTest.cpp
          tests/LocaleGuard.h
  LIBS tarv_utility_logic)
