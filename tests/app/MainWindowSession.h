#pragma once

// The main window over a fresh library in a temporary folder, for widget tests.
#include "app/MainWindow.h"
#include "dialogs/PasswordForm.h"
#include "dialogs/FileDialogs.h"
#include "platform/SettingsStore.h"
#include "store/AddItemOnThread.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"

#include "dialogs/DialogTestDoubles.h"
#include "support/LibraryFixture.h"

#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest/QtTest>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace velmora::test {

inline constexpr const char* kPassword = "open sesame";

// Answers the file and folder choosers from queues (empty: Cancel) and keeps the
// titles and filters asked with.
class ScriptedFileDialogs : public FileDialogs {
public:
    QList<QUrl> OpenFiles(QWidget*, const QString& title, const QString& filter) override
    {
        asked << title << filter;
        return openFiles.empty() ? QList<QUrl>() : Take(openFiles);
    }
    QString OpenFile(QWidget*, const QString& title, const QString& filter, const QString& fileName) override
    {
        asked << title << filter << fileName;
        return files.empty() ? QString() : Take(files);
    }
    QString SaveFile(QWidget*, const QString& title, const QString& filter, const QString& fileName) override
    {
        asked << title << filter << fileName;
        return files.empty() ? QString() : Take(files);
    }
    QString ChooseFolder(QWidget*, const QString& title, const QString& startFolder) override
    {
        asked << title << startFolder;
        return files.empty() ? QString() : Take(files);
    }

    std::deque<QList<QUrl>> openFiles;   // answers of OpenFiles
    void ChooseFiles(const QStringList& paths)
    {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        openFiles.push_back(urls);
    }
    std::deque<QString> files;           // answers of OpenFile, SaveFile and ChooseFolder
    QStringList asked;

private:
    template <typename T>
    static T Take(std::deque<T>& queue)
    {
        T answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

// A fresh library and settings folder for each test; the window opens over them.
struct Session {
    QTemporaryDir data;
    QTemporaryDir config;
    RecordingMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    std::unique_ptr<TfrmMain> main;
    std::chrono::milliseconds streamIdleTimeout = TNMGeneralServer::kIdleTimeout;
    // The program's own message boxes (modal windows that take the focus) instead of
    // the recording ones.
    bool programMessageBoxes = false;
    int streamPort = 0;   // a free one: tests run side by side
    bool streamAnyPortIfTaken = true;

    Session()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        velmora::test::UseFreshLibrary(data.path().toStdString());
        SettingsStore settings;
        settings.WriteBool(SettingsStore::kSettings, "Background Monitor", false);
    }
    ~Session()
    {
        main.reset();
        ObjectStore::ForThisThread().Close();
        SetLibraryPassword({}, 0);
        SetDataDir({});
    }

    TfrmMain& Open()
    {
        MainWindowOptions options;
        options.streamPort = streamPort;
        options.streamAnyPortIfTaken = streamAnyPortIfTaken;
        options.streamIdleTimeout = streamIdleTimeout;
        options.boxes = programMessageBoxes ? nullptr : &boxes;
        options.fileDialogs = &dialogs;
        main = std::make_unique<TfrmMain>(options);
        if (!main->LibraryOpened() || !main->VerifyPassword(kPassword))
            qFatal("the test library did not open");
        return *main;
    }

    void AddItem(const std::string& fileName, std::optional<int> category = std::nullopt)
    {
        MemoryStream source;
        const std::string bytes = "content of " + fileName;
        source.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        source.SetPosition(0);
        if (!AddItemOnThread(category, source, fileName, -1, fileName))
            qFatal("item not added");
    }

    void ShowAndActivate()
    {
        main->show();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
    }
};

// Acts on the password prompt once it is open; a prompt the action leaves open is
// cancelled, so a faulty test fails instead of waiting for ever.
inline void WhenPasswordPromptOpens(std::function<void(TfrmPassword&)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, action, tries] {
        auto* form = qobject_cast<TfrmPassword*>(QApplication::activeModalWidget());
        if (form == nullptr) {
            if (++*tries > 1000) {
                timer->deleteLater();
                timer->stop();
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        action(*form);
        if (form->isVisible())
            form->done(QDialog::Rejected);
    });
    timer->start();
}

// The progress window in use, a window of its own; null when none is shown.
inline QWidget* ShownProgressWindow()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("frmProgress") && window->isVisible())
            return window;
    return nullptr;
}

inline QTreeWidgetItem* FindNode(QTreeWidget* tree, const QString& text)
{
    const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

} // namespace velmora::test
