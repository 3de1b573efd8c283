#include "app/Entry.h"

int main(int argc, char** argv)
{
    return velmora::RunVelmora(argc, argv);
}
