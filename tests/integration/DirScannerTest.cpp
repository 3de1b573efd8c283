#include "MonitorTestSupport.h"

#include "integration/DirScanner.h"
#include "store/AddItemOnThread.h"
#include "store/SqlText.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/wait.h>
#include <linux/capability.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class DirScannerTest : public MonitorFixture {
protected:
    ScanReport Scan() { return scanner.Scan(watched.str()); }
    std::string PathOf(const std::string& name) const { return (watched / name).string(); }

    DirScanner scanner;
};

// Opens a file and closes it with the object.
struct Descriptor {
    explicit Descriptor(const fs::path& path, int flags = O_RDWR) : fd(::open(path.c_str(), flags | O_CLOEXEC)) {}
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd;
};

TEST_F(DirScannerTest, ImportsOneSupportedFilePerScanOnceTheFilesAreStill)
{
    const std::map<std::string, std::string> media = {
        {"holiday.jpg", PatternBytes(1000001, 1)},   // three chunks
        {"song.MP3", PatternBytes(4096, 2)},
        {"clip.Wav", std::string()},                  // an empty file is an item too
    };
    for (const auto& [name, bytes] : media)
        WriteFile(watched / name, bytes);
    // Read-only files are taken too: nothing needs to write to them.
    fs::permissions(watched / "song.MP3", fs::perms::owner_read, fs::perm_options::replace);
    WriteFile(watched / "notes.txt", "not media");

    // The first scan only notes what the files look like.
    EXPECT_TRUE(Scan().imported.empty());
    EXPECT_EQ(ItemCount(), 0);

    std::set<std::string> imported;
    for (int scan = 1; scan <= 3; ++scan) {
        const ScanReport report = Scan();
        ASSERT_FALSE(report.imported.empty()) << "scan " << scan;
        EXPECT_TRUE(report.deleted);
        EXPECT_THAT(report.refused, IsEmpty());
        EXPECT_FALSE(fs::exists(report.imported));
        imported.insert(fs::path(report.imported).filename().string());
        EXPECT_EQ(ItemCount(), scan);
        EXPECT_EQ(FolderNames().size(), 4u - static_cast<std::size_t>(scan));
    }
    EXPECT_EQ(imported, (std::set<std::string>{"clip.Wav", "holiday.jpg", "song.MP3"}));
    EXPECT_TRUE(Scan().imported.empty());
    EXPECT_THAT(FolderNames(), ElementsAre("notes.txt"));
    EXPECT_EQ(ReadFile(watched / "notes.txt"), "not media");

    for (const auto& [name, bytes] : media) {
        const int id = ItemNamed(name);
        ASSERT_NE(id, 0) << name;
        EXPECT_EQ(ReadItem(id), bytes) << name;
        const std::string where = SqlFormat(" from Record where rec_ident = %d", id);
        EXPECT_EQ(Scalar("Select rec_size" + where), static_cast<std::int64_t>(bytes.size()));
        EXPECT_EQ(Scalar("Select rec_description = rec_tnorigname" + where), 1);
        EXPECT_EQ(Scalar("Select rec_date_added between date('now', 'localtime', '-1 day') and "
                         "date('now', 'localtime')" + where), 1);
    }
    // Listed under "<Unclassified>": no category link.
    EXPECT_EQ(Scalar("Select count(*) from RecordCategory"), 0);
    EXPECT_THAT(Faults(), IsEmpty());
}

TEST_F(DirScannerTest, LeavesFoldersHiddenFilesLinksAndOtherKindsAlone)
{
    TempDir elsewhere;
    WriteFile(elsewhere / "outside.jpg", "linked picture");
    fs::create_directory(watched / "album.jpg");
    WriteFile(watched / "album.jpg" / "inner.jpg", "in a subfolder");
    WriteFile(watched / ".hidden.jpg", "hidden");
    WriteFile(watched / "readme", "no extension");
    WriteFile(watched / "archive.eta", "an archive");
    fs::create_symlink(elsewhere / "outside.jpg", watched / "link.jpg");
    ASSERT_EQ(::mkfifo((watched / "pipe.mp3").c_str(), 0600), 0);

    for (int scan = 0; scan < 4; ++scan) {
        const ScanReport report = Scan();
        EXPECT_TRUE(report.imported.empty());
        EXPECT_THAT(report.refused, IsEmpty());
        EXPECT_THAT(report.busy, IsEmpty());
    }
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_THAT(FolderNames(),
                ElementsAre(".hidden.jpg", "album.jpg", "archive.eta", "link.jpg", "pipe.mp3", "readme"));
    EXPECT_EQ(ReadFile(watched / "album.jpg" / "inner.jpg"), "in a subfolder");
    EXPECT_EQ(ReadFile(elsewhere / "outside.jpg"), "linked picture");
}

