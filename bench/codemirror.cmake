# The code viewer: how long a big body takes to reach the page and what one viewer costs.
if(TARGET CodeMirror)
    add_executable(codemirror_page codemirror_page.cpp)
    target_link_libraries(codemirror_page PRIVATE morvenda_common CodeMirror Qt6::WebEngineWidgets)
endif()
