CMakeFiles/lqm_core.dir/src/frame/discovery.cpp.obj: \
 /work/main/src/frame/discovery.cpp \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/cstring \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/x86_64-w64-mingw32/bits/c++config.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/x86_64-w64-mingw32/bits/os_defines.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/x86_64-w64-mingw32/bits/cpu_defines.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/pstl/pstl_config.h \
 /usr/share/mingw-w64/include/string.h \
 /usr/share/mingw-w64/include/crtdefs.h \
 /usr/share/mingw-w64/include/corecrt.h \
 /usr/share/mingw-w64/include/_mingw.h \
 /usr/share/mingw-w64/include/_mingw_mac.h \
 /usr/share/mingw-w64/include/_mingw_secapi.h \
 /usr/share/mingw-w64/include/vadefs.h \
 /usr/share/mingw-w64/include/sdks/_mingw_ddk.h \
 /usr/share/mingw-w64/include/sec_api/string_s.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/initializer_list \
 /work/main/src/frame/dispatch.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/cstdint \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/stdint.h \
 /usr/share/mingw-w64/include/stdint.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/stddef.h \
 /usr/share/mingw-w64/include/stddef.h /work/main/src/host/host_calls.h \
 /work/main/src/host/host_abi.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/cstddef \
 /work/main/src/frame/plugin_heap.h /work/main/src/frame/state.h \
 /work/main/src/host/named_commands.h /work/main/src/host/texts.h \
 /work/main/src/resources/resource_readers.h
