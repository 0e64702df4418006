// Loading the plugin library the way 4D does: the platform's dynamic loader
// (dlopen, LoadLibraryW) and the entry point looked up by its exact name.
// This is the development host's only platform seam besides the executable's
// own path (host.cpp).
#pragma once

#include <filesystem>
#include <string>

#include "host/host_abi.h"

namespace lqm::host {

class PluginLibrary {
 public:
  PluginLibrary() = default;
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Loads the library and finds FourDPackex; false with a message otherwise.
  bool Load(const std::filesystem::path& path, std::string& error);
  void Unload();
  // Uses an entry point of the running program; nothing is loaded.
  void Attach(abi::EntryPointFunction entry);
  bool IsLoaded() const { return entry_ != nullptr; }
  abi::EntryPointFunction entry() const { return entry_; }

 private:
  void* module_ = nullptr;
  abi::EntryPointFunction entry_ = nullptr;
};

}  // namespace lqm::host
