// The path and resource-file commands of the emulated 4D (named_commands.h).
//
// Paths arrive in the emulated platform's syntax and are turned into real
// ones by Host::RealPath, relative ones from the database folder. "Test path
// name" answers as 4D documents it: 1 for a document, 0 for a folder, -43
// (file not found) for anything else.
//
// "Open resource file" (497) reads a classic resource file whole, checks it
// with tools/resfile and answers a document reference (a time value); a
// missing file or one that is not a resource file raises an error, as 4D
// does. "GET RESOURCE" (508) copies a resource's bytes into its BLOB argument,
// from the file named by its fourth argument or, without one, from the most
// recently opened file that has it; a resource found nowhere leaves the BLOB
// as it was, with no error (4D only sets OK to 0).
#include <fstream>
#include <iterator>
#include <mutex>
#include <system_error>

#include "charsets.h"

#include "host.h"
#include "named_commands.h"

namespace lqm::host {
namespace {

constexpr int32_t kTestPathDocument = 1;
constexpr int32_t kTestPathFolder = 0;

void RunTestPathName(CommandContext& c) {
  std::u16string path;
  if (!c.ArgText(0, path)) {
    c.error = kErrorBadParameter;
    return;
  }
  c.host.NotePathTested(path);
  std::optional<std::filesystem::path> real = c.host.RealPath(path);
  std::error_code ec;
  int32_t answer = kErrorFileNotFound;
  if (real) {
    auto status = std::filesystem::status(*real, ec);
    if (!ec && std::filesystem::is_directory(status))
      answer = kTestPathFolder;
    else if (!ec && std::filesystem::exists(status))
      answer = kTestPathDocument;
  }
  c.SetResult(Value::Longint(answer));
}

constexpr int16_t kErrorNotResourceFile = -199;  // the Resource Manager's "map read error"
constexpr int16_t kErrorUnknownReference = -51;  // "bad reference number"
constexpr int32_t kFirstDocumentReference = 0x4000;

void RunOpenResourceFile(CommandContext& c) {
  std::u16string path;
  if (!c.ArgText(0, path)) {
    c.error = kErrorBadParameter;
    return;
  }
  std::optional<std::filesystem::path> real = c.host.RealPath(path);
  std::error_code ec;
  if (!real || !std::filesystem::is_regular_file(*real, ec)) {
    c.error = kErrorFileNotFound;
    return;
  }
  std::ifstream file(*real, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Host::OpenResourceFile opened;
  resfile::ResourceError problem;
  if (!file.good() && !file.eof()) {
    c.error = kErrorFileNotFound;
    return;
  }
  if (!resfile::ReadResourceFile(bytes, &opened.resources, &problem)) {
    c.error = kErrorNotResourceFile;
    return;
  }
  int32_t reference;
  {
    std::lock_guard<std::mutex> lock(c.host.resourceFilesMutex());
    auto& files = c.host.openResourceFiles();
    reference = kFirstDocumentReference + static_cast<int32_t>(files.size());
    opened.reference = reference;
    files.push_back(std::move(opened));
  }
  c.SetResult(Value::Time(reference));
}

void RunGetResource(CommandContext& c) {
  std::u16string typeText;
  int32_t number = 0;
  if (c.args.size() < 3 || !c.ArgText(0, typeText) || !c.ArgLongint(1, number)) {
    c.error = kErrorBadParameter;
    return;
  }
  // The type is four Mac Roman characters, as resource files store it.
  resfile::TypeCode type{};
  if (typeText.size() != 4) {
    c.error = kErrorBadParameter;
    return;
  }
  for (size_t i = 0; i < 4; ++i) {
    const int byte = MacRomanFromUnicode(typeText[i]);
    if (byte < 0) {
      c.error = kErrorBadParameter;
      return;
    }
    type[i] = static_cast<uint8_t>(byte);
  }
  int32_t reference = 0;
  const bool namedFile = c.args.size() >= 4 && c.ArgLongint(3, reference) && reference != 0;
  if (number < -32768 || number > 32767) return;  // no resource has such an id
  std::vector<uint8_t> data;
  bool found = false;
  {
    std::lock_guard<std::mutex> lock(c.host.resourceFilesMutex());
    const auto& files = c.host.openResourceFiles();
    bool referenceKnown = !namedFile;
    for (auto file = files.rbegin(); file != files.rend() && !found; ++file) {
      if (namedFile && file->reference != reference) continue;
      referenceKnown = true;
      if (const resfile::Resource* resource =
              resfile::LookupResource(file->resources, type, static_cast<int16_t>(number))) {
        data = resource->data;
        found = true;
      }
    }
    if (!referenceKnown) {
      c.error = kErrorUnknownReference;
      return;
    }
  }
  if (found) c.SetArg(2, Value::Blob(std::move(data)));
}

}  // namespace

void AddResourceCommands(std::vector<NamedCommand>& rows) {
  rows.push_back({476, "Test path name", RunTestPathName, nullptr});
  rows.push_back({497, "Open resource file", RunOpenResourceFile, nullptr});
  rows.push_back({508, "GET RESOURCE", RunGetResource, nullptr});
}

}  // namespace lqm::host