TEST_F(DirScannerTest, MissingFolderFindsNothing)
{
    const ScanReport report = scanner.Scan((watched / "not-there").string());
    EXPECT_TRUE(report.scanned);
    EXPECT_TRUE(report.imported.empty());
    EXPECT_EQ(ItemCount(), 0);
}

TEST_F(DirScannerTest, FileStillBeingWrittenIsTakenOnlyWhenComplete)
{
    const fs::path file = watched / "recording.wav";
    std::string written;
    {
        std::ofstream writer(file, std::ios::binary);
        // The writer adds a piece between every two scans, with pauses longer than a
        // scan interval would be; a file that keeps changing is never taken.
        for (unsigned piece = 0; piece < 6; ++piece) {
            const std::string bytes = PatternBytes(100000, piece);
            writer.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            writer.flush();
            written += bytes;
            const ScanReport report = Scan();
            EXPECT_TRUE(report.imported.empty()) << "piece " << piece;
            ASSERT_TRUE(fs::exists(file));
        }
    }
    EXPECT_EQ(ItemCount(), 0);

    // The last scan saw the final piece; the file has stayed the same since.
    EXPECT_EQ(Scan().imported, file.string());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ReadItem(ItemNamed("recording.wav")), written);
}

// Another process that does a first step, says whether it worked, waits until told to
// go on, then does a second step and ends, its exit status saying whether that worked.
// The steps run in the child, one after the other, so what the first opens the second
// can use. A process of its own: closing any descriptor of a file drops every record
// lock this process holds on it, and a writer's open file must be another's.
class PausedProcess {
public:
    explicit PausedProcess(const std::function<bool()>& first, const std::function<bool()>& second = {})
    {
        int ready[2];
        int resume[2];
        if (::pipe(ready) != 0 || ::pipe(resume) != 0)
            return;
        m_child = ::fork();
        if (m_child == 0) {
            ::close(ready[0]);
            ::close(resume[1]);
            const bool done = first();
            const char result = done ? 'Y' : 'N';
            // A parent that cannot be told or does not wait makes the test fail anyway.
            if (::write(ready[1], &result, 1) != 1)
                ::_exit(1);
            char ignored;
            if (::read(resume[0], &ignored, 1) < 0)   // returns when the parent closes its end
                ::_exit(1);
            ::_exit(done && (!second || second()) ? 0 : 1);
        }
        ::close(ready[1]);
        ::close(resume[0]);
        m_resume = resume[1];
        char result = 0;
        m_ready = m_child > 0 && ::read(ready[0], &result, 1) == 1 && result == 'Y';
        ::close(ready[0]);
    }
    ~PausedProcess() { Resume(); }
    PausedProcess(const PausedProcess&) = delete;
    PausedProcess& operator=(const PausedProcess&) = delete;

