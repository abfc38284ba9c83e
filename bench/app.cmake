# The application: process start to the first painted main window, with and without the console;
# the whole program with its window under a flood of payloads from scripted apps; and a text-filter
# keystroke over a million exchanges in the real main window; and the CPU the idle program costs.
if(TARGET MorvendaMainScene)
    add_executable(app_startup app_startup.cpp)
    target_link_libraries(app_startup PRIVATE morvenda_common MorvendaMainScene MorvendaShell CodeMirror)
    find_package(Threads REQUIRED)
    add_executable(app_flood app_flood.cpp BenchSupport.h ProgramWindow.h server_peer.h)
    target_link_libraries(app_flood PRIVATE morvenda_common MorvendaMainScene MorvendaShell CodeMirror Threads::Threads)
    add_executable(app_filter app_filter.cpp BenchSupport.h ProgramWindow.h filter_keystrokes.h)
    target_link_libraries(app_filter PRIVATE morvenda_common MorvendaMainScene MorvendaShell MorvendaTimeline CodeMirror)
    add_executable(app_idle app_idle.cpp BenchSupport.h ProgramWindow.h server_peer.h)
    target_link_libraries(app_idle PRIVATE morvenda_common MorvendaMainScene MorvendaShell MorvendaTimeline
        MorvendaDetails CodeMirror Threads::Threads)
endif()
