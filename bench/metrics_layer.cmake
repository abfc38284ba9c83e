# One data-layer render of the request-duration line and bar charts over 1,000 to 200,000 items
# with varied durations: building the chart's data and drawing the layer.
add_executable(metrics_layer metrics_layer.cpp)
target_link_libraries(metrics_layer PRIVATE morvenda_common MorvendaMetricsUi MorvendaSession)
