# The path column's rows: repaint cost with 1,000 REST paths shortened to show their ids.
add_executable(metrics_pathrows metrics_pathrows.cpp session_common.h)
target_link_libraries(metrics_pathrows PRIVATE morvenda_common MorvendaMetricsUi MorvendaSession Qt6::Test)
