# The impersonation window over 5,000 and 20,000 stored users: window open, star click and search
# keystroke, each to the paint that shows the rows. The user panel under thousands of tags and a
# user of 2,000,000-character texts (handshake round trips meanwhile); the app's connection row
# under tens of thousands of tags. Pictures built to keep the decoder busy: time to grey, processor
# time, paint gaps, quitting.
if(TARGET MorvendaUsersUi)
    add_executable(users_window_open users_window_open.cpp BenchSupport.h PaintWatch.h)
    target_link_libraries(users_window_open PRIVATE morvenda_common MorvendaUsersUi Qt6::Test)
    add_executable(users_panel users_panel.cpp BenchSupport.h PaintWatch.h headless_server.h server_peer.h)
    target_link_libraries(users_panel PRIVATE morvenda_common MorvendaUsersUi MorvendaShell)
    add_executable(users_pictures users_pictures.cpp BenchSupport.h ../tests/support/BusyJpeg.h)
    target_link_libraries(users_pictures PRIVATE morvenda_common MorvendaUsersUi)
endif()
