# The request-count chart: the added cost per request with the chart open, one repaint over eight
# hours of per-second buckets, and opening a large session file with the chart open and closed.
add_executable(metrics_count metrics_count.cpp)
target_link_libraries(metrics_count PRIVATE morvenda_common MorvendaMetricsUi MorvendaSession)
