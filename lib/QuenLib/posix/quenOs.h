// quenOs (POSIX): the system headers the file layer is written against.
// The Windows build has its own quenOs.h with the same names.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
