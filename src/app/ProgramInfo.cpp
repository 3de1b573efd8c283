#include "app/ProgramInfo.h"

#include "platform/VersionResource.h"

namespace velmora {

std::string ProgramVersion()
{
    return ProductVersion();
}

InfoRequest InfoRequested(const std::vector<std::string>& arguments)
{
    InfoRequest request = InfoRequest::None;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h")
            return InfoRequest::Help;
        if (argument == "--version")
            request = InfoRequest::Version;
    }
    return request;
}

std::string VelmoraUsage()
{
    return R"(Usage: velmora [DATA-FOLDER] [FILE|FOLDER...] [ARCHIVE.eta]
       velmora -embedding
       velmora --help | --version

Velmora keeps pictures, music and movies encrypted in a library that opens only with
its password.

Start modes:
  velmora [DATA-FOLDER]
      Opens the library behind its password gate. Without DATA-FOLDER, the library in
      the program folder, or, when the program cannot write there (an installed
      program), in $XDG_DATA_HOME/Velmora (~/.local/share/Velmora), made on the first
      start. A folder without a library (one that does not exist, or an
      empty folder given alone) is offered as a new library; the first password given
      to a new library becomes its password.
  velmora [DATA-FOLDER] ARCHIVE.eta
      The same, then imports the transfer archive.
  velmora [DATA-FOLDER] FILE|FOLDER...
      Adds the media files and folders to the library without a window and ends. The
      library key comes from the library itself, so it needs a password first.
  velmora -embedding
      Runs without a window for the desktop integration.

Arguments:
  DATA-FOLDER   the folder of a library (it holds tndb.mdb)
  FILE          a picture, music or movie file: .gif .jpg .jpeg .bmp .wmf .emf .png
                .webp .tif .tiff .heic .heif; .wma .mp3 .mp2 .wav .snd .au .aif .aifc
                .aiff .mid .midi .rmi .flac .ogg .oga .opus .m4a .aac; .wmv .asf .mpg
                .mpeg .mpe .avi .m1v .mpa .ifo .vob .mp4 .m4v .mov .mkv .webm .3gp .mts
                .m2ts
  FOLDER        a folder of media files; it becomes a category (a folder that holds
                tndb.mdb is a DATA-FOLDER instead)
  ARCHIVE.eta   a transfer archive to import

Only one Velmora runs per user: a second start hands its files, folders and archives
to the running one, which asks for the password first when it is locked, and ends.

Options:
  -h, --help    shows this text and ends
  --version     shows the version and ends
)";
}

} // namespace velmora
