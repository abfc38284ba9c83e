# The request-duration chart: cost per live delivery with the chart showing, one hover repaint
# over 10,000 bars, and opening a large session file with the chart showing and without it.
add_executable(metrics_duration metrics_duration.cpp)
target_link_libraries(metrics_duration PRIVATE morvenda_common MorvendaMetricsUi MorvendaSession)
