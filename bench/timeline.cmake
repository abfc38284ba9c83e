# The timeline column with its window shown: appending, a text-filter keystroke over a million
# exchanges, opening a large session file, a steady stream of rows (longest main-loop stall), and
# rows of an app with a megabyte-long name and URL path beside the connect screen.
if(TARGET MorvendaTimeline)
    add_executable(timeline_column timeline_column.cpp BenchSupport.h filter_keystrokes.h)
    target_link_libraries(timeline_column PRIVATE morvenda_common MorvendaTimeline MorvendaShell)
endif()
