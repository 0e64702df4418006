// Running 4D's own commands by name: the resource commands the plugin needs
// on every resource access and the platform questions of discovery.
//
// Each runner looks the command's number up (three of them once per
// initialisation, kept in this layer's cache), builds its argument variables,
// runs it, reads back what it names after checking the kind, and releases
// every variable and converted text on every path.
#pragma once

#include <cstdint>

// Clear the cache of command numbers: -1 and -2 each start it afresh.
void NamedCommandsInit();
void NamedCommandsShutdown();

// The 4D command number of an ASCII/UTF-8 name; 0 when the name cannot be
// converted.
int32_t LookUpCommandId(const char* name);

// "Test Path Name": 1 document, 0 folder, other values as 4D gives them cut
// to 16 bits; 65535 when the command is unavailable or fails.
uint16_t RunTestPathName(const char* path);
// "Open resource file": the document reference, 0 on failure.
int32_t RunOpenResourceFile(const char* path);
// "GET RESOURCE": the resource's bytes copied into a new C-heap buffer of
// length + extra bytes (*data, *length = data bytes). False when nothing was
// found: the command is unavailable, fails, or gives an empty BLOB.
bool RunGetResource(const char* type, uint32_t number, char** data, int64_t* length, int64_t extra);

// "PLATFORM PROPERTIES": fills up to three values in order, stopping at the
// first that does not come back as a longint; returns how many were read
// (0 when the command ran and failed), or -1 when 4D has no such command.
int RunPlatformProperties(int32_t values[3]);
// "Is macOS", "Is compiled mode": false in *value and false returned when the
// command is unavailable, fails or gives no boolean.
bool RunBooleanCommand(const char* name, bool* value);
// "Application type": false when unavailable, failing or not a longint.
bool RunLongintCommand(const char* name, int32_t* value);
