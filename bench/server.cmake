# Server: end-to-end throughput and main-loop stall over loopback, the memory a huge frame and a
# stream of undecodable frames cost, and a quiet app's wait while others send costly frames.
find_package(Threads REQUIRED)
if(TARGET MorvendaSession)
    foreach(bench server_loopback server_oversize server_garbage server_quiet_app)
        add_executable(${bench} ${bench}.cpp server_peer.h)
        target_link_libraries(${bench} PRIVATE morvenda_common MorvendaSession Threads::Threads)
    endforeach()
endif()
# Server: handshakes per second against a shown main window as closed connections pile up.
if(TARGET MorvendaMainScene)
    add_executable(server_handshakes server_handshakes.cpp server_peer.h)
    target_link_libraries(server_handshakes PRIVATE morvenda_common MorvendaMainScene Threads::Threads)
    # An app that floods handshakes, never reads and closes: alerts shown, a second app's wait.
    add_executable(server_alert_storm server_alert_storm.cpp server_peer.h)
    target_link_libraries(server_alert_storm PRIVATE morvenda_common MorvendaMainScene Threads::Threads)
    # Apps that connect, shake hands and close, 30,000 times: what each closed one keeps.
    add_executable(server_churn server_churn.cpp server_peer.h headless_server.h ProgramWindow.h)
    target_link_libraries(server_churn PRIVATE morvenda_common MorvendaMainScene Threads::Threads)
endif()
