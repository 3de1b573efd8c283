// Adds files and folders to a library the way a drop on the item list does, for
// tests that need the import to run as another user. Each message the import shows
// goes to standard output, ended by a NUL byte.
//   catalogue_import_helper DATA_DIR MODE PATH...   (the password in VELMORA_PASSWORD)
#include "catalogue/Categories.h"
#include "catalogue/FileImport.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/ProgressRoutines.h"
#include "store/Library.h"
#include "store/LibraryFiles.h"
#include "store/ObjectStore.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

class PrintedMessages : public velmora::MessageBoxes {
public:
    int ShowMessageBox(const std::string& text, int) override
    {
        std::cout << text << '\0' << std::flush;
        return velmora::mb::kResultOk;
    }
};

} // namespace

int main(int argc, char** argv)
{
    using namespace velmora;
    const char* password = std::getenv("VELMORA_PASSWORD");
    if (argc < 4 || password == nullptr) {
        std::cerr << "usage: VELMORA_PASSWORD=... catalogue_import_helper DATA_DIR MODE PATH...\n";
        return 2;
    }
    try {
        SetDataDir(argv[1]);
        int mode = std::stoi(argv[2]);
        const std::vector<std::string> paths(argv + 3, argv + argc);
        Library library;
        library.Open();
        if (!library.VerifyPassword(password, true)) {
            std::cerr << "wrong password\n";
            return 2;
        }
        NullProgress progress;
        PrintedMessages messages;
        FileImport import(library, progress, messages);
        import.AddFileList(kUnclassifiedId, paths, false, false, mode);
        ObjectStore::ForThisThread().Close();
        return 0;
    } catch (const std::exception& failure) {
        std::cerr << failure.what() << '\n';
        return 1;
    }
}
