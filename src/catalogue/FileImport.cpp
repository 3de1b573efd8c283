#include "catalogue/FileImport.h"

#include "catalogue/Categories.h"
#include "catalogue/LibraryRecovery.h"
#include "catalogue/SecureDelete.h"
#include "store/AddBatch.h"
#include "store/Cryptography.h"
#include "store/SourceFile.h"
#include "store/Library.h"
#include "store/LibraryPassword.h"
#include "store/MediaExtensions.h"
#include "store/NewItem.h"
#include "store/ObjectStore.h"
#include "store/RecoveryCopy.h"
#include "ui/MessageBoxes.h"
#include "ui/ProgressRoutines.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace velmora {

namespace fs = std::filesystem;

namespace {

// No content may be stored under a key that leaves it readable.
bool UsableKey(const std::string& password)
{
    return !password.empty() && password != TCryptography::kDefaultKey;
}

bool IsFolder(const std::string& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

bool Hidden(const fs::path& entry)
{
    const std::string name = entry.filename().string();
    return !name.empty() && name.front() == '.';
}

// The add's message for a file or folder that cannot be opened.
void ReportOpenError(MessageBoxes& messages, const std::string& path, const std::string& reason)
{
    messages.ShowMessageBox("There was an error whilst attempting to open the file: " + path +
                                "\n\r\n\rException: " + reason,
                            mb::kOk);
}

} // namespace

FileImport::FileImport(Library& library, ProgressRoutines& progress, MessageBoxes& messages)
    : m_library(library), m_progress(progress), m_messages(messages), m_deletion(library.MainConnection())
{
}

FileImport::~FileImport() = default;

FileImport::Batch::Batch(FileImport& import, int items) : m_import(import)
{
    if (m_import.m_batch)
        throw std::logic_error("A batch of adds is under way already");
    m_import.m_batch = std::make_unique<AddBatch>(ObjectStore::ForThisThread(), items);
}

FileImport::Batch::~Batch()
{
    m_import.m_batch.reset();
}

void FileImport::Batch::Complete()
{
    m_import.m_batch->Complete();
}

FileImport::KeyState FileImport::EnsureLibraryKey()
{
    if (UsableKey(LibraryPassword())) {
        RecoverLibrary(m_library, m_progress, m_messages);
        return KeyState::Held;
    }
    const LibraryKey before = CurrentLibraryKey();
    bool passed = false;
    if (before.password.empty())
        passed = m_library.LoadStoredPassword();
    if (passed && UsableKey(LibraryPassword())) {
        RecoverLibrary(m_library, m_progress, m_messages);
        return KeyState::Loaded;
    }
    if (!passed && before.password.empty() && m_passwordPrompt && !KeepsRecoveryCopy(m_library.MainConnection())) {
        // No copy by the user's choice: asked for; the prompt's acceptance has
        // finished what an interrupted run left. Cancel adds nothing and says nothing.
        SetLibraryKey(before);
        if (m_passwordPrompt() && UsableKey(LibraryPassword()))
            return KeyState::Loaded;
        SetLibraryKey(before);
        return KeyState::Unusable;
    }
    // A stored password that fails the check value must not become the key that later
    // adds (which would find a key held) store content under.
    SetLibraryKey(before);
    m_messages.ShowMessageBox(kNoLibraryKeyMessage, mb::kIconError);
    return KeyState::Unusable;
}

bool FileImport::AddItemFromStream(int categoryId, Stream& source, const std::string& description,
                                   const std::string& fileName, std::int64_t size,
                                   const TCryptography* encryptedWith)
{
    db::Connection& connection = m_library.MainConnection();
    if (!connection.Connected())
        m_library.Open();
    if (size == -1)
        size = source.Size() - source.Position();
    m_progress.SetProgressItem(fileName, static_cast<int>(size / kChunkSize + 1));
    // A category deleted meanwhile gets no link when the item completes.
    const std::optional<int> category =
        categoryId != kUnclassifiedId ? std::optional<int>(categoryId) : std::nullopt;
    if (m_batch) {
        m_lastAdded = m_batch->Add(fileName, description, source, size, category, &m_progress, encryptedWith);
        m_progress.StepProgress();
        return true;
    }
    NewItem item(ObjectStore::ForThisThread(), fileName, description);
    item.Store(source, size, &m_progress, encryptedWith);
    m_progress.StepProgress();
    item.Complete(category);
    m_lastAdded = item.RecordIdent();
    if (m_itemAdded)
        m_itemAdded(*m_lastAdded);
    return true;
}

bool FileImport::AddFile(int categoryId, const std::string& path)
{
    const std::string name = fs::path(path).filename().string();
    if (!IsSupportedMediaFile(name))
        return false;
    try {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        // Opening a pipe or a device would block or read without end.
        if (!error && fs::exists(status) && !fs::is_regular_file(status))
            throw std::runtime_error("\"" + path + "\" is not a regular file");
        SourceFile file(path);
        return AddItemFromStream(categoryId, file, name, name, -1);
    } catch (const std::exception& failure) {
        ReportOpenError(m_messages, path, failure.what());
        return false;
    }
}

void FileImport::AddPath(int categoryId, const std::string& path, int mode)
{
    if (IsFolder(path)) {
        // A link to a folder is only a name for it: its files are stored but never
        // deleted, as a moved file's link target is not.
        std::error_code error;
        AddFolder(categoryId, path, fs::is_symlink(path, error) ? kKeepSources : mode);
        return;
    }
    if (AddFile(categoryId, path) && mode == kDeleteSources)
        SecureDeleteFile(path);
}

void FileImport::AddFolder(int categoryId, const std::string& folder, int mode)
{
    fs::path path(folder);
    while (path.has_relative_path() && !path.has_filename())
        path = path.parent_path();   // "photos/" names the folder "photos"
    const std::string name = path.filename().string();
    if (name.empty() || name == "." || name == "..")
        return;

    // A folder that cannot be read is passed over with the add's message, before it
    // becomes a category: the rest of the import goes on.
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    fs::directory_iterator it(path, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error))
        if (!Hidden(it->path()))
            entries.push_back(*it);
    if (error) {
        ReportOpenError(m_messages, folder, "Cannot open folder \"" + folder + "\": " + error.message());
        return;
    }

