#pragma once
// Whole reads and writes on file descriptors, retried when interrupted.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Writes every byte; false on an error (errno tells which) or a write that stores nothing.
bool WriteAll(int fd, const char* data, size_t length);
// Reads exactly length bytes at offset; false when the file ends first or on an error.
bool ReadAt(int fd, void* buffer, size_t length, int64_t offset);
// The system's text for an errno value, made in a buffer of the caller's: the engines run on
// several threads at once (the Stalker packs in parallel).
std::string ErrnoText(int error);
