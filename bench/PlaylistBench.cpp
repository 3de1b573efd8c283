// The play list control with 10,000 entries: the time to draw one frame while the list
// is scrolled a page at a time (the frame budget is 16 ms), and the time to fill it.
#include "playback/Playlist.h"
#include "playback/PlaylistView.h"
#include "playback/RandomSource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace velmora;

namespace {

class SilentPlayer : public PlaylistPlayer {
public:
    void ShowPlayingPage() override {}
    void RefreshPlayerFocus() override {}
    void PlayCurrentEntry(int) override {}
    void StopForChoice() override {}
    void PlayChosenEntry(int) override {}
    void StopAndClearPlayer() override {}
    bool MediaEnded() const override { return false; }
    bool MediaFailed() const override { return false; }
};

constexpr int kEntries = 10000;

void Fill(Playlist& list)
{
    for (int i = 0; i < kEntries; ++i)
        list.Insert(list.Count() - 1, "Track " + std::to_string(i) + " - a long enough title to need an ellipsis",
                    i + 1);
}

void BM_PlaylistScrollFrame(benchmark::State& state)
{
    SilentPlayer player;
    ClockRandom random;
    Playlist list(player, random);
    Fill(list);
    PlaylistView view;
    view.SetPlaylist(&list);
    view.resize(220, 600);
    view.show();
    list.SetCurrentPlaylistIndex(5000);
    view.SelectIndex(5001);
    QApplication::processEvents();
    QScrollBar* bar = view.verticalScrollBar();
    std::vector<double> frames;
    int value = 0;
    for (auto _ : state) {
        value = value + bar->pageStep() > bar->maximum() ? 0 : value + bar->pageStep();
        QElapsedTimer frame;
        frame.start();
        bar->setValue(value);
        view.viewport()->repaint();
        const double ms = static_cast<double>(frame.nsecsElapsed()) / 1e6;
        frames.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
    std::sort(frames.begin(), frames.end());
    state.counters["entries"] = kEntries;
    state.counters["rows_per_frame"] = view.verticalScrollMode() == QAbstractItemView::ScrollPerItem
                                           ? bar->pageStep()
                                           : bar->pageStep() / std::max(1, view.sizeHintForRow(0));
    state.counters["longest_frame_ms"] = frames.empty() ? 0 : frames.back();
    state.counters["p99_frame_ms"] = frames.empty() ? 0 : frames[frames.size() * 99 / 100];
}
BENCHMARK(BM_PlaylistScrollFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(500);

// Appending 10,000 entries to a shown list, as a double click on a large category does.
void BM_PlaylistFill(benchmark::State& state)
{
    SilentPlayer player;
    ClockRandom random;
    for (auto _ : state) {
        Playlist list(player, random);
        PlaylistView view;
        view.SetPlaylist(&list);
        view.resize(220, 600);
        view.show();
        Fill(list);
        QApplication::processEvents();
    }
    state.counters["entries"] = kEntries;
}
BENCHMARK(BM_PlaylistFill)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
