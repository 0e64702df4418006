// The print session: opened by routine 3 with a fixed access code and a
// session key, and the two folder paths that 4D code keeps in interprocess
// variables.
//
// State lives in frame/state.h: gPrintSessionOpen, gSessionKey (never null
// while gPluginReady), gPrintRootDirectory and gPrintSpoolDirectory (null
// until read; once read, kept until the next initialisation). A session is
// never closed by a command other than routine 3 itself; between shutdown
// and the next initialisation no session is usable whatever the flag says,
// because the texts behind it have been released.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr char kPrintAccessCode[] = "VarnelLQM 61QTR04";
inline constexpr char kDefaultSessionKey[] = "VarnelLQM";
inline constexpr char kPrintRootVariable[] = "<>vxPrintRootDirectoryPath";
inline constexpr char kPrintSpoolVariable[] = "<>vxPrintSpoolDirectoryPath";

// The whole access code, byte for byte: `length` bytes (no terminator
// counted), so a text that merely starts with the code does not match.
bool AccessCodeMatches(const char* text, size_t length);

// True when the slot commands may use the session's texts: the plugin is
// initialised and a session is open.
bool PrintSessionUsable();

// Reads a text variable into `target` unless it already holds a text. False
// when the variable does not exist, is not a text or cannot be copied.
bool ReadTextVariableOnce(char*& target, const char* name);
