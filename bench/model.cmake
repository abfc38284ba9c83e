# Wire model: decode speed beside simdjson's bare parse of the same bytes, encode speed, and the
# memory a decoded response holds.
find_package(benchmark REQUIRED)
add_executable(model_coders model_coders.cpp)
target_link_libraries(model_coders PRIVATE morvenda_common MorvendaModel simdjson::simdjson
    benchmark::benchmark)
# Peak memory of decoding one large frame, by the shape of its JSON.
add_executable(model_decode_memory model_decode_memory.cpp)
target_link_libraries(model_decode_memory PRIVATE morvenda_common MorvendaModel)
