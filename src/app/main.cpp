#include "app/Entry.h"
#include "platform/NonDumpable.h"

#include <iostream>
#include <system_error>

int main(int argc, char** argv)
{
    // Before a password is typed or a library key exists in memory.
    try {
        velmora::MakeProcessNonDumpable();
    } catch (const std::system_error& refused) {
        std::cerr << "velmora: " << refused.what() << '\n';
        return 1;
    }
    return velmora::RunVelmora(argc, argv);
}
