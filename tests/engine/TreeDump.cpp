#include "TreeDump.h"

#include <sstream>

namespace engine_test {

namespace {

void Dump(const TCustomDir& dir, std::ostringstream& out, int indent = 0) {
  for (int i = 0; i < dir.Count(); ++i) {
    const TCustomFile* f = dir.Files(i);
    out << std::string(static_cast<std::size_t>(indent) * 2, ' ') << f->Name().string() << ' '
        << f->Size() << ' ' << std::hex << int{f->Attr()} << std::dec << '\n';
    if (auto* sub = dynamic_cast<const TCustomDir*>(f)) Dump(*sub, out, indent + 1);
  }
}

}  // namespace

std::string Dump(const TCustomDir& dir) {
  std::ostringstream out;
  Dump(dir, out);
  return out.str();
}

}  // namespace engine_test