    // The first step worked, and the process now waits.
    bool Ready() const { return m_ready; }
    // Lets it go on and waits for its end; true when the second step worked too.
    bool Resume()
    {
        if (m_resume >= 0)
            ::close(m_resume);
        m_resume = -1;
        int status = -1;
        if (m_child > 0)
            ::waitpid(m_child, &status, 0);
        m_child = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t m_child = -1;
    int m_resume = -1;
    bool m_ready = false;
};

bool WriteAll(int fd, const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

TEST_F(DirScannerTest, FileAWriterHoldsOpenIsLeftUntilClosedThenTakenWhole)
{
    const fs::path file = watched / "dictation.wav";
    const std::string first = PatternBytes(300000, 4);
    const std::string second = PatternBytes(300000, 5);
    // A writer that pauses with the file open half written.
    int fd = -1;
    PausedProcess writer(
        [&] {
            fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            return fd >= 0 && WriteAll(fd, first);
        },
        [&] { return WriteAll(fd, second) && ::close(fd) == 0; });
    ASSERT_TRUE(writer.Ready());
    // The file stays the same from scan to scan while the writer pauses.
    for (int scan = 0; scan < 4; ++scan) {
        const ScanReport report = Scan();
        EXPECT_TRUE(report.imported.empty()) << "scan " << scan;
        if (scan > 0) {
            EXPECT_THAT(report.busy, ElementsAre(file.string())) << "scan " << scan;
        }
    }
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_EQ(ReadFile(file), first);

    ASSERT_TRUE(writer.Resume());
    EXPECT_TRUE(Scan().imported.empty());   // changed since the last scan
    EXPECT_EQ(Scan().imported, file.string());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ReadItem(ItemNamed("dictation.wav")), first + second);
}

// Takes CAP_LEASE out of this thread's effective capabilities until the object goes,
// so that a lease on a file of another user is refused as it is for a plain user.
class WithoutLeaseCapability {
public:
    WithoutLeaseCapability()
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        if (::syscall(SYS_capget, &header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[CAP_TO_INDEX(CAP_LEASE)].effective &= ~CAP_TO_MASK(CAP_LEASE);
        m_active = ::syscall(SYS_capset, &header, reduced) == 0;
    }
    ~WithoutLeaseCapability()
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        if (m_active)
            ::syscall(SYS_capset, &header, m_saved);
    }
    WithoutLeaseCapability(const WithoutLeaseCapability&) = delete;
    WithoutLeaseCapability& operator=(const WithoutLeaseCapability&) = delete;

    bool Active() const { return m_active; }

private:
    __user_cap_data_struct m_saved[2] = {};
    bool m_active = false;
};

// Without the right to a lease (a file of another user, or a file system that has no
// leases) the scanner cannot ask whether a writer has the file open; a file that stays
// the same over two scans is then taken, as it was before leases were asked.
TEST_F(DirScannerTest, FileWhoseLeaseIsRefusedIsTakenOnceStill)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user; CI runs this as root";
    const fs::path file = watched / "shared.jpg";
    WriteFile(file, "a picture of another user");
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    WithoutLeaseCapability withoutLeases;
    ASSERT_TRUE(withoutLeases.Active());
    {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        EXPECT_NE(::fcntl(fd, F_SETLEASE, F_RDLCK), 0);   // the case the scan meets
        ::close(fd);
    }
    EXPECT_TRUE(Scan().imported.empty());
    EXPECT_EQ(Scan().imported, file.string());
    EXPECT_EQ(ReadItem(ItemNamed("shared.jpg")), "a picture of another user");
}

struct LockCase {
    const char* name;
    // How the holder opens the file: read-only where the lock allows, so that it is the
    // lock, not an open writer, that keeps the file from being taken.
    int openFlags;
    // Locks the file through descriptor fd; 0 on success.
    int (*lock)(int fd);
};

void PrintTo(const LockCase& c, std::ostream* os)
{
    *os << c.name;
}

class LockedFileTest : public DirScannerTest, public ::testing::WithParamInterface<LockCase> {};

int RecordLock(int fd, int command, short type, off_t start, off_t length)
{
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = start;
    range.l_len = length;
    return ::fcntl(fd, command, &range);
}

