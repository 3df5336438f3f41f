// One poll of the monitor as its timer runs it: GetState through the
// program's library stack (recorded, logged) on the scripted library, the
// state put in the report's words, and the monitor repainted offscreen.
// At 100 ms polling, a poll under 1 ms costs the machine under 1%.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "app/call_log.h"
#include "app/recording_library.h"
#include "fakes.h"
#include "monitor_window.h"

namespace {

struct Monitored {
  fakes::FakeLibrary fake;
  kavr::RecordingControllerLibrary library{fake};
  kavr::CallLog log;
  QTemporaryDir scratch;
  QSettings settings{scratch.filePath("kavrtest.ini"), QSettings::IniFormat};
  MonitorWindow window{library, log, settings, kavr::Selection{}, "."};
  // Polls 100 ms apart, so the plot holds its usual half minute of samples.
  std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();

  Monitored() {
    library.AddObserver([this](const kavr::LibraryCall& call) { log.Add(call); });
    fake.state = {};
    fake.state.Running = fake.state.PowerOn = 1;
    window.show();
    for (int poll = 0; poll < 400; ++poll) Poll();
    // Exposed, laid out and painted once, as the window is by the time it polls.
    QApplication::processEvents();
  }
  void Poll() {
    fake.state.CurrentPosition += 37;  // every poll changes what is shown
    fake.state.EmergencyPushed ^= 1;
    fake.events.clear();
    fake.devices.clear();
    now += std::chrono::milliseconds(100);
    window.PollNow(now);
  }
};

// What the event loop paints after a poll: the widgets the poll changed.
void BM_PollAndPaintChanges(benchmark::State& state) {
  Monitored m;
  for (auto _ : state) {
    m.Poll();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_PollAndPaintChanges)->Unit(benchmark::kMicrosecond);

// The worst case: the whole window painted after every poll.
void BM_PollAndPaintWholeWindow(benchmark::State& state) {
  Monitored m;
  for (auto _ : state) {
    m.Poll();
    m.window.repaint();
  }
}
BENCHMARK(BM_PollAndPaintWholeWindow)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
