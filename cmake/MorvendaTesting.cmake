# morvenda_add_test(NAME SOURCES src... LIBS lib... [WEBENGINE] [TIMEOUT s])
# One QtTest executable per class or feature. Every test runs headless with the
# environment set here, so a plain `ctest` behaves exactly like CI. Each test is
# labelled for `ctest -L`: "web" when it starts the web engine, "gui" when it links
# Qt Widgets, "core" otherwise.
include(CheckHeadless)
function(morvenda_add_test name)
    cmake_parse_arguments(T "WEBENGINE" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE morvenda_common Qt6::Test ${T_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set(env
        "QT_QPA_PLATFORM=offscreen"
        "MORVENDA_NO_ADVERTISE=1"
        "QT_LOGGING_RULES=qt.webenginecontext.info=false"
        "MORVENDA_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
        "MORVENDA_ARTIFACTS=${PROJECT_BINARY_DIR}/artifacts"
        "XDG_RUNTIME_DIR=${PROJECT_BINARY_DIR}/xdg-runtime"
        # Stored data (the stored-user database) goes to a folder of the test's own, never a real home.
        "XDG_DATA_HOME=${PROJECT_BINARY_DIR}/xdg-data/${name}")
    if(T_WEBENGINE)
        list(APPEND env
            "QTWEBENGINE_DISABLE_SANDBOX=1"
            "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu")
    endif()
    if(T_WEBENGINE)
        set(label web)
    else()
        set(links "")
        _morvenda_collect_links(${name} links)
        get_target_property(widgets Qt6::Widgets ALIASED_TARGET)
        if(Qt6::Widgets IN_LIST links OR (widgets AND widgets IN_LIST links))
            set(label gui)
        else()
            set(label core)
        endif()
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "${env}"
        TIMEOUT ${T_TIMEOUT}
        LABELS ${label})
endfunction()

file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/artifacts")
file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/xdg-runtime")
file(CHMOD "${PROJECT_BINARY_DIR}/xdg-runtime" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
