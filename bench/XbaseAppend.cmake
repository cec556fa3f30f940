# The table append benchmark (bench/run_xbase.sh runs it).
find_package(benchmark REQUIRED)
add_executable(xbase_append_bench ${CMAKE_CURRENT_LIST_DIR}/XbaseAppendBench.cpp)
target_link_libraries(xbase_append_bench PRIVATE tavrik_xbase benchmark::benchmark)
