// Prints the folders the program falls back on when none is given, as seen from the
// folder this probe is run from (a copy of it beside a copied program).
#include "integration/DirMonitor.h"
#include "store/LibraryFiles.h"

#include <iostream>

int main()
{
    std::cout << "data folder: " << velmora::GetDataDir() << "\n"
              << "monitor folder: " << velmora::DefaultMonitorDir() << "\n";
    return 0;
}
