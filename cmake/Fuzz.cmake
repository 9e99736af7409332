# The libFuzzer harnesses (TRIMWRIGHT_FUZZ=ON; clang only, in a build folder
# of its own). Every target of this build, the core library included, is
# compiled with AddressSanitizer and UndefinedBehaviorSanitizer without
# recovery, so the first fault stops the run; the core and the harnesses also
# with libFuzzer's coverage instrumentation, so the fuzzer is guided by the
# core's branches (not by those of the writers that make its inputs, nor of
# the tests, which compile and run faster without it). The options apply to
# targets defined after this file, so the root CMakeLists.txt includes it
# before the core library. scripts/fuzz builds and runs the harnesses.
include_guard(GLOBAL)

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TRIMWRIGHT_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
endif()
if(TARGET trimwright_core)
  message(FATAL_ERROR "cmake/Fuzz.cmake must be included before trimwright_core is defined, "
                      "or the core would be built without coverage instrumentation")
endif()

add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)

# Target names below refer to libraries the root CMakeLists.txt defines after
# this file; CMake resolves them when it generates the build.
add_library(trimwright_fuzz_support STATIC
  tests/fuzz/FuzzSupport.cpp
  tests/fuzz/TuningInput.cpp
)
target_link_libraries(trimwright_fuzz_support PUBLIC trimwright_writers)
target_include_directories(trimwright_fuzz_support PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_features(trimwright_fuzz_support PUBLIC cxx_std_20)

set(TRIMWRIGHT_FUZZ_HARNESSES dmuni_fuzzer freescan_fuzzer pcmcomm_fuzzer tuning_run_fuzzer
                               frame_decoder_fuzzer)
foreach(harness IN LISTS TRIMWRIGHT_FUZZ_HARNESSES)
  add_executable(${harness} tests/fuzz/${harness}.cpp)
  target_link_libraries(${harness} PRIVATE trimwright_fuzz_support)
  target_link_options(${harness} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${harness} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endforeach()
add_custom_target(fuzz_harnesses DEPENDS ${TRIMWRIGHT_FUZZ_HARNESSES})

# The code the harnesses drive is compiled at -O1 whatever the build type,
# for the number of inputs a bounded run gets through (and the time the
# core's tests take under the sanitizers); the rest of the build keeps its
# type's flags. The coverage instrumentation goes where the fuzzer looks. The
# core is defined after this file, hence the deferred call.
function(trimwright_optimise_fuzzed_code)
  foreach(target IN ITEMS trimwright_core trimwright_writers trimwright_fuzz_support
                          ${TRIMWRIGHT_FUZZ_HARNESSES})
    target_compile_options(${target} PRIVATE -O1)
  endforeach()
  foreach(target IN ITEMS trimwright_core trimwright_fuzz_support ${TRIMWRIGHT_FUZZ_HARNESSES})
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endforeach()
  # No harness runs the history's listing, its progress, the comparison or
  # the JSON plan: their sources, the slowest of the core to compile, keep
  # the build type's flags.
  set_source_files_properties(app/HistoryCommands.cpp app/ImageCompare.cpp app/PassProgress.cpp
                              app/PlanJson.cpp DIRECTORY ${PROJECT_SOURCE_DIR}
                              PROPERTIES COMPILE_OPTIONS -O0)
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL trimwright_optimise_fuzzed_code)

# Writes the seed corpus; scripts/fuzz --make-seeds runs it.
add_executable(make_fuzz_seeds tests/fuzz/make_fuzz_seeds.cpp)
target_link_libraries(make_fuzz_seeds PRIVATE trimwright_fuzz_support)
set_target_properties(make_fuzz_seeds PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
