#pragma once

#include "playback/RandomSource.h"

#include <QAbstractListModel>
#include <QTimer>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One entry of the play list: a copy of an item-list row.
struct PlaylistEntry {
    std::string caption;   // the item's description
    int recIdent = 0;
    bool played = false;   // picked in the current shuffle pass
};

// What the play list asks of the player when it starts, advances and stops.
class PlaylistPlayer {
public:
    virtual ~PlaylistPlayer() = default;
    // The Playing page comes to the front when the list starts.
    virtual void ShowPlayingPage() = 0;
    virtual void RefreshPlayerFocus() = 0;
    // An entry starts in list order: the control stopped and cleared, the loading
    // caption, the item opened and started, the end-of-media flag cleared.
    virtual void PlayCurrentEntry(int recIdent) = 0;
    // Before a shuffled pick, whether or not one is made: the control stopped, the
    // position bars at 0, the end-of-media flag cleared.
    virtual void StopForChoice() = 0;
    // The shuffled pick starts.
    virtual void PlayChosenEntry(int recIdent) = 0;
    virtual void StopAndClearPlayer() = 0;
    virtual bool MediaEnded() const = 0;
    // The item that ended could not be played.
    virtual bool MediaFailed() const = 0;
};

// The 1-based position and the gap that keeps captions aligned up to 999 entries:
// "1.   ", "10.  ", "100. ".
std::string PlaylistRowText(int index, std::string_view caption);

// Whether an item goes into the play list: the legacy player control cannot show
// pictures, so with it they are left out.
bool AddableToPlaylist(std::string_view fileName, bool legacyPlayer);

// The play list: its entries, the current entry, and the rules by which entries are
// inserted, moved, removed and chosen to play next. It is the model the play list
// control shows (one row per entry) and drives the player through PlaylistPlayer.
// Indices follow the list's rows; CurrentPlaylistIndex may name the row past the end
// after removals.
class Playlist : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kAdvanceInterval = 500;   // plTimer, milliseconds
    enum Role { RecIdentRole = Qt::UserRole + 1, PlayedRole, CurrentRole };

    Playlist(PlaylistPlayer& player, RandomSource& random, QObject* parent = nullptr);

    // ---- QAbstractListModel ----
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // ---- entries ----
    int Count() const { return static_cast<int>(m_entries.size()); }
    const PlaylistEntry& Entry(int index) const { return m_entries.at(static_cast<std::size_t>(index)); }
    const std::vector<PlaylistEntry>& Entries() const { return m_entries; }
    // AddToPlaylist's placing: position < 0 appends, else the entry goes after the one
    // at position (at the end when position is the last). Unplayed. Returns its index.
    int Insert(int position, std::string caption, int recIdent);
    // The entry at from goes directly after the row onto; nothing moves when onto is
    // no row or from itself. The current entry stays current. Returns the moved
    // entry's new index, or nothing.
    std::optional<int> Move(int from, int onto);
    // Removing an entry above the current one keeps the same entry current; removing
    // the current one makes the one that followed it current.
    void Remove(int index);
    // "Remove All": the list goes off and empty, the current index back to 0.
    void Clear();

    // ---- state ----
    int CurrentPlaylistIndex() const { return m_current; }
    void SetCurrentPlaylistIndex(int index);
    bool PlaylistActive() const { return m_active; }
    // Switching off also stops and clears the player.
    void SetPlaylistActive(bool active);
    bool PlaylistRepeat = false;
    bool PlaylistShuffle = false;
    QTimer plTimer;

    // ---- playing ----
    void PlayPlaylist();
    void PlayCurrentItem();
    void PlayRandomItem();
    void PlayNextItem();
    void PlayPreviousItem();
    void ResetPlayedMarks();
    // At the end of an item the next one starts; an item that failed is passed over,
    // and when every entry in a row has failed the list stops rather than going round.
    void plTimerTimer();

signals:
    // The number of entries changed (the " Full Screen" button follows it).
    void CountChanged(int count);

private:
    void RowChanged(int index);

    PlaylistPlayer& m_player;
    RandomSource& m_random;
    std::vector<PlaylistEntry> m_entries;
    int m_current = 0;
    bool m_active = false;
    int m_failedInRow = 0;   // items ended as failed since the last that played
};

} // namespace velmora
