// Opening the print session (routine 3): the fixed access code it is opened
// with and the interprocess variables it reads the print folders from. The
// session's state lives in print_state.h.
#pragma once

#include <cstddef>

inline constexpr char kPrintAccessCode[] = "VarnelLQM 61QTR04";
inline constexpr char kPrintRootVariable[] = "<>vxPrintRootDirectoryPath";
inline constexpr char kPrintSpoolVariable[] = "<>vxPrintSpoolDirectoryPath";

// The whole access code, byte for byte: `length` bytes (no terminator
// counted), so a text that merely starts with the code does not match.
bool AccessCodeMatches(const char* text, size_t length);
