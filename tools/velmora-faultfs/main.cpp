// velmora-faultfs: serves a folder read-only through FUSE and fails reads of
// chosen byte ranges with EIO, so that the copier can be tested on a damaged
// "disc" without one. See README.md beside this file.

#include <fuse.h>
#include <sys/prctl.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "FaultFs.h"

namespace {

constexpr const char* Usage =
    "usage: velmora-faultfs [OPTIONS] SOURCE MOUNTPOINT [FUSE OPTIONS]\n"
    "Serves SOURCE read-only at MOUNTPOINT; reads touching listed byte ranges fail with EIO.\n"
    "\n"
    "  --faults FILE         fault list (see below); none: a faultless mirror\n"
    "  --image ISO           serve each file's bytes from this ISO 9660 image (built from\n"
    "                        SOURCE, which gives names and sizes); a file the image does\n"
    "                        not hold with the same size cannot be opened\n"
    "  --stats FILE          read attempts per bad range, rewritten atomically after each\n"
    "                        counted read and at unmount\n"
    "  --trace FILE          one line per read request: PATH OFFSET SIZE BYTES|EIO\n"
    "  --read-delay-us N     wait N microseconds in every read request (drive command time)\n"
    "  --fail-delay-us N     wait N microseconds in a failed read request instead\n"
    "  -f                    stay in the foreground\n"
    "  -o subtype=iso9660    show the mount as fuse.iso9660 (an optical disc)\n"
    "  -o fsname=NAME        the mount's source column\n"
    "\n"
    "Fault list, one fault a line, # starts a comment, paths as seen in the mount:\n"
    "  bad PATH START END [TIMES]   reads touching bytes START..END-1 of file PATH fail;\n"
    "                               with TIMES only the first TIMES read requests fail\n"
    "                               (0: never fail, only count). Numbers are byte offsets,\n"
    "                               decimal or 0x hex; a suffix s counts 2048-byte sectors\n"
    "  unreadable PATH [EIO|EACCES] PATH cannot be listed (folder) or opened (file), and\n"
    "                               nothing below it can be looked up (default EIO)\n"
    "  A PATH with blanks is written in double quotes, with \\\" and \\\\ inside.\n"
    "The file system always runs single-threaded, read-only, with direct_io.\n";

struct Arguments {
  char* faults = nullptr;
  char* stats = nullptr;
  char* trace = nullptr;
  char* image = nullptr;
  unsigned long readDelayUs = 0;
  unsigned long failDelayUs = 0;
  int help = 0;
  std::optional<std::string> source;

  Arguments() = default;
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;
  ~Arguments() {  // fuse_opt_parse strdup()s the %s values
    std::free(faults);
    std::free(stats);
    std::free(trace);
    std::free(image);
  }
};

#define VELMORA_OPT(templ, field) \
  { templ, offsetof(Arguments, field), 0 }
const fuse_opt OptionSpecs[] = {VELMORA_OPT("--faults=%s", faults),
                                VELMORA_OPT("--faults %s", faults),
                                VELMORA_OPT("--stats=%s", stats),
                                VELMORA_OPT("--stats %s", stats),
                                VELMORA_OPT("--trace=%s", trace),
                                VELMORA_OPT("--trace %s", trace),
                                VELMORA_OPT("--image=%s", image),
                                VELMORA_OPT("--image %s", image),
                                VELMORA_OPT("--read-delay-us=%lu", readDelayUs),
                                VELMORA_OPT("--read-delay-us %lu", readDelayUs),
                                VELMORA_OPT("--fail-delay-us=%lu", failDelayUs),
                                VELMORA_OPT("--fail-delay-us %lu", failDelayUs),
                                {"-h", offsetof(Arguments, help), 1},
                                {"--help", offsetof(Arguments, help), 1},
                                FUSE_OPT_END};
#undef VELMORA_OPT

// The first free-standing argument is SOURCE (ours); the second, the mount
// point, goes on to FUSE.
int TakeSource(void* data, const char* arg, int key, fuse_args*) {
  auto& arguments = *static_cast<Arguments*>(data);
  if (key == FUSE_OPT_KEY_NONOPT && !arguments.source) {
    arguments.source = arg;
    return 0;
  }
  return 1;
}

std::filesystem::path Absolute(const char* path) {
  return path ? std::filesystem::absolute(path) : std::filesystem::path();
}

int Fail(const std::string& message) {
  std::cerr << "velmora-faultfs: " << message << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  fuse_args args = FUSE_ARGS_INIT(argc, argv);
  struct FreeArgs {
    fuse_args& args;
    ~FreeArgs() { fuse_opt_free_args(&args); }
  } freeArgs{args};
  Arguments arguments;
  if (fuse_opt_parse(&args, &arguments, OptionSpecs, &TakeSource) != 0) return 1;
  if (arguments.help) {
    std::cout << Usage << std::endl;
    fuse_opt_add_arg(&args, "--help");
    args.argv[0][0] = '\0';  // FUSE prints its options without a usage line of its own
    fuse_main(args.argc, args.argv, &faultfs::FaultFs::Operations(), nullptr);
    return 0;
  }
  if (!arguments.source) {
    std::cerr << Usage;
    return 1;
  }

  try {
    faultfs::Options options;
    // Absolute, because FUSE moves to / when it goes into the background.
    options.source = std::filesystem::canonical(*arguments.source);
    if (!std::filesystem::is_directory(options.source))
      return Fail(options.source.string() + " is not a folder");
    options.statsFile = Absolute(arguments.stats);
    options.traceFile = Absolute(arguments.trace);
    options.image = Absolute(arguments.image);
    options.readDelay = std::chrono::microseconds(arguments.readDelayUs);
    options.failDelay = std::chrono::microseconds(arguments.failDelayUs);
    faultfs::FaultList faults;
    if (arguments.faults) {
      std::ifstream in(arguments.faults, std::ios::binary);
      if (!in) return Fail(std::string("cannot read fault list ") + arguments.faults);
      faults = faultfs::ParseFaultList(std::string(std::istreambuf_iterator<char>(in), {}),
                                       options.source);
    }
    faultfs::FaultFs fs(std::move(options), std::move(faults));

    // Short sleeps (a 300 us drive command time) should not grow by the default 50 us slack.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // One thread keeps attempt counting and the order of requests simple; a
    // drive serves one command at a time anyway.
    fuse_opt_add_arg(&args, "-s");
    fuse_opt_add_arg(&args, "-oro");
    return fuse_main(args.argc, args.argv, &faultfs::FaultFs::Operations(), &fs);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
