#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace veska::platform {

SharedLibrary::SharedLibrary(const std::string& path) {
    // Never unmapped: a driver library may keep threads and objects of its own past the
    // last close, and code that vanishes under them is a crash at exit.
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle_ == nullptr) {
        const char* why = ::dlerror();
        error_ = why != nullptr ? why : "cannot load " + path;
    }
}

SharedLibrary::~SharedLibrary() {
    if (handle_ != nullptr) ::dlclose(handle_);
}

void* SharedLibrary::Symbol(const char* name) const {
    return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace veska::platform
