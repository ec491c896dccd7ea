#pragma once
#include <string>

namespace veska::platform {

/// A shared library loaded at run time (dlopen with local symbols), unloaded with the object.
class SharedLibrary {
  public:
    /// Loads the library at path (a file name alone is searched as the dynamic loader does).
    explicit SharedLibrary(const std::string& path);
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    /// Why the library could not be loaded; "" when it was.
    const std::string& Error() const { return error_; }
    /// The address of the symbol name in this library; null when it has none.
    void* Symbol(const char* name) const;

  private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace veska::platform
