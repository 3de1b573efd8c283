#include "support/TestSupport.h"

#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/LibraryFiles.h"
#include "store/Query.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <pwd.h>
#include <thread>
#include <unistd.h>

namespace velmora::test {

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path())
{
}

TempDir::TempDir(const std::filesystem::path& parent)
{
    std::string templ = (parent / "velmora-test-XXXXXX").string();
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = templ;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::filesystem::path BinDir()
{
    if (const char* env = std::getenv("VELMORA_BIN_DIR"))
        return env;
    return VELMORA_BIN_DIR;
}

void WriteFile(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

std::string ReadFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string PatternBytes(std::size_t count, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string bytes(count, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(gen() & 0xff);
    return bytes;
}

int ThreadCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

int ThreadCountSettledAt(int expected)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int count = ThreadCount();
    while (count > expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        count = ThreadCount();
    }
    return count;
}

std::int64_t RawScalar(const std::filesystem::path& databaseFile, const std::string& sql)
{
    db::Connection connection(
        db::ConnectionString::Build(databaseFile.string(), db::kShareDenyNone, GetDatabasePassword()));
    connection.Open();
    db::Query value(connection, "Select (" + sql + ") as v");
    return value.AsInteger("v");
}

namespace {

ProcessResult Run(const QString& executable, const QStringList& arguments,
                  const std::map<std::string, std::string>& env, const std::string& input)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [key, value] : env)
        environment.insert(QString::fromStdString(key), QString::fromStdString(value));
    process.setProcessEnvironment(environment);
    process.start(executable, arguments);
    if (!process.waitForStarted(30000))
        throw std::runtime_error("cannot start " + executable.toStdString());
    if (!input.empty())
        process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    process.waitForFinished(-1);
    ProcessResult result;
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    result.out.assign(out.constData(), static_cast<std::size_t>(out.size()));
    result.err.assign(err.constData(), static_cast<std::size_t>(err.size()));
    result.exitCode = process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode();
    return result;
}

QStringList Arguments(const std::vector<std::string>& args)
{
    QStringList arguments;
    for (const auto& a : args)
        arguments << QString::fromStdString(a);
    return arguments;
}

QString ProgramPath(const std::string& program)
{
    return QString::fromStdString((BinDir() / program).string());
}

} // namespace

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::string& input)
{
    return Run(ProgramPath(program), Arguments(args), env, input);
}

ProcessResult RunProgramUnprivileged(const std::string& program, const std::vector<std::string>& args,
                                     const std::map<std::string, std::string>& env)
{
    if (::geteuid() != 0)
        return RunProgram(program, args, env);
    const QStringList asNobody = {"--reuid=nobody", "--regid=nogroup", "--clear-groups", ProgramPath(program)};
    return Run(QStringLiteral("setpriv"), asNobody + Arguments(args), env, {});
}

void GiveToUnprivilegedUser(const std::filesystem::path& path)
{
    if (::geteuid() != 0)
        return;
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr)
        throw std::runtime_error("there is no user nobody");
    const auto give = [&](const std::filesystem::path& p) {
        if (::lchown(p.c_str(), nobody->pw_uid, nobody->pw_gid) != 0)
            throw std::runtime_error("cannot hand " + p.string() + " to nobody");
    };
    give(path);
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path)))
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
            give(entry.path());
}

} // namespace velmora::test
