# The settings panel with 2,000 settings: search keystroke, settings message and first paint.
if(TARGET MorvendaRemoteUi)
    add_executable(remote_settings remote_settings.cpp)
    target_link_libraries(remote_settings PRIVATE morvenda_common MorvendaRemoteUi)
endif()

# The milestone panel with 100,000 milestones: a report to the repainted list.
if(TARGET MorvendaRemoteUi)
    add_executable(remote_milestones remote_milestones.cpp)
    target_link_libraries(remote_milestones PRIVATE morvenda_common MorvendaRemoteUi)
endif()
