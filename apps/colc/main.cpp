#include <cstdio>

int main() {
  std::puts("colc");
  return 0;
}
