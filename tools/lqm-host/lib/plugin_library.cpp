// Platform loader for the plugin library (plugin_library.h).
#include "plugin_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace lqm::host {

namespace {
constexpr const char* kEntryPointName = "FourDPackex";
}

PluginLibrary::~PluginLibrary() { Unload(); }

bool PluginLibrary::Load(const std::filesystem::path& path, std::string& error) {
  Unload();
#if defined(_WIN32)
  HMODULE module = LoadLibraryW(path.wstring().c_str());
  if (!module) {
    error = "cannot load " + path.u8string() + " (Windows error " +
            std::to_string(GetLastError()) + ")";
    return false;
  }
  FARPROC symbol = GetProcAddress(module, kEntryPointName);
  if (!symbol) {
    FreeLibrary(module);
    error = path.u8string() + " does not export " + kEntryPointName;
    return false;
  }
  module_ = module;
  entry_ = reinterpret_cast<abi::EntryPointFunction>(reinterpret_cast<void*>(symbol));
#else
  // RTLD_LOCAL: like 4D, keep the plugin's symbols to itself. RTLD_NODELETE
  // keeps the code mapped after dlclose, so that a leak found at exit by the
  // sanitizers still has the plugin's function names in its stack.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!module) {
    const char* why = dlerror();
    error = "cannot load " + path.string() + ": " + (why ? why : "unknown error");
    return false;
  }
  void* symbol = dlsym(module, kEntryPointName);
  if (!symbol) {
    dlclose(module);
    error = path.string() + " does not export " + kEntryPointName;
    return false;
  }
  module_ = module;
  entry_ = reinterpret_cast<abi::EntryPointFunction>(symbol);
#endif
  return true;
}

void PluginLibrary::Attach(abi::EntryPointFunction entryPoint) {
  Unload();
  entry_ = entryPoint;
}

void PluginLibrary::Unload() {
  entry_ = nullptr;
  if (!module_) return;
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(module_));
#else
  dlclose(module_);
#endif
  module_ = nullptr;
  entry_ = nullptr;
}

}  // namespace lqm::host
