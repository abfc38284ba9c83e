# The details column: how long a 5 MB body takes from selecting its exchange until the Body tab's
# editor holds it, and whether switching between exchanges grows memory.
if(TARGET MorvendaDetails)
    add_executable(details_select details_select.cpp)
    target_link_libraries(details_select PRIVATE morvenda_common MorvendaDetails CodeMirror Qt6::WebEngineWidgets)
endif()
