#include "playback/Playlist.h"

#include "store/MediaExtensions.h"

#include <exception>

namespace velmora {

std::string PlaylistRowText(int index, std::string_view caption)
{
    const int position = index + 1;
    const char* gap = position < 10 ? ".   " : position < 100 ? ".  " : ". ";
    std::string text = std::to_string(position) + gap;
    text += caption;
    return text;
}

bool AddableToPlaylist(std::string_view fileName, bool legacyPlayer)
{
    return !legacyPlayer || !IsPictureFile(fileName);
}

Playlist::Playlist(PlaylistPlayer& player, RandomSource& random, QObject* parent)
    : QAbstractListModel(parent), m_player(player), m_random(random)
{
    plTimer.setInterval(kAdvanceInterval);
    connect(&plTimer, &QTimer::timeout, this, &Playlist::plTimerTimer);
}

int Playlist::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

QVariant Playlist::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    const PlaylistEntry& entry = Entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(entry.caption);
    case RecIdentRole:
        return entry.recIdent;
    case PlayedRole:
        return entry.played;
    case CurrentRole:
        return index.row() == m_current;
    default:
        return {};
    }
}

Qt::ItemFlags Playlist::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

int Playlist::Insert(int position, std::string caption, int recIdent)
{
    const int count = Count();
    const int index = position < 0 ? count : std::min(position + 1, count);
    beginInsertRows({}, index, index);
    m_entries.insert(m_entries.begin() + index, PlaylistEntry{std::move(caption), recIdent, false});
    // An entry put in before the current one pushes it down a row: the index follows
    // it, or Next would start the same item again and another row would be marked.
    if (index < m_current || (index == m_current && m_current < count))
        ++m_current;
    endInsertRows();
    emit CountChanged(Count());
    return index;
}

std::optional<int> Playlist::Move(int from, int onto)
{
    const int count = Count();
    if (from < 0 || from >= count || onto < 0 || onto >= count || onto == from)
        return std::nullopt;
    // A copy goes in after the row dropped on, then the entry leaves its old row.
    const int target = onto + 1;
    const int moved = from < target ? target - 1 : target;
    if (moved != from) {
        beginMoveRows({}, from, from, {}, target);
        const PlaylistEntry entry = m_entries[static_cast<std::size_t>(from)];
        m_entries.erase(m_entries.begin() + from);
        m_entries.insert(m_entries.begin() + moved, entry);
        endMoveRows();
    }
    if (from == m_current)
        SetCurrentPlaylistIndex(moved);
    else if (from > m_current && moved <= m_current)
        SetCurrentPlaylistIndex(m_current + 1);
    else if (from < m_current && moved >= m_current)
        SetCurrentPlaylistIndex(m_current - 1);
    return moved;
}

void Playlist::Remove(int index)
{
    if (index < 0 || index >= Count())
        return;
    if (index < m_current)
        SetCurrentPlaylistIndex(m_current - 1);
    beginRemoveRows({}, index, index);
    m_entries.erase(m_entries.begin() + index);
    endRemoveRows();
    RowChanged(m_current);   // the entry that followed is current now
    emit CountChanged(Count());
}

void Playlist::Clear()
{
    SetPlaylistActive(false);
    SetCurrentPlaylistIndex(0);
    beginResetModel();
    m_entries.clear();
    endResetModel();
    emit CountChanged(0);
}

void Playlist::SetCurrentPlaylistIndex(int index)
{
    const int before = m_current;
    m_current = index;
    RowChanged(before);
    RowChanged(m_current);
}

void Playlist::RowChanged(int index)
{
    if (index >= 0 && index < Count()) {
        const QModelIndex row = this->index(index);
        emit dataChanged(row, row);
    }
}

void Playlist::SetPlaylistActive(bool active)
{
    m_active = active;
    if (active)
        return;
    try {
        m_player.StopAndClearPlayer();
    } catch (const std::exception&) {
        // Switching off goes on whatever the player says.
    }
}

void Playlist::PlayPlaylist()
{
    if (m_entries.empty())
        return;
    m_failedInRow = 0;
    SetPlaylistActive(true);
    m_player.ShowPlayingPage();
    if (PlaylistShuffle) {
        m_random.Randomize();
        ResetPlayedMarks();
        PlayRandomItem();
    } else {
        if (m_current < 0 || m_current >= Count())
            SetCurrentPlaylistIndex(0);
        PlayCurrentItem();
    }
    m_player.RefreshPlayerFocus();
}

void Playlist::PlayCurrentItem()
{
    if (m_current < 0 || m_current >= Count())
        return;
    m_player.PlayCurrentEntry(Entry(m_current).recIdent);
    plTimer.start();
}

void Playlist::PlayRandomItem()
{
    m_player.StopForChoice();
    const int count = Count();
    if (count == 0)
        return;
    std::optional<int> choice;
    const int r = m_random.Below(count);
    for (int i = r; i < count && !choice; ++i)
        if (!m_entries[static_cast<std::size_t>(i)].played)
            choice = i;
    for (int i = r; i >= 0 && !choice; --i)
        if (!m_entries[static_cast<std::size_t>(i)].played)
            choice = i;
    if (!choice && PlaylistRepeat) {
        ResetPlayedMarks();
        m_random.Randomize();
        choice = m_random.Below(count);
    }
    // Every entry played once and no repeat: the pass is over; the list stays on.
    if (!choice)
        return;
    m_entries[static_cast<std::size_t>(*choice)].played = true;
    SetCurrentPlaylistIndex(*choice);
    m_player.PlayChosenEntry(Entry(*choice).recIdent);
    plTimer.start();
}

void Playlist::PlayNextItem()
{
    if (!m_active)
        return;
    if (!m_entries.empty()) {
        if (PlaylistShuffle) {
            PlayRandomItem();
            return;
        }
        if (m_current < Count() - 1) {
            SetCurrentPlaylistIndex(m_current + 1);
            PlayCurrentItem();
            return;
        }
        SetCurrentPlaylistIndex(0);
        if (PlaylistRepeat) {
            PlayCurrentItem();
            return;
        }
    }
    SetPlaylistActive(false);
}

void Playlist::PlayPreviousItem()
{
    if (!m_active)
        return;
    if (m_entries.empty()) {
        SetPlaylistActive(false);
        return;
    }
    if (m_current > 0)
        SetCurrentPlaylistIndex(m_current - 1);
    PlayCurrentItem();
}

void Playlist::ResetPlayedMarks()
{
    for (PlaylistEntry& entry : m_entries)
        entry.played = false;
    if (!m_entries.empty())
        emit dataChanged(index(0), index(Count() - 1), {PlayedRole});
}

void Playlist::plTimerTimer()
{
    plTimer.stop();
    if (!m_active)
        return;
    if (!m_player.MediaEnded()) {
        plTimer.start();
        return;
    }
    m_failedInRow = m_player.MediaFailed() ? m_failedInRow + 1 : 0;
    if (m_failedInRow >= Count()) {
        SetPlaylistActive(false);
        return;
    }
    PlayNextItem();
}

} // namespace velmora
