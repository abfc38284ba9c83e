# Wire model: decode speed beside simdjson's bare parse of the same bytes, encode speed, and the
# memory a decoded response holds.
find_package(benchmark REQUIRED)
add_executable(model_coders model_coders.cpp)
target_link_libraries(model_coders PRIVATE morvenda_common MorvendaModel simdjson::simdjson
    benchmark::benchmark)
