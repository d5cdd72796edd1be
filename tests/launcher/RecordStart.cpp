// A stand-in for the main program and for an installer: records that it was
// started, with how many arguments, in "<its path>.started", then ends.

#include <fstream>

int main(int argc, char** argv) {
  std::ofstream(std::string(argv[0]) + ".started") << "arguments=" << argc - 1 << '\n';
  return 0;
}
