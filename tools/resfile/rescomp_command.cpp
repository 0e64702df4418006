// The lqm-rescomp command line (rescomp_command.h): build, list and dump.
#include "resfile/rescomp_command.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <system_error>

#include "resfile/mac_roman.h"
#include "resfile/source_printer.h"
#include "resfile/source_syntax.h"

namespace resfile {

namespace {

bool ReadWholeFile(const std::string& name, std::vector<uint8_t>* bytes, std::ostream& err) {
  std::ifstream in(std::filesystem::u8path(name), std::ios::binary);
  if (!in) {
    err << name << ": cannot open\n";
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    err << name << ": read error\n";
    return false;
  }
  return true;
}

int Build(const std::string& source, const std::string& output, std::ostream& err,
          const CompileOptions& options) {
  namespace fs = std::filesystem;
  std::vector<uint8_t> text;
  if (!ReadWholeFile(source, &text, err)) return 2;
  const CompileResult result = CompileResourceSource(
      std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), source, options);
  if (!result.ok) {
    err << result.message << "\n";
    return 1;
  }
  // Written beside the output and renamed, so that a failed or interrupted
  // build never leaves a partial file under the output's name.
  const fs::path target = fs::u8path(output);
  fs::path temporary = target;
  temporary += ".rescomp-partial";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(result.fileBytes.data()),
              static_cast<std::streamsize>(result.fileBytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      err << output << ": cannot write\n";
      return 2;
    }
  }
  std::error_code ec;
  fs::rename(temporary, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    err << output << ": cannot replace: " << ec.message() << "\n";
    return 2;
  }
  return 0;
}

bool LoadResourceFile(const std::string& name, std::vector<Resource>* resources, std::ostream& err,
                      int* exitCode) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(name, &bytes, err)) {
    *exitCode = 2;
    return false;
  }
  ResourceError error;
  if (!ReadResourceFile(bytes, resources, &error)) {
    err << name << ": damaged resource file: " << error.message << "\n";
    *exitCode = 1;
    return false;
  }
  return true;
}

constexpr const char* kUsage =
    "usage: lqm-rescomp build SOURCE -o OUTPUT\n"
    "       lqm-rescomp list FILE\n"
    "       lqm-rescomp dump FILE [TYPE ID]\n";

}  // namespace

int RunResourceCompiler(const std::vector<std::string>& arguments, std::ostream& out,
                        std::ostream& err, const CompileOptions& options) {
  const size_t count = arguments.size();
  const std::string command = count > 0 ? arguments[0] : "";
  if (command == "build" && count == 4 && arguments[2] == "-o") {
    return Build(arguments[1], arguments[3], err, options);
  }
  if (command == "build" && count == 4 && arguments[1] == "-o") {
    return Build(arguments[3], arguments[2], err, options);
  }
  if ((command == "list" && count == 2) || (command == "dump" && (count == 2 || count == 4))) {
    std::vector<Resource> resources;
    int exitCode = 0;
    if (!LoadResourceFile(arguments[1], &resources, err, &exitCode)) return exitCode;
    if (command == "list") {
      out << FormatResourceList(resources);
      return 0;
    }
    if (count == 2) {
      for (const Resource& r : resources) out << FormatResourceSource(r);
      return 0;
    }
    std::string type;
    MacRomanFailure failure;
    long id;
    if (!Utf8ToMacRoman(arguments[2], &type, &failure) || type.size() != 4) {
      err << "type \"" << arguments[2] << "\" is not 4 Mac Roman characters\n";
      return 2;
    }
    if (!syntax::ParseInteger(arguments[3], -32768, 32767, &id)) {
      err << "id \"" << arguments[3] << "\" is not a number from -32768 to 32767\n";
      return 2;
    }
    TypeCode code;
    std::copy_n(type.begin(), code.size(), code.begin());
    const Resource* found = LookupResource(resources, code, static_cast<int16_t>(id));
    if (found == nullptr) {
      err << arguments[1] << ": no resource " << DescribeTypeCode(code) << " " << id << "\n";
      return 1;
    }
    out << FormatResourceSource(*found);
    return 0;
  }
  err << kUsage;
  return 2;
}

}  // namespace resfile
