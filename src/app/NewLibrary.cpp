#include "app/NewLibrary.h"

#include "dialogs/MessageBoxes.h"
#include "store/LibraryFiles.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace velmora {

namespace {

constexpr int kToolGuardMs = 120000;

std::string Absolute(const std::string& folder)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
    return error ? folder : absolute.lexically_normal().string();
}

} // namespace

NewLibraryOutcome OfferNewLibrary(const std::string& dataDir, MessageBoxes& boxes, const CreateLibraryFn& create)
{
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::path(dataDir) / kMainDatabaseName, error))
        return NewLibraryOutcome::Exists;

    std::string folder = Absolute(dataDir);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const int answer = boxes.ShowMessageBox(
        "There is no Velmora library in " + folder + ". Create a new library there?", mb::kIconQuestion | mb::kYesNo);
    if (answer != mb::kResultYes)
        return NewLibraryOutcome::Declined;
    try {
        create(folder);
    } catch (const std::exception& failure) {
        boxes.ShowMessageBox("Unable to create a Velmora library in " + folder + ": " + failure.what(),
                             mb::kIconError);
        return NewLibraryOutcome::Failed;
    }
    return NewLibraryOutcome::Created;
}

void CreateLibraryWithTool(const std::string& folder)
{
    // The tool's "init" is the one place libraries are made; it leaves them without a
    // password unless one is in its environment, which must not decide it here.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("VELMORA_PASSWORD"));
    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.start(QString::fromStdString(JoinPath(GetAppDir(), "velmora-tool")),
               {QStringLiteral("init"), QStringLiteral("--data"), QString::fromStdString(folder)});
    if (!tool.waitForStarted(kToolGuardMs))
        throw std::runtime_error("velmora-tool could not be started from " + GetAppDir());
    if (!tool.waitForFinished(kToolGuardMs)) {
        tool.kill();
        tool.waitForFinished();
        throw std::runtime_error("velmora-tool did not finish");
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        // Its one line of reason, after "velmora-tool init: ".
        QString reason = QString::fromLocal8Bit(tool.readAllStandardError()).trimmed();
        reason.remove(QStringLiteral("velmora-tool init: "));
        throw std::runtime_error(reason.isEmpty() ? std::string("velmora-tool failed") : reason.toStdString());
    }
}

} // namespace velmora
