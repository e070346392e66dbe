// Start-up to the log-in dialog, offscreen: the process-wide records, the
// connection of the last-used book and the dialog shown with its lists.
// Targets: under 1 s on an empty program folder (which is prepared on the
// way), under 300 ms on a prepared one.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>

#include "data/app_context.h"
#include "data/data_module.h"
#include "data/first_start.h"
#include "platform/prompter.h"
#include "shell/login_dialog.h"
#include "shell/main_window.h"

namespace {

void startToLogin(const QString& folder) {
    ScriptedPrompter prompter;
    AppContext context(AppPaths(folder), prompter);
    MainWindow window(context);
    FirstStart::run(context);
    context.data().ConnectDatabases();
    LoginDialog dialog(context, &window);
    dialog.show();
    QApplication::processEvents();
    benchmark::DoNotOptimize(dialog.userBox()->count());
}

void BM_StartToLoginOnEmptyFolder(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        state.ResumeTiming();
        startToLogin(dir.path());
    }
}
BENCHMARK(BM_StartToLoginOnEmptyFolder)->Unit(benchmark::kMillisecond);

void BM_StartToLoginOnPreparedFolder(benchmark::State& state) {
    QTemporaryDir dir;
    startToLogin(dir.path());
    for (auto _ : state) {
        startToLogin(dir.path());
    }
}
BENCHMARK(BM_StartToLoginOnPreparedFolder)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
