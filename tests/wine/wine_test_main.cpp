// The Windows test program's entry point. Started as
//   velnara_wine_tests --exit-with STATUS MARKER
// it is the child of the process-exit test instead: it ends itself through
// the backend's ExitProcess, whose atexit handler creates MARKER.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/win32_system.h"

namespace {

std::string gMarker;

void CreateMarker() {
  if (std::FILE* file = std::fopen(gMarker.c_str(), "w")) std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--exit-with") == 0) {
    gMarker = argv[3];
    std::atexit(CreateMarker);
    velnara::platform::win32::Win32System().ExitProcess(std::atoi(argv[2]));
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
