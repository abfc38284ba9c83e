# Shared widgets: how long the flow stack takes to relayout its chips when the width changes.
if(TARGET MorvendaComponents)
    add_executable(components_flowstack components_flowstack.cpp)
    target_link_libraries(components_flowstack PRIVATE morvenda_common MorvendaComponents)
endif()
