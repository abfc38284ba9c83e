# The request-duration chart in the whole program: a live session over 1,000 REST paths with all
# of them selected, and an app connecting again over 200,000 exchanges.
if(TARGET MorvendaMainScene)
    find_package(Threads REQUIRED)
    add_executable(metrics_program metrics_program.cpp BenchSupport.h ProgramWindow.h server_peer.h)
    target_link_libraries(metrics_program PRIVATE morvenda_common MorvendaMainScene MorvendaShell CodeMirror
        Threads::Threads)
endif()
