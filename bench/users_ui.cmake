# The impersonation window with 5,000 stored users: from building the window to its first paint.
if(TARGET MorvendaUsersUi)
    add_executable(users_window_open users_window_open.cpp)
    target_link_libraries(users_window_open PRIVATE morvenda_common MorvendaUsersUi)
endif()
