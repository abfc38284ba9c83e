# The settings panel with 2,000 settings: search keystroke, settings message and first paint.
if(TARGET MorvendaRemoteUi)
    add_executable(remote_settings remote_settings.cpp)
    target_link_libraries(remote_settings PRIVATE morvenda_common MorvendaRemoteUi)
endif()
