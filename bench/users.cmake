# Stored users: with 5,000 stored users, a favourite toggle to the re-sorted lists, one notes
# keystroke stored, and one reported user merged and stored. The program prints its figures.
add_executable(users_store users_store.cpp BenchSupport.h)
target_link_libraries(users_store PRIVATE morvenda_common MorvendaUsers)
# Big user reports in the whole program: another app's handshake round trips while 8, 32 and
# 128 MB reports are stored.
if(TARGET MorvendaMainScene)
    find_package(Threads REQUIRED)
    add_executable(users_big_report users_big_report.cpp BenchSupport.h ProgramWindow.h server_peer.h)
    target_link_libraries(users_big_report PRIVATE morvenda_common MorvendaMainScene MorvendaShell CodeMirror
        PkgConfig::SQLITE3 Threads::Threads)
endif()
