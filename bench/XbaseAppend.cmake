# The engine benchmark: appends and seeks through work areas (bench/run_xbase.sh runs it).
find_package(benchmark REQUIRED)
add_executable(xbase_bench ${CMAKE_CURRENT_LIST_DIR}/XbaseAppendBench.cpp ${CMAKE_CURRENT_LIST_DIR}/XbaseSeekBench.cpp)
target_link_libraries(xbase_bench PRIVATE tavrik_xbase benchmark::benchmark)
