#pragma once
// ISO images made for the tests from one small tree, each attached to a loop
// device once per test program and detached at its end.
//
// The tree (WriteTree) holds:
//   ReadMe.Txt                            5000 bytes, mixed case, ends inside its third sector
//   Exact.bin                             4096 bytes, two whole sectors
//   Empty.dat                             0 bytes
//   Case.txt, CASE.TXT                    1 and 2 bytes: names that differ only in case
//   Docs/Report2009.PDF                   10000 bytes, longer than an 8.3 name
//   Docs/Deep/a/b/c/d/e/f/g/h/Leaf.txt    3000 bytes, nine folders deep
//
// The images:
//   "rr-joliet"  genisoimage -R -J          (deep folders relocated to rr_moved)
//   "joliet"     genisoimage -J             (no Rock Ridge)
//   "plain"      genisoimage -iso-level 2 -D (neither; deep nesting kept)
//   "xorriso"    xorriso -as mkisofs -R -J  (libisofs' Rock Ridge layout)
//   "sections"   genisoimage -iso-level 2 over A.BIN (3000 bytes), B.BIN (6144) and
//                I.BIN (2048), with the root records edited afterwards: the first
//                "A.BIN;1" record is a multi-extent section holding B's sectors and
//                B's record is renamed "A.BIN;1" holding A's, so "a.bin" is B's
//                bytes followed by A's, in the directory's order, not the disc's;
//                I.BIN's record is marked interleaved (file unit size 1).

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "LoopDevice.h"

namespace isotest {

// The bytes of a tree file, the same for every call with the same path;
// never zero, so a zero run shows exactly where a sector was replaced.
std::string ContentOf(const std::string& relativePath, std::size_t size);
// The original bytes of a file of the tree (or of the "sections" tree).
std::string TreeFile(const std::string& relativePath);
void WriteTree(const std::filesystem::path& root);

struct Disc {
  std::filesystem::path image;
  std::unique_ptr<testsupport::LoopDevice> loop;
};

struct Discs {
  std::string error;  // why the images or loop devices could not be set up
  std::map<std::string, Disc> byName;
  const Disc& operator[](const std::string& name) const { return byName.at(name); }
};

// Made on first use; loop devices are detached when the program ends.
const Discs& TheDiscs();

}  // namespace isotest
