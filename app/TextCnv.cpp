// Entry point of the window program. The window itself is still to come;
// until then this says so instead of pretending to work.
#include <cstdio>

int main() {
  std::puts("TextCnv: the main window is not built yet. Use textcnv-batch FOLDER meanwhile.");
  return 0;
}
