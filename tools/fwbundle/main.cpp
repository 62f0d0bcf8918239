// fwbundle: builds a shippable upgrade program by appending a bundle to fwupgrade, and lists one.
#include "tools/fwbundle/BundleTool.h"

#include <iostream>

int main(int argc, char** argv)
{
    return runBundleTool({argv + 1, argv + argc}, std::cout, std::cerr);
}
