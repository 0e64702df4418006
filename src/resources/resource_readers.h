// Reading the plugin's own resources through 4D ("GET RESOURCE") and turning
// them into NUL-terminated strings or byte blocks, plus the two cached texts
// (version and information string).
//
// Every string reader returns a size of at least 1 and leaves *out holding a
// NUL-terminated string of that size (the empty string when nothing was
// found). A resource's own length bytes are trusted only as far as the data
// reaches: a length that runs past the end gives the empty string.
#pragma once

#include <cstdint>

#include "host/host_calls.h"

inline constexpr uint32_t kNoResource = 0xFFFFFFFFu;
inline constexpr int kMaxResourceFiles = 10;

// -1 forgets the open files and both caches; -2 frees the caches only.
void ResourcesInit();
void ResourcesShutdown();

// True once a resource file of the plugin is open: the readers below then
// read without being named a file.
bool ResourceFilesOpen();

// "Test Path Name" on a path: 1 document, 0 folder, 65535 on failure.
uint16_t TestPathName(const char* path);
// Opens one of the plugin's resource files and keeps its reference; false
// when 4D gives none or kMaxResourceFiles are already open.
bool OpenPluginResourceFile(const char* path);

// The resource's bytes followed by `extra` unwritten bytes in *buffer
// (allocated or reallocated); returns data length + extra, or 0 when the
// resource was not found. Nothing is read before a resource file of the
// plugin is open: the readers search the open files, never a named one.
int64_t ReadResourceToBuffer(char** buffer, const char* type, uint32_t number, uint16_t extra);
// The same into a new 4D memory block; null when not found.
HostHandle ReadResourceToHandle(const char* type, uint32_t number, uint16_t extra);

int64_t ReadStringListItem(char** out, uint32_t number, int32_t index, bool convert);
int64_t ReadSingleString(char** out, uint32_t number, bool convert);
int64_t ReadVersionString(char** out, uint32_t number, bool longForm, bool convert);

// Copy the cached texts (filled on first use) into dest, which holds
// `capacity` bytes; a text that does not fit gives the empty string. The
// cached text itself is returned, so callers can hand it out whole.
const char* LoadInfoString(char* dest, int64_t capacity);
const char* LoadVersionText(char* dest, int64_t capacity);
