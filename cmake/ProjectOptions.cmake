# project_options: the one INTERFACE target that every target links. It carries the warnings,
# the Qt defines that keep text conversions explicit, and the sanitizer flags.
add_library(project_options INTERFACE)
target_compile_features(project_options INTERFACE cxx_std_20)
target_compile_options(project_options INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor
    -Woverloaded-virtual -Wcast-align -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough>)
if(OST2EML_WERROR)
  target_compile_options(project_options INTERFACE -Werror)
endif()
target_compile_definitions(project_options INTERFACE
  QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING QT_USE_QSTRINGBUILDER QT_DISABLE_DEPRECATED_BEFORE=0x060400
  OST2EML_VERSION="${PROJECT_VERSION}")
if(OST2EML_SANITIZE)
  target_compile_options(project_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()
if(OST2EML_FUZZ)
  # Coverage counters in all of our code guide the fuzzers; the fuzz targets add the driver.
  target_compile_options(project_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
if(OST2EML_COVERAGE)
  # Source-based coverage, to measure how much of the code a fuzzing corpus reaches.
  target_compile_options(project_options INTERFACE -fprofile-instr-generate -fcoverage-mapping)
  target_link_options(project_options INTERFACE -fprofile-instr-generate)
endif()

# Adds a GoogleTest executable registered with ctest under a layer label.
function(ost2eml_add_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE project_options GTest::gtest GTest::gtest_main ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE
    OST2EML_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    OST2EML_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} PROPERTIES LABELS "${ARG_LABEL}" DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60)
endfunction()
