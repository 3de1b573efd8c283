#pragma once

#include "platform/PlatformTestSupport.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <string>

namespace velmora::test {

// The folders of an in-process hand-over: a runtime folder of the test's own (where the
// running instance's window is looked for), the program folder that holds the list
// files, and a folder for the files handed over, with the names of two archives and a
// picture in it.
struct HandOverFolders {
    std::filesystem::path ListFile(const std::string& name) const { return appDir / name; }

    TempDir runtime;
    ScopedEnv xdg{"XDG_RUNTIME_DIR", runtime.str()};
    TempDir appDir;
    TempDir files;
    std::string a = (files / "a.eta").string();
    std::string b = (files / "b.jpg").string();
    std::string c = (files / "c.eta").string();
};

} // namespace velmora::test
