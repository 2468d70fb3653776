// What every program does with its process: the standard streams it starts
// with, and the children it forks.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string_view>

// Puts /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// no file or display connection the program opens later can stand in for a
// standard stream. The first call in every program's main.
void OpenStandardStreams();

// For the programs that run for ever: a reader of their output that has
// gone (its pipe broken) must not end them. The frame writers say so
// instead, once.
void IgnoreBrokenPipe();

// Forks a child that nobody waits for: SIGCHLD is ignored first, so the
// system reaps it when it ends. A failed fork ends the program with status
// 1 after the line `failure` on `report`. Returns 0 in the child and the
// child's id in the parent.
pid_t ForkReapedChild(const char* failure, FILE* report);

// Milliseconds of the monotonic clock, 64 bits wide on every target: for
// waits and deadlines, never for dates.
int64_t MonotonicMs();

// Writes all of the bytes to a blocking descriptor, again after a signal.
// 0, or the errno of the write that failed (ENOSPC for one that wrote
// nothing).
int WriteAll(int fd, std::string_view bytes);
