# One interface target carries the warnings and sanitizer flags for every target.
add_library(lanscout_options INTERFACE)
target_compile_options(lanscout_options INTERFACE -Wall -Wextra -Wpedantic)
if(LANSCOUT_WERROR)
  target_compile_options(lanscout_options INTERFACE -Werror)
endif()
# ThreadSanitizer keeps its own shadow memory and cannot share a program with
# AddressSanitizer.
if(LANSCOUT_SANITIZE AND LANSCOUT_SANITIZE_THREAD)
  message(FATAL_ERROR "LANSCOUT_SANITIZE and LANSCOUT_SANITIZE_THREAD exclude each other: configure one build for each")
endif()
if(LANSCOUT_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(lanscout_options INTERFACE ${_san})
  target_link_options(lanscout_options INTERFACE ${_san})
endif()
if(LANSCOUT_SANITIZE_THREAD)
  set(_san -fsanitize=thread -fno-omit-frame-pointer)
  target_compile_options(lanscout_options INTERFACE ${_san})
  target_link_options(lanscout_options INTERFACE ${_san})
endif()
# The hardening Debian builds its own programs with; the sanitizer and fuzzing builds
# bring their own instrumentation instead.
if(NOT WIN32 AND NOT LANSCOUT_SANITIZE AND NOT LANSCOUT_SANITIZE_THREAD AND NOT LANSCOUT_FUZZ)
  target_compile_options(lanscout_options INTERFACE -fstack-protector-strong
                         $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
  target_link_options(lanscout_options INTERFACE -Wl,-z,relro -Wl,-z,now)
endif()
