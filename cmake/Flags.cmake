# One interface target carries every build flag; each target links it.
add_library(vellmar_flags INTERFACE)
target_compile_features(vellmar_flags INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(vellmar_flags INTERFACE -Wall -Wextra -Wpedantic -Werror)
# Qt's strictness switches that exist in Qt 6.4.
target_compile_definitions(vellmar_flags INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH
    QT_NO_KEYWORDS
    QT_STRICT_ITERATORS
    QT_USE_QSTRINGBUILDER
    QT_DISABLE_DEPRECATED_BEFORE=0x060400)
if(VELLMAR_SANITIZE)
    target_compile_options(vellmar_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(vellmar_flags INTERFACE -fsanitize=address,undefined)
endif()

# Every test gets an offscreen display and a private runtime folder, so no test
# touches a real screen or audio server, and the router search off, so no test
# multicasts or talks to the real gateway.
function(vellmar_add_qtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE vellmar_flags Qt6::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set(runtime "${CMAKE_BINARY_DIR}/xdg-runtime")
    file(MAKE_DIRECTORY "${runtime}")
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${runtime};VELLMAR_NO_ROUTER_SEARCH=1"
        TIMEOUT 300)
endfunction()
