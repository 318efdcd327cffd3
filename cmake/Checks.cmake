# What the compiler checks on every target of ours: warnings, the
# sanitizers, and Qt's strictness defines. Included by the top-level
# CMakeLists.txt before the source folders, so every target gets it.

# The build type CI uses (-DCMAKE_BUILD_TYPE=Check): optimised for the time
# the build takes rather than for the program's speed, and without debug
# information, which alone doubles the time of a sanitizer build. Sanitizer
# reports still name every function; for line numbers, build RelWithDebInfo.
set(CMAKE_C_FLAGS_CHECK "-Og" CACHE STRING "C flags of the Check build type")
set(CMAKE_CXX_FLAGS_CHECK "-Og" CACHE STRING "C++ flags of the Check build type")
foreach(kind EXE SHARED MODULE STATIC)
  set(CMAKE_${kind}_LINKER_FLAGS_CHECK "" CACHE STRING "Linker flags of the Check build type")
endforeach()

add_compile_options(-Wall -Wextra -Wshadow)
if(TALLIX_WERROR)
  add_compile_options(-Werror)
endif()

if((TALLIX_SANITIZE OR TALLIX_FUZZ) AND TALLIX_TSAN)
  message(FATAL_ERROR "ThreadSanitizer does not go with AddressSanitizer: give it a build folder of its own.")
endif()

# A build under a sanitizer: which one, for the tests' environment below.
set(TALLIX_SANITIZED "")
if(TALLIX_SANITIZE OR TALLIX_FUZZ)
  # No recovery: the first finding ends the program with an error.
  set(TALLIX_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  set(TALLIX_SANITIZED address)
elseif(TALLIX_TSAN)
  set(TALLIX_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
  set(TALLIX_SANITIZED thread)
endif()
if(TALLIX_SANITIZED)
  add_compile_options(${TALLIX_SANITIZER_FLAGS})
  add_link_options(${TALLIX_SANITIZER_FLAGS})
  # Tests that bound time or memory allow for the sanitizer's own cost.
  add_compile_definitions(TALLIX_SANITIZED)
endif()

if(TALLIX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang for libFuzzer: configure with CC=clang CXX=clang++.")
  endif()
  # Coverage for the fuzzer in everything the targets run.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# The environment of a test under a sanitizer. Qt and the system libraries
# are not built with the sanitizer; the suppression files name the few
# findings that lie wholly inside them, nothing of ours.
set(TALLIX_SANITIZER_ENV "")
set(_supp ${CMAKE_SOURCE_DIR}/tests/sanitizers)
if(TALLIX_SANITIZED STREQUAL "address")
  set(TALLIX_SANITIZER_ENV
    "ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:suppressions=${_supp}/asan.supp"
    "LSAN_OPTIONS=suppressions=${_supp}/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=${_supp}/ubsan.supp")
elseif(TALLIX_SANITIZED STREQUAL "thread")
  set(TALLIX_SANITIZER_ENV "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${_supp}/tsan.supp")
endif()

# The program's own code is held to more: Qt's strict rules (no implicit
# conversion between text and bytes, no narrowing in signal connections, no
# foreach) and a warning for every conversion that may change a value
# (signed and unsigned mix freely in Qt's interfaces, so that one is left out).
function(tallix_strict_qt)
  foreach(target ${ARGN})
    target_compile_definitions(${target} PRIVATE
      QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING
      QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_NO_FOREACH)
    target_compile_options(${target} PRIVATE -Wconversion -Wno-sign-conversion)
  endforeach()
endfunction()
