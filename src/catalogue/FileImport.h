#pragma once

#include "catalogue/CategoryTree.h"
#include "catalogue/DropEffect.h"
#include "catalogue/SourceDeletionOptions.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace velmora {

class AddBatch;
class Library;
class MessageBoxes;
class ProgressRoutines;
class Stream;
class TCryptography;

// Told when the library key cannot be had, so nothing is added.
inline constexpr const char* kNoLibraryKeyMessage =
    "The library password could not be obtained from the library, so no files were added.";

// Every way of adding files ends here: a file is recognised by its extension, copied
// chunk by chunk into the object store as a new item and filed under a category;
// folders become subtrees of new categories. Category ids: 0 ("<Unclassified>", or no
// node selected) adds items without a category. An add that fails stores nothing of
// its item; a source file is deleted (securely) only when its whole content was stored
// and the delete mode asks for it.
class FileImport {
public:
    // The rectangle the progress window is centred on when the main window is not
    // shown (files added before or without the password gate).
    struct ScreenArea {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
    };

    FileImport(Library& library, ProgressRoutines& progress, MessageBoxes& messages);
    ~FileImport();
    FileImport(const FileImport&) = delete;
    FileImport& operator=(const FileImport&) = delete;

    // Whether the shell extension is enabled (a user setting); enabled unless told.
    void SetShellExtensionEnabled(std::function<bool()> enabled) { m_shellExtensionEnabled = std::move(enabled); }
    // Asks the user for the library password (true when one was accepted): adds
    // without a window use it when the library keeps no recovery copy of it.
    void SetPasswordPrompt(std::function<bool()> prompt) { m_passwordPrompt = std::move(prompt); }
    // Told of every category a folder import makes, so the tree can show it.
    void SetCategoryAdded(std::function<void(const CategoryNode&)> added) { m_categoryAdded = std::move(added); }
    // Told the number of every item stored.
    void SetItemAdded(std::function<void(int)> added) { m_itemAdded = std::move(added); }
    void SetScreenArea(ScreenArea area) { m_screen = area; }
    // Runs before a file list is added: the window gives back what a slideshow borrowed.
    void SetBeforeAdding(std::function<void()> hook) { m_beforeAdding = std::move(hook); }

    SourceDeletionOptions& DeletionOptions() { return m_deletion; }
    bool DeleteSourceByDefault() { return m_deletion.DeleteSourceByDefault(); }
    bool DeleteShellSourceByDefault() { return m_deletion.DeleteShellSourceByDefault(); }

    // Stores source from its position to its end as a new item (size -1: the bytes
    // that remain; else the size to record) and files it under the category. The
    // item bar shows one step per chunk; the overall bar steps once at the end.
    // Returns true; errors pass on, leaving nothing of the item behind. With
    // encryptedWith, source holds the content under that cipher (NewItem::Store).
    bool AddItemFromStream(int categoryId, Stream& source, const std::string& description,
                           const std::string& fileName, std::int64_t size,
                           const TCryptography* encryptedWith = nullptr);
    // One file. False, silently, for an extension the library does not take; false
    // after telling the user when the file cannot be opened or stored.
    bool AddFile(int categoryId, const std::string& path);
    // A folder as a new category below categoryId, with its files and (recursively) its
    // subfolders; hidden entries and links to folders are passed over. The folder
    // itself is never deleted.
    void AddFolder(int categoryId, const std::string& folder, int mode);

    // Files and folders dropped on the list, pasted, handed over by a second instance
    // or by the shell extension, or named on the command line. applyShellOption makes
    // mode 2 when "delete files added via the shell extension" is on; fromShell makes
    // the call do nothing while the shell extension is disabled. Cancel stops after
    // the current path. Errors end it silently, keeping what was added.
    void AddFileList(int categoryId, const std::vector<std::string>& paths, bool applyShellOption, bool fromShell,
                     int& mode);
    // Files and folders dropped on the tree from outside.
    void AddDroppedFiles(int categoryId, const std::vector<std::string>& paths, DropEffect effect);
    // "Add Files to Category": the files chosen in the file dialog; sources are kept.
    void AddSelectedFiles(int categoryId, const std::vector<std::string>& files);
    // "Paste": sources are never deleted, whatever the options.
    void Paste(int categoryId, const std::vector<std::string>& files);
    // Files and folders named on the command line: no category; sources deleted when
    // "delete source files by default" is on.
    void AddCommandLineFiles(const std::vector<std::string>& paths);

    // While it lives, the items AddItemFromStream adds are made durable a block at a time
    // (AddBatch) instead of one by one: for many items whose sources stay where they are,
    // such as an archive's rows. Complete makes the last block durable (and reports its
    // failure); otherwise its end completes what it can.
    class Batch {
    public:
        Batch(FileImport& import, int items);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        void Complete();

    private:
        FileImport& m_import;
    };

    // The last item added; the next list fill selects it and forgets it.
    std::optional<int> LastAddedItem() const { return m_lastAdded; }
    std::optional<int> TakeLastAddedItem() { return std::exchange(m_lastAdded, std::nullopt); }

private:
    enum class KeyState { Held, Loaded, Unusable };
    // The library key, taken from the library when none is held; then whatever an
    // interrupted run left is finished before anything is added (RecoverLibrary).
    KeyState EnsureLibraryKey();
    void AddPath(int categoryId, const std::string& path, int mode);

    Library& m_library;
    ProgressRoutines& m_progress;
    MessageBoxes& m_messages;
    SourceDeletionOptions m_deletion;
    std::function<bool()> m_shellExtensionEnabled;
    std::function<bool()> m_passwordPrompt;
    std::function<void(const CategoryNode&)> m_categoryAdded;
    std::function<void(int)> m_itemAdded;
    std::function<void()> m_beforeAdding;
    ScreenArea m_screen;
    std::optional<int> m_lastAdded;
    std::unique_ptr<AddBatch> m_batch;
};

} // namespace velmora
