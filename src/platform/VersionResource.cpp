#include "platform/VersionResource.h"

namespace velmora {

std::string ProductName()
{
    return VELMORA_PRODUCT_NAME;
}

std::string ProductVersion()
{
    return VELMORA_VERSION;
}

int ProductMajorVersion()
{
    return VELMORA_VERSION_MAJOR;
}

int ProductMinorVersion()
{
    return VELMORA_VERSION_MINOR;
}

std::string LegalCopyright()
{
    return VELMORA_COPYRIGHT;
}

std::string ProductWebSite()
{
    return VELMORA_WEB_SITE;
}

} // namespace velmora
