// make_demo_db <BaseDir>: writes the demo database and System/Hardware.ini below BaseDir.
#include <iostream>
#include <string>

#include "support/archiver.h"
#include "tools/make_demo_db/demo_database.h"
#include "tools/make_demo_db/demo_parts.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_demo_db <BaseDir>\n";
    return 2;
  }
  std::string error;
  if (!MakeDemoDatabase(Archiver(), argv[1], error)) {
    std::cerr << "make_demo_db: " << error << "\n";
    return 1;
  }
  std::cout << "make_demo_db: " << kDemoPartCount << " parts written below " << argv[1] << "\n";
  return 0;
}
