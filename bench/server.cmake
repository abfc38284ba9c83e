# Server: end-to-end throughput and main-loop stall over loopback, and the memory a huge frame costs.
find_package(Threads REQUIRED)
if(TARGET MorvendaSession)
    foreach(bench server_loopback server_oversize)
        add_executable(${bench} ${bench}.cpp server_peer.h)
        target_link_libraries(${bench} PRIVATE morvenda_common MorvendaSession Threads::Threads)
    endforeach()
endif()
