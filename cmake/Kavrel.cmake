# Shared build settings and helpers for every Kavrel target.

set(KAVREL_SANITIZE "" CACHE STRING "Sanitizers for the whole tree: address,undefined or thread")
option(KAVREL_WERROR "Treat warnings in our code as errors" ON)

if(KAVREL_SANITIZE)
  add_compile_options(-fsanitize=${KAVREL_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${KAVREL_SANITIZE})
  if(KAVREL_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=all)
  endif()
endif()

# Warnings apply to our own targets only, never to Qt or GoogleTest headers.
function(kavrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # GCC's maybe-uninitialized analysis misfires on sanitizer-instrumented library code
  # (std::regex, std::optional); the plain build keeps the warning as an error.
  if(KAVREL_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
  endif()
  if(KAVREL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# kavrel_library(name [DEPS ...] [QT] [SOURCES ...]) : a folder's library. Its sources are every
# src/*.cpp (so files can be added without touching the list) plus SOURCES; include/ is public.
function(kavrel_library name)
  cmake_parse_arguments(K "QT" "" "SOURCES;DEPS" ${ARGN})
  file(GLOB_RECURSE globbed CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/src/*.h ${CMAKE_CURRENT_SOURCE_DIR}/include/*.h)
  add_library(${name} STATIC ${globbed} ${K_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(${name} PUBLIC ${K_DEPS})
  if(K_QT)
    target_link_libraries(${name} PUBLIC Qt6::Widgets)
  endif()
  kavrel_warnings(${name})
endfunction()

# kavrel_test(name SOURCES ... [LIBS ...] [LABELS ...] [ENV ...] [TIMEOUT s])
# One GoogleTest executable; its cases are listed to ctest when ctest runs (not at build time).
# Qt tests run on the offscreen platform unless the test sets its own platform.
function(kavrel_test name)
  cmake_parse_arguments(K "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${K_SOURCES})
  target_link_libraries(${name} PRIVATE ${K_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE KAVREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             KAVREL_BINARY_DIR="${PROJECT_BINARY_DIR}")
  kavrel_warnings(${name})
  if(NOT K_TIMEOUT)
    set(K_TIMEOUT 120)
  endif()
  # An empty LABELS value would swallow the next property name, so pass it only when set.
  set(props TIMEOUT ${K_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${K_ENV}")
  if(K_LABELS)
    list(APPEND props LABELS "${K_LABELS}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
  set_property(GLOBAL APPEND PROPERTY KAVREL_TEST_TARGETS ${name})
  if("threads" IN_LIST K_LABELS)
    set_property(GLOBAL APPEND PROPERTY KAVREL_THREAD_TEST_TARGETS ${name})
  endif()
endfunction()