TEST_P(LockedFileTest, LockedFileIsLeftUntilTheLockIsReleased)
{
    const fs::path file = watched / "movie.avi";
    const std::string bytes = PatternBytes(700000, 3);
    WriteFile(file, bytes);
    // Another process opens the file and holds a lock on it until it is let go on.
    PausedProcess holder([&] {
        const int fd = ::open(file.c_str(), GetParam().openFlags);
        return fd >= 0 && GetParam().lock(fd) == 0;
    });
    ASSERT_TRUE(holder.Ready());
    for (int scan = 0; scan < 3; ++scan) {
        const ScanReport report = Scan();
        EXPECT_TRUE(report.imported.empty());
        if (scan > 0) {
            EXPECT_THAT(report.busy, ElementsAre(file.string()));
        }
    }
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_EQ(ReadFile(file), bytes);

    holder.Resume();   // the file has not changed meanwhile
    EXPECT_EQ(Scan().imported, file.string());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ReadItem(ItemNamed("movie.avi")), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    LockKinds, LockedFileTest,
    ::testing::Values(LockCase{"Flock", O_RDONLY, [](int fd) { return ::flock(fd, LOCK_EX | LOCK_NB); }},
                      LockCase{"SharedFlock", O_RDONLY, [](int fd) { return ::flock(fd, LOCK_SH | LOCK_NB); }},
                      LockCase{"RecordWriteLock", O_RDWR,
                               [](int fd) { return RecordLock(fd, F_SETLK, F_WRLCK, 0, 0); }},
                      LockCase{"RecordLockOnPart", O_RDONLY,
                               [](int fd) { return RecordLock(fd, F_SETLK, F_RDLCK, 10, 5); }},
                      LockCase{"OpenFileWriteLock", O_RDWR,
                               [](int fd) { return RecordLock(fd, F_OFD_SETLK, F_WRLCK, 0, 0); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DirScannerTest, FailedAddKeepsTheFileAndLeavesNothingInTheLibrary)
{
    const fs::path file = watched / "big.mpg";
    const std::string bytes = PatternBytes(1200000, 4);
    WriteFile(file, bytes);
    // A folder where store 1 would be made breaks every add.
    fs::create_directory(dir / "tnstore1.mdb");

    Scan();
    for (int scan = 0; scan < 2; ++scan) {
        const ScanReport report = Scan();
        EXPECT_TRUE(report.imported.empty());
        EXPECT_THAT(report.refused, ElementsAre(file.string()));
    }
    EXPECT_EQ(ReadFile(file), bytes);
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_EQ(Scalar("Select count(*) from pendingadd"), 0);
    EXPECT_EQ(Scalar("Select count(*) from [space]"), 0);
    EXPECT_THAT(Faults(), IsEmpty());

    // Retried at every scan, so it goes in once the fault is gone.
    fs::remove(dir / "tnstore1.mdb");
    EXPECT_EQ(Scan().imported, file.string());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ReadItem(ItemNamed("big.mpg")), bytes);
    EXPECT_THAT(Faults(), IsEmpty());
}

TEST_F(DirScannerTest, AddThatFailsPartWayKeepsTheFileAndTakesBackItsChunks)
{
    const int earlier = AddItem("already here");
    // Store 1 has room for one more chunk only; the second chunk needs store 2,
    // which cannot be made.
    ExecuteMain("Update [space] set st_freespace = 600000 where st_num = 1");
    fs::create_directory(dir / "tnstore2.mdb");
    const fs::path file = watched / "long.vob";
    const std::string bytes = PatternBytes(900000, 5);
    WriteFile(file, bytes);

    Scan();
    const ScanReport failed = Scan();
    EXPECT_THAT(failed.refused, ElementsAre(file.string()));
    EXPECT_EQ(ReadFile(file), bytes);
    EXPECT_EQ(ItemCount(), 1);
    EXPECT_EQ(Scalar("Select st_freespace from [space] where st_num = 1"), 600000);
    EXPECT_EQ(Scalar("Select count(*) from [space]"), 1);
    EXPECT_EQ(StoreScalar(1, "Select count(*) from recobject"), 1);

    fs::remove(dir / "tnstore2.mdb");
    EXPECT_EQ(Scan().imported, file.string());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ReadItem(ItemNamed("long.vob")), bytes);
    EXPECT_EQ(ReadItem(earlier), "already here");
}

TEST_F(DirScannerTest, ARefusedFileDoesNotHoldUpTheOthers)
{
    DirScanner picky([](const std::string& path) {
        return fs::path(path).filename().string().starts_with("bad") ? false : AddMonitoredFile(path);
    });
    WriteFile(watched / "bad1.jpg", "one");
    WriteFile(watched / "good.jpg", "fine");
    WriteFile(watched / "bad2.jpg", "two");

    picky.Scan(watched.str());
    const ScanReport report = picky.Scan(watched.str());
    EXPECT_EQ(report.imported, (watched / "good.jpg").string());
    EXPECT_THAT(FolderNames(), ElementsAre("bad1.jpg", "bad2.jpg"));

    const ScanReport retry = picky.Scan(watched.str());
    EXPECT_TRUE(retry.imported.empty());
    EXPECT_EQ(retry.refused.size(), 2u);
    EXPECT_EQ(ItemCount(), 1);
}

TEST_F(DirScannerTest, FileChangedWhileBeingReadIsKeptAndTakenAgainWhole)
{
    const fs::path file = watched / "growing.mp3";
    WriteFile(file, "first part");
    int imports = 0;
    // A writer that takes no lock appends while the first import reads.
    DirScanner appending([&](const std::string& path) {
        const bool added = AddMonitoredFile(path);
        if (++imports == 1)
            std::ofstream(path, std::ios::binary | std::ios::app) << ", second part";
        return added;
    });

    appending.Scan(watched.str());
    const ScanReport first = appending.Scan(watched.str());
    EXPECT_EQ(first.imported, file.string());
    EXPECT_FALSE(first.deleted);
    EXPECT_EQ(ReadFile(file), "first part, second part");

    appending.Scan(watched.str());   // notes the new look
    const ScanReport second = appending.Scan(watched.str());
    EXPECT_EQ(second.imported, file.string());
    EXPECT_TRUE(second.deleted);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ReadItem(ItemNamed("growing.mp3")), "first part, second part");
    // The first, short copy stays in the library: a duplicate rather than a loss.
    EXPECT_EQ(ItemCount(), 2);
}

