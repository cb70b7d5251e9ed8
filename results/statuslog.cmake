# The operational status and the device log read as tables: the plain part, which tests and benchmarks reach
# without a window, and the two views.
add_library(satstatuslog STATIC
    results/operationalstatus.h results/operationalstatus.cpp
    results/logparser.h results/logparser.cpp
    results/logtablemodel.h results/logtablemodel.cpp
    results/logfiltermodel.h results/logfiltermodel.cpp
    results/resultfiles.h results/resultfiles.cpp
)
target_include_directories(satstatuslog PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/results)
target_link_libraries(satstatuslog PUBLIC satdevicetext Qt6::Core)

add_library(satstatuslogviews STATIC
    results/savepathchooser.h results/savepathchooser.cpp
    results/statusview.h results/statusview.cpp
    results/logview.h results/logview.cpp
)
target_link_libraries(satstatuslogviews PUBLIC satstatuslog Qt6::Widgets)
