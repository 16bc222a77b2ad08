// Owning stdio stream: fclose on destruction.
#pragma once

#include <cstdio>
#include <memory>

namespace plix {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};

/// A stdio stream closed when the owner goes away.
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace plix
