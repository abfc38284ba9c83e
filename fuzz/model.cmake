# Wire-model decoders under libFuzzer. The model library itself is instrumented too, so coverage
# guides the fuzzer through the readers and the sanitizers watch them.
# Every executable of this build that links the library (the application too) then needs the
# sanitizer runtimes at link time, or the instrumented objects leave thousands of undefined symbols.
target_compile_options(MorvendaModel PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
target_link_options(MorvendaModel INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
add_executable(fuzz_payload ${CMAKE_CURRENT_LIST_DIR}/fuzz_payload.cpp)
target_link_libraries(fuzz_payload PRIVATE morvenda_common MorvendaModel)
target_compile_options(fuzz_payload PRIVATE ${MORVENDA_FUZZ_FLAGS})
target_link_options(fuzz_payload PRIVATE ${MORVENDA_FUZZ_FLAGS})
