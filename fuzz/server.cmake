# Frame reader and payload decoder under random input.
if(TARGET MorvendaModel)
    # Instrument the library code the target drives, not only the target itself.
    target_compile_options(MorvendaModel PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
    add_executable(fuzz_frame fuzz_frame.cpp)
    target_link_libraries(fuzz_frame PRIVATE morvenda_common MorvendaModel)
    target_compile_options(fuzz_frame PRIVATE ${MORVENDA_FUZZ_FLAGS})
    target_link_options(fuzz_frame PRIVATE ${MORVENDA_FUZZ_FLAGS})
endif()
