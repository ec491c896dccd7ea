#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/D2xx.h"

namespace veska::platform {

/// Where a tracing backend writes its lines: (name, body). The default is EmitTraceLine.
using TraceSink = std::function<void(const std::string& name, const std::string& body)>;

/// A D2xx that forwards every call to inner and writes one trace line per call: the call,
/// its arguments and bytes (written bytes before the call, read bytes after it) and its
/// result, e.g. "FT_Write(h=1, 1) >> E1 -> FT_OK, 1 written". inner must outlive it.
std::unique_ptr<D2xx> MakeTracingD2xx(D2xx& inner, std::string name, TraceSink sink = {});

}  // namespace veska::platform
