// The people-facing commands of lqm-host: `call` (one plugin command with a
// compact argument syntax), `help` (the command reference) and `where` (where
// the plugin looks for its bundle; lib/where.cpp), as functions
// over argument lists and streams so that the tests run them in-process on
// both builds, exactly as main.cpp does.
//
// Argument syntax of `call`, one shell word per parameter. A word is read as
// the type the command table declares for its position, unless it carries a
// type prefix:
//   L:5  I:2  R:1.5  H:3600 (time)  B:true  T:text  O:<blob>
//   BLOBs:   text:123456789  hex:414243  base64:QUJD  @FILE  (else the word's bytes)
//   arrays (for variable parameters):  LA:1,2,3  IA:1,2  RA:1.5  TA:a,b  (element 0
//            is added), LA: for an empty array; U for an undefined variable
//   or a JSON typed value of the session protocol: {"longint_array":[0,1300]}
// A word that does not fit its type is refused before the plugin is loaded,
// with a message naming the argument: argument 2 (model, integer): 'x' is not a number.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "frame/command_table.h"
#include "host.h"
#include "values.h"

namespace lqm::host {

// Options shared by session, demo and call.
struct HostOptions {
  bool init = true;
  std::string platform;  // "", "windows", "macos" or "unknown"
  std::string appFolder;
  std::string plugin;
  std::string out;  // call: where a BLOB result goes
  std::vector<std::string> positional;
};

// The value of the option at words[i] (the next word), moving i onto it;
// false with a message when the option is the last word.
bool TakeOptionValue(const std::vector<std::string>& words, size_t& i, std::string& into, std::string& error);

// Splits options from positional words; false with a message.
bool ParseHostOptions(const std::vector<std::string>& words, HostOptions& options, std::string& error);

// Applies the options to a host, loads the plugin and (unless --no-init)
// sends the initialising selector; false with a message.
bool PrepareHost(Host& host, const HostOptions& options, std::string& error);

// Reads one `call` word for a parameter of the given table letter (L I T O Y,
// or 0 when the table has no row for it); false with the reason, which does
// not name the argument (the caller does).
bool ParseCallArgument(const std::string& word, char declared, Value& out, std::string& error);

// Splits a command table's typical call into `call` words: words are
// separated by spaces, and a word holding spaces is quoted with '...'.
std::vector<std::string> SplitCallWords(std::string_view line);

// The typical call of a command table row as parameter values, read as
// `call` reads its words; false with a message naming the argument.
bool ParseTypicalCall(const CommandInfo& row, std::vector<Value>& args, std::string& error);

// `lqm-host call NAME|NUMBER [ARG ...] [options]`: `words` are the words after
// "call". Prints the outcome to `out`, faults to `err`. Exit code: 0 success,
// 1 wrong arguments or a failed call, 2 when the plugin cannot be loaded.
int RunCall(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

// `lqm-host help [NAME]`: without a name the usage and the command list,
// with one the command's reference entry. Exit code 0, or 1 for an unknown name.
int RunHelp(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

// `lqm-host where --app-type N --database DIR [--compiled] [--platform
// windows|macos] [--plugin PATH]`: loads the plugin as that kind of 4D
// application with DIR as its database folder, lets it run its discovery and
// prints where it looked for its bundle. Exit code: 0 found, 1 not found
// (also for an application type the plugin refuses), 2 bad arguments or a
// plugin that cannot be loaded.
int RunWhere(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

// The usage text of lqm-host.
extern const char kUsage[];

}  // namespace lqm::host
