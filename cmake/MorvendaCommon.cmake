# Flags every Morvenda target links through morvenda_common.
add_library(morvenda_common INTERFACE)
target_compile_features(morvenda_common INTERFACE cxx_std_20)
target_compile_options(morvenda_common INTERFACE -Wall -Wextra -Wpedantic)
option(MORVENDA_WERROR "Treat compiler warnings as errors (CI sets it)" OFF)
if(MORVENDA_WERROR)
    target_compile_options(morvenda_common INTERFACE -Werror)
endif()
# MORVENDA_SANITIZE=address,undefined builds everything with those sanitizers (scripts/test-sanitizers).
set(MORVENDA_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined")
if(MORVENDA_SANITIZE)
    target_compile_options(morvenda_common INTERFACE
        -fsanitize=${MORVENDA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(morvenda_common INTERFACE -fsanitize=${MORVENDA_SANITIZE})
endif()
target_compile_definitions(morvenda_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_USE_QSTRINGBUILDER
    QT_DISABLE_DEPRECATED_BEFORE=0x060400)
# Headers are included as "MorvendaModel/Request.h", "MorvendaApp/session/MessageRepository.h".
target_include_directories(morvenda_common INTERFACE ${PROJECT_SOURCE_DIR})
