# Instrumented native builds: sanitizers for the tests, libFuzzer for the fuzz targets,
# source-based coverage. Each is one cache option, so a build tree is exactly one of them.
#
#   -DUPDATER_SANITIZE=address,undefined   every program runs under ASan and UBSan, and any
#                                          report ends the program (gcc or clang)
#   -DUPDATER_FUZZ=ON                      the same, plus the libFuzzer targets of tests/fuzz
#                                          (clang)
#   -DUPDATER_COVERAGE=ON                  clang source-based coverage of every program
#
# clang cannot compile the entry's texts (it has no -fexec-charset=CP932), so the clang trees
# build the targets they need, not the entry; the sanitizer tree of the whole suite uses gcc.

set(UPDATER_SANITIZE "" CACHE STRING "Sanitizers for every program, e.g. address,undefined")
option(UPDATER_FUZZ "Build the libFuzzer targets (clang)" OFF)
option(UPDATER_COVERAGE "Instrument every program for clang source-based coverage (clang)" OFF)

if((UPDATER_FUZZ OR UPDATER_COVERAGE) AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "UPDATER_FUZZ and UPDATER_COVERAGE need clang (-DCMAKE_CXX_COMPILER=clang++)")
endif()

if(UPDATER_FUZZ AND NOT UPDATER_SANITIZE)
  set(UPDATER_SANITIZE address,undefined)
endif()

if(UPDATER_SANITIZE)
  add_compile_options(-fsanitize=${UPDATER_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${UPDATER_SANITIZE})
  # The runtime is linked as a shared library (gcc's default): linked in statically it would
  # make the stand-in updaters (apply_self, setup) too large to fit below the package offset.
  # The libFuzzer programs need it linked in, as their runtime must be the first library loaded.
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND NOT UPDATER_FUZZ)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.asan-x86_64.so
                    OUTPUT_VARIABLE sanitizer_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(sanitizer_runtime_dir "${sanitizer_runtime}" DIRECTORY)
    add_link_options(-shared-libsan "LINKER:-rpath,${sanitizer_runtime_dir}")
  endif()
endif()

if(UPDATER_FUZZ)
  # Coverage feedback for the fuzzer in every library; only the fuzz targets link its main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(UPDATER_COVERAGE)
  add_compile_options(-fprofile-instr-generate -fcoverage-mapping)
  add_link_options(-fprofile-instr-generate)
endif()
