# The expression language, the index files and the orders over them, part of the engine library.
target_sources(tavrik_xbase PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Expr.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExprDate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExprFuncDate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExprFuncNumeric.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExprFuncOther.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExprFuncString.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExprFunctions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExprKey.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExprLexer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExprNode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExprParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExprValue.cpp
)
target_sources(tavrik_xbase PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/IndexFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IndexFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IndexPager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IndexStorage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IndexTag.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IndexTree.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Order.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OrderList.cpp
)
