/* Forced into every translation unit of the musl build. libstdc++'s
   configuration header asks for glibc's version through this macro; musl
   has no such macro, and none of the glibc-only features it guards is used
   by the tool. */
#ifndef __GLIBC_PREREQ
#define __GLIBC_PREREQ(major, minor) 0
#endif
