// The resource source language and its compiler. The printer that writes
// resources back in it is source_printer.h; the lqm-rescomp command line is
// rescomp_command.h.
//
// A source is UTF-8 text of statements, free in layout (a statement may span
// lines; `#` starts a comment that runs to the end of the line; `;` between
// items is allowed and ignored):
//
//   resource TYPE ID [NAME] [ATTRIBUTE...] [sealed KEY] BODY
//
//   TYPE       a string of exactly 4 Mac Roman bytes: "STR#"
//   ID         -32768..32767 (decimal, or 0x hex)
//   NAME       a string
//   ATTRIBUTE  sysheap | purgeable | locked | protected | preload
//              | attributes NUMBER (the raw byte)
//   BODY       string [utf8] STRING...   "STR ": one Pascal string
//              strings [utf8] {...}      "STR#": a counted list of STRINGs
//              version { FIELD... }      "vers"; fields: number M.m.b,
//                                        stage development|alpha|beta|final,
//                                        prerelease N, region N, short STRING,
//                                        long STRING (only number required)
//              text STRING...            the bytes in Mac Roman
//              utf8 STRING...            the bytes in UTF-8, unconverted
//              hex { 00 01 ff ... }      raw bytes (pairs may run together)
//              file STRING               a file's bytes; relative paths are
//                                        taken from the source's folder
//
// Strings are double-quoted on one line, with escapes \" \\ \n \r \t and
// \u{HEX} (a code point); consecutive strings after string/text/utf8 join.
// Every text that goes into the file, names and types included, is converted
// to Mac Roman; a character without a Mac Roman form is an error. The
// exceptions are `utf8` bodies and `string utf8` / `strings utf8`, whose
// strings are stored as their UTF-8 bytes (still at most 255 bytes each), for
// resources that a reader hands on unconverted as UTF-8.
//
// A compile stops at the first fault and reports it as "SOURCE:LINE: what";
// the caller writes nothing. Sealing (`sealed KEY`) encrypts the body's bytes
// through CompileOptions::seal; without one, `sealed` is an error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "resfile/resfile.h"

namespace resfile {

// Replaces *data with its sealed form; false with *error set on failure.
using SealFunction = bool (*)(const std::string& key, std::vector<uint8_t>* data,
                              std::string* error);

struct CompileOptions {
  // Where `file` paths are resolved from; empty means the folder of the
  // source name.
  std::string baseDirectory;
  SealFunction seal = nullptr;
};

struct CompileResult {
  bool ok = false;
  std::string message;  // "SOURCE:LINE: what is wrong", or "SOURCE: ..." when no line applies
  int line = 0;
  std::vector<Resource> resources;  // in source order
  std::vector<uint8_t> fileBytes;   // the resource file
};

CompileResult CompileResourceSource(std::string_view text, const std::string& sourceName,
                                    const CompileOptions& options = CompileOptions{});

}  // namespace resfile
