# What the Windows build needs beyond the Linux one.

# The programs carry their version, manifest and icon as resources
# (platform/ProgramResources.rc.in).
enable_language(RC)

# libcurl is the static library scripts/windows-deps.sh built: its users must say so,
# and link what it uses of Windows (sockets, random numbers, the MD5 of digest logins).
set_target_properties(CURL::libcurl PROPERTIES
  INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
  INTERFACE_LINK_LIBRARIES "ws2_32;bcrypt;advapi32;crypt32")

# windows.h without its min/max macros and rarely used parts; Windows 7 and later.
target_compile_definitions(lanscout_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# The programs sit at the top of the build, as they sit side by side on the user's stick.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