// Makes a folder refuse deletions for as long as it lives: the immutable flag when
// running as root (who may delete anything else), write permission otherwise.
class UndeletableFolder {
public:
    explicit UndeletableFolder(const fs::path& folder) : m_folder(folder)
    {
        if (::geteuid() != 0) {
            fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
            m_mode = Mode::Permissions;
        } else if (SetImmutable(true)) {
            m_mode = Mode::Immutable;
        }
    }
    ~UndeletableFolder() { Lift(); }
    UndeletableFolder(const UndeletableFolder&) = delete;
    UndeletableFolder& operator=(const UndeletableFolder&) = delete;

    bool Active() const { return m_mode != Mode::None; }
    void Lift()
    {
        if (m_mode == Mode::Permissions)
            fs::permissions(m_folder, fs::perms::owner_write, fs::perm_options::add);
        else if (m_mode == Mode::Immutable)
            SetImmutable(false);
        m_mode = Mode::None;
    }

private:
    enum class Mode { None, Permissions, Immutable };

    bool SetImmutable(bool on)
    {
        Descriptor folder(m_folder, O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (folder.fd < 0 || ::ioctl(folder.fd, FS_IOC_GETFLAGS, &flags) != 0)
            return false;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        return ::ioctl(folder.fd, FS_IOC_SETFLAGS, &flags) == 0;
    }

    fs::path m_folder;
    Mode m_mode = Mode::None;
};

TEST_F(DirScannerTest, FileThatCannotBeDeletedIsImportedOnceAndDeletedLater)
{
    const fs::path file = watched / "keep.gif";
    WriteFile(file, "GIF89a");
    UndeletableFolder undeletable(watched.path());
    if (!undeletable.Active())
        GTEST_SKIP() << "cannot make a folder refuse deletions here";

    Scan();
    const ScanReport first = Scan();
    EXPECT_EQ(first.imported, file.string());
    EXPECT_FALSE(first.deleted);
    for (int scan = 0; scan < 3; ++scan)
        EXPECT_TRUE(Scan().imported.empty());
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(ItemCount(), 1);

    undeletable.Lift();
    const ScanReport afterwards = Scan();
    EXPECT_TRUE(afterwards.imported.empty());
    EXPECT_THAT(afterwards.busy, IsEmpty());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ItemCount(), 1);
    EXPECT_EQ(ReadItem(ItemNamed("keep.gif")), "GIF89a");
}

} // namespace
} // namespace velmora::test
