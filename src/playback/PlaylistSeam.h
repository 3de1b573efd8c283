#pragma once

namespace velmora {

// What the player host asks of the play list: whether it is being played, and its
// start, next and previous commands. The main window answers from its play list.
class PlaylistSeam {
public:
    virtual ~PlaylistSeam() = default;
    virtual bool PlaylistActive() const = 0;
    virtual void PlayPlaylist() = 0;
    virtual void PlayNextItem() = 0;
    virtual void PlayPreviousItem() = 0;
};

} // namespace velmora
