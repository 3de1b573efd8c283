#pragma once

#include <string>
#include <sys/types.h>

namespace velmora::test {

// A private X server (Xvfb) on a display number it picks itself, for tests that need
// what the offscreen platform does not have: other X clients, real drags between
// programs. Construct it before the application; it ends the server when it goes.
class VirtualDisplay {
public:
    VirtualDisplay(int width, int height);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N" once the server accepts clients; empty when it could not be started.
    const std::string& Name() const { return m_name; }

private:
    pid_t m_server = -1;
    std::string m_name;
};

} // namespace velmora::test
