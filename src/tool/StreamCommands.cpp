// Stream commands: run the stream server outside the program, for players and tests.
#include "tool/LibraryAccess.h"
#include "tool/ToolCommand.h"

#include "playback/StreamItemIdent.h"
#include "playback/StreamUrl.h"
#include "playback/VideoStreamServ.h"
#include "store/Query.h"
#include "store/SqlText.h"

#include <charconv>
#include <csignal>
#include <iostream>
#include <pthread.h>

namespace velmora::tool {

namespace {

int ParseItemIdent(const std::string& text)
{
    int ident = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ident);
    if (error != std::errc() || end != text.data() + text.size() || ident <= 0)
        throw ToolError("\"" + text + "\" is not an item number");
    return ident;
}

// 0 lets the system choose a free port.
int ParsePort(const std::string& text)
{
    if (text.empty())
        return kStreamServerPort;
    int port = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535)
        throw ToolError("\"" + text + "\" is not a port number");
    return port;
}

int Serve(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args, {"--port"});
    if (parsed.positional.size() != 1)
        throw ToolError("usage: velmora-tool serve --data DIR [--port N] ID");
    const int ident = ParseItemIdent(parsed.positional[0]);
    const int port = ParsePort(parsed.Option("--port"));
    auto library = OpenLibrary(parsed.dataDir);
    std::string extension;
    {
        db::Query record(library->MainConnection(),
                         SqlFormat("Select rec_tnorigname from Record where rec_ident = %d", ident));
        if (record.Eof())
            throw ToolError("there is no item " + parsed.positional[0] + " in the library");
        extension = StreamUrlExtension(record.AsString("rec_tnorigname"));
    }

    // Blocked before the server starts its threads, so that they inherit the mask and
    // the signals wait for sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    StreamItemIdent = ident;
    TVideoStreamServ server;
    server.Port = port;
    // A port asked for is that port or none; the usual one gives way to another program.
    server.AnyPortIfTaken = parsed.Option("--port").empty();
    if (!server.Listen())
        return 2;   // the server has said why on standard error
    std::cout << "serving item " << ident << " at " << server.ItemUrl(extension) << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    server.Stop();
    return 0;
}

const ToolCommand kCommands[] = {
    {"serve", "--data DIR [--port N] ID",
     "run the stream server on its port (15654, or a free one when that is taken; 0: any free one), serving item "
     "ID until SIGINT or SIGTERM "
     "(password in VELMORA_PASSWORD); prints the URL to fetch it from",
     Serve},
};

} // namespace

std::span<const ToolCommand> StreamCommands()
{
    return kCommands;
}

} // namespace velmora::tool
