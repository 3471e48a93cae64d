// zevpactd: a placeholder; the action daemon serves no platform of this product.
#include <cstdio>

int main(int argc, char**) {
  std::fputs("Action Deamon only needed on HPUX 10.20.\n\n", stdout);
  return argc + 1;
}
