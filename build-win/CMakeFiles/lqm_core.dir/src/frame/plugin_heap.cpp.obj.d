CMakeFiles/lqm_core.dir/src/frame/plugin_heap.cpp.obj: \
 /work/main/src/frame/plugin_heap.cpp /work/main/src/frame/plugin_heap.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/cstddef \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/x86_64-w64-mingw32/bits/c++config.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/x86_64-w64-mingw32/bits/os_defines.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/x86_64-w64-mingw32/bits/cpu_defines.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/pstl/pstl_config.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/stddef.h \
 /usr/share/mingw-w64/include/stddef.h \
 /usr/share/mingw-w64/include/crtdefs.h \
 /usr/share/mingw-w64/include/corecrt.h \
 /usr/share/mingw-w64/include/_mingw.h \
 /usr/share/mingw-w64/include/_mingw_mac.h \
 /usr/share/mingw-w64/include/_mingw_secapi.h \
 /usr/share/mingw-w64/include/vadefs.h \
 /usr/share/mingw-w64/include/sdks/_mingw_ddk.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/cstdlib \
 /usr/share/mingw-w64/include/stdlib.h \
 /usr/share/mingw-w64/include/corecrt_wstdlib.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include-fixed/limits.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include-fixed/syslimits.h \
 /usr/share/mingw-w64/include/limits.h \
 /usr/share/mingw-w64/include/sec_api/stdlib_s.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/stdlib.h \
 /usr/share/mingw-w64/include/malloc.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/mm_malloc.h \
 /usr/share/mingw-w64/include/errno.h \
 /usr/lib/gcc/x86_64-w64-mingw32/12-posix/include/c++/bits/std_abs.h
