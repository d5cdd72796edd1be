# One INTERFACE target carries the compile options of every target of the
# project, so that warnings and sanitizers are decided in one place.
option(VELMORA_WERROR "Treat warnings as errors" OFF)
option(VELMORA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VELMORA_TSAN "Build with ThreadSanitizer (the job and window tests)" OFF)
if(VELMORA_SANITIZE AND VELMORA_TSAN)
  message(FATAL_ERROR "VELMORA_SANITIZE and VELMORA_TSAN exclude each other")
endif()

add_library(velmora_options INTERFACE)
target_compile_features(velmora_options INTERFACE cxx_std_20)
target_compile_options(velmora_options INTERFACE
  -Wall -Wextra -pedantic-errors -Wold-style-cast -Wnon-virtual-dtor
  -Wconversion -Wno-sign-conversion)
target_compile_definitions(velmora_options INTERFACE
  _GLIBCXX_ASSERTIONS _FILE_OFFSET_BITS=64 QT_NO_CONTEXTLESS_CONNECT)
if(VELMORA_WERROR)
  target_compile_options(velmora_options INTERFACE -Werror)
endif()
if(VELMORA_SANITIZE)
  target_compile_options(velmora_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(velmora_options INTERFACE -fsanitize=address,undefined)
endif()
if(VELMORA_TSAN)
  target_compile_options(velmora_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(velmora_options INTERFACE -fsanitize=thread)
endif()
