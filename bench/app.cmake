# The application: process start to the first painted main window, with and without the console.
if(TARGET MorvendaMainScene)
    add_executable(app_startup app_startup.cpp)
    target_link_libraries(app_startup PRIVATE morvenda_common MorvendaMainScene MorvendaShell CodeMirror)
endif()
