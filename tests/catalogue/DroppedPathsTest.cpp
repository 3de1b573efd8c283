#include "catalogue/DragMarkers.h"
#include "catalogue/LocalFileUrl.h"

#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::test {
namespace {

using Paths = std::vector<std::string>;

// What a file manager puts on a drag or the clipboard, and the paths taken from it: a
// name's bytes come back as they were, whether or not they are valid UTF-8.
TEST(DroppedPathsTest, UrlsBecomeThePathsBytesUnchanged)
{
    const struct {
        const char* name;
        const char* format;
        QByteArray data;
        Paths paths;
    } cases[] = {
        {"Latin-1 name", "text/uri-list", "file:///tmp/caf%E9.jpg\r\n", {"/tmp/caf\xe9.jpg"}},
        {"Latin-1 folder", "text/uri-list", "file:///tmp/F%F6lder\r\n", {"/tmp/F\xf6lder"}},
        {"UTF-8 name", "text/uri-list", "file:///tmp/caf%C3%A9.jpg\r\n", {"/tmp/caf\xc3\xa9.jpg"}},
        {"reserved characters", "text/uri-list", "file:///tmp/a%20b%2325%25%3F.jpg\r\n", {"/tmp/a b#25%?.jpg"}},
        {"localhost, comments, other schemes",
         "text/uri-list",
         "# a comment\r\nfile://localhost/tmp/one.jpg\r\nhttps://example.org/two.jpg\r\n\r\nfile:///tmp/three.jpg",
         {"/tmp/one.jpg", "/tmp/three.jpg"}},
        {"copied files", "x-special/gnome-copied-files", "cut\nfile:///tmp/caf%E9.jpg\nfile:///tmp/F%F6lder",
         {"/tmp/caf\xe9.jpg", "/tmp/F\xf6lder"}},
    };
    for (const auto& c : cases) {
        QMimeData data;
        data.setData(QString::fromLatin1(c.format), c.data);
        EXPECT_EQ(DroppedPaths(data), c.paths) << c.name;
    }
}

// The list as another program hands it over (QMimeData::setData would parse it first).
TEST(DroppedPathsTest, BytesASourceLeftUnencodedAreTakenAsTheyAre)
{
    EXPECT_EQ(LocalFilesOfUrlLines({"file:///tmp/caf\xe9.jpg\r", "# file:///tmp/comment.jpg", "",
                                    "file:///tmp/F\xf6lder/\xc3\xa9t\xc3\xa9.mp3"}),
              (Paths{"/tmp/caf\xe9.jpg", "/tmp/F\xf6lder/\xc3\xa9t\xc3\xa9.mp3"}));
}

TEST(DroppedPathsTest, AFileUrlFromAChooserKeepsItsBytes)
{
    EXPECT_EQ(LocalFilePath(QUrl::fromEncoded("file:///home/u/caf%E9.jpg")), std::string("/home/u/caf\xe9.jpg"));
    EXPECT_EQ(LocalFilePath(QUrl::fromLocalFile(QStringLiteral("/home/u/Über.jpg"))),
              std::string("/home/u/\xc3\x9c" "ber.jpg"));
    EXPECT_EQ(LocalFilePath(QUrl::fromEncoded("https://example.org/a.jpg")), std::nullopt);
    EXPECT_EQ(LocalFilePath(QUrl()), std::nullopt);
}

} // namespace
} // namespace velmora::test
