#include <string>
#include <vector>

#include "server/entry.h"

int main(int argc, char** argv) { return vell::Main(std::vector<std::string>(argv + 1, argv + argc)); }
