# Tests of the expression language, the index files and the orders.
tavrik_test(xbase_order_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ExprTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ExprRobustnessTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IndexTreeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OrderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IndexFileTest.cpp
  LIBS tavrik_xbase GTest::gtest_main)
