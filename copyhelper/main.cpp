// Copies an update over an installed program; started with the rights needed to do so.
//   copyhelper SOURCE DESTINATION
// Exit code 0 when the copy succeeded, 1 when it failed six times or the source is not a
// plain file.
#include "tolvek/self_update.h"

int main(int argc, char** argv) {
  return tolvek::CopyHelperRun(argc > 1 ? argv[1] : "", argc > 2 ? argv[2] : "");
}