    const int id = InsertCategory(m_library.MainConnection(), categoryId, name);
    if (m_categoryAdded)
        m_categoryAdded(CategoryNode{id, categoryId, name, {}});
    m_progress.SetProgressTotal("Please Wait", static_cast<int>(entries.size()));

    for (const auto& entry : entries) {
        if (m_progress.ProgressCancelled())
            break;
        std::error_code error;
        if (entry.is_directory(error)) {
            // A link to a folder may lead back up the tree: not followed.
            if (!entry.is_symlink(error))
                AddFolder(id, entry.path().string(), mode);
            continue;
        }
        if (AddFile(id, entry.path().string()) && mode == kDeleteSources)
            SecureDeleteFile(entry.path().string());
    }
}

void FileImport::AddFileList(int categoryId, const std::vector<std::string>& paths, bool applyShellOption,
                             bool fromShell, int& mode)
{
    try {
        if (fromShell && UsableKey(LibraryPassword()) && m_shellExtensionEnabled && !m_shellExtensionEnabled())
            return;
        const KeyState key = EnsureLibraryKey();
        if (key == KeyState::Unusable)
            return;
        if (applyShellOption && m_deletion.DeleteShellSourceByDefault())
            mode = kDeleteSources;
        if (m_beforeAdding)
            m_beforeAdding();

        if (key == KeyState::Loaded)
            m_progress.ShowProgressAt("Adding Files", m_screen.left, m_screen.top, false, m_screen.height,
                                      m_screen.width);
        else
            m_progress.ShowProgress("Adding Files", false);
        ProgressScope scope(m_progress);
        m_progress.SetProgressTotal("Please Wait", static_cast<int>(paths.size()));
        for (const auto& path : paths) {
            AddPath(categoryId, path, mode);
            if (m_progress.ProgressCancelled())
                break;
        }
    } catch (const std::exception&) {
        // What was added stays; the rest is dropped without a word.
    }
}

void FileImport::AddDroppedFiles(int categoryId, const std::vector<std::string>& paths, DropEffect effect)
{
    try {
        if (EnsureLibraryKey() == KeyState::Unusable)
            return;
        m_progress.ShowProgress("Adding Files", false);
        ProgressScope scope(m_progress);
        m_progress.SetProgressTotal("Adding Dropped Files", 0);   // no overall bar
        const int mode = effect == DropEffect::Move ? kDeleteSources : kKeepSources;
        for (const auto& path : paths) {
            AddPath(categoryId, path, mode);
            if (m_progress.ProgressCancelled())
                break;
        }
    } catch (const std::exception&) {
    }
}

void FileImport::AddSelectedFiles(int categoryId, const std::vector<std::string>& files)
{
    try {
        if (EnsureLibraryKey() == KeyState::Unusable)
            return;
        m_progress.ShowProgress("Adding Selected Files", false);
        ProgressScope scope(m_progress);
        m_progress.SetProgressTotal("Please Wait", static_cast<int>(files.size()));
        for (const auto& file : files) {
            if (m_progress.ProgressCancelled())
                break;
            AddFile(categoryId, file);
        }
        m_progress.StepProgress();
    } catch (const std::exception&) {
    }
}

void FileImport::Paste(int categoryId, const std::vector<std::string>& files)
{
    int mode = kKeepSources;
    AddFileList(categoryId, files, false, false, mode);
}

void FileImport::AddCommandLineFiles(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    int mode = kKeepSources;
    try {
        if (!m_library.MainConnection().Connected())
            m_library.Open();
        mode = DeleteSourceByDefault() ? kDeleteSources : kKeepSources;
    } catch (const std::exception& failure) {
        m_messages.ShowMessageBox(std::string("No files were added: ") + failure.what(), mb::kIconError);
        return;
    }
    AddFileList(kUnclassifiedId, paths, false, false, mode);
}

} // namespace velmora
