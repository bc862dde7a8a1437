// quenOs (Windows): the POSIX names the file layer is written in, for a
// system whose C library lacks most of them. They are only names here: the
// Windows file-system seam (quenFileSystemWin32.cpp) gives them meaning.
// Built with _FILE_OFFSET_BITS=64, so that struct stat holds large sizes.
#pragma once

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <climits>

#define AT_FDCWD (-100)
#define AT_SYMLINK_NOFOLLOW 0x100

// Flags the C library does not know; above all of its own.
#define O_NOCTTY 0
#define O_CLOEXEC 0  // handles are not inherited unless asked for
#define O_NONBLOCK 0x10000
#define O_NOFOLLOW 0x20000
#define O_DIRECTORY 0x40000

#define F_GETFL 3
#define F_SETFL 4

#define LOCK_EX 2
#define LOCK_NB 4

#ifndef W_OK
#define W_OK 2
#endif

#define S_IFLNK 0xA000
#define S_ISLNK(m) (((m)&S_IFMT) == S_IFLNK)

#ifndef EDQUOT
#define EDQUOT 1133
#endif
