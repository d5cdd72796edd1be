#pragma once
// A scanned tree as text, for comparing with an expected one.

#include <string>

#include "engine/FileTree.h"

namespace engine_test {

// "name size attr" per entry (attributes in hex), each level below `dir`
// indented by two more blanks, folders' entries right after the folder.
std::string Dump(const TCustomDir& dir);

}  // namespace engine_test
