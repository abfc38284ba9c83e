# Session store: ingest rate and its growth with history, one large batch, filtering at a million
# exchanges, and saving and opening a session file beside simdjson's bare parse of it. Each
# program prints its figures.
add_executable(session_repository session_repository.cpp session_common.h)
target_link_libraries(session_repository PRIVATE morvenda_common MorvendaSession)
add_executable(session_files session_files.cpp session_common.h)
target_link_libraries(session_files PRIVATE morvenda_common MorvendaSession simdjson::simdjson)
add_executable(session_descriptions session_descriptions.cpp session_common.h)
target_link_libraries(session_descriptions PRIVATE morvenda_common MorvendaSession)
add_executable(session_hostile_files session_hostile_files.cpp session_common.h)
target_link_libraries(session_hostile_files PRIVATE morvenda_common MorvendaSession)
# Responses sharing one request ID, over the wire and from a session file: time and memory.
find_package(Threads REQUIRED)
add_executable(session_shared_id session_shared_id.cpp session_open.h BenchSupport.h headless_server.h server_peer.h)
target_link_libraries(session_shared_id PRIVATE morvenda_common MorvendaSession Threads::Threads)
