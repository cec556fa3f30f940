# The index seek benchmark (bench/order_seek.sh runs it).
add_executable(order_seek_bench ${CMAKE_CURRENT_LIST_DIR}/OrderSeekBench.cpp)
target_link_libraries(order_seek_bench PRIVATE tavrik_xbase)
