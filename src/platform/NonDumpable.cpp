#include "platform/NonDumpable.h"

#include <cerrno>
#include <sys/prctl.h>
#include <system_error>

namespace velmora {

void MakeProcessNonDumpable()
{
    if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot keep this program out of core dumps");
}

} // namespace velmora
