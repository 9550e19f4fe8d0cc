// Start-up: from process start to the main window shown (offscreen), and the most memory the
// process held, over 20 runs of the real program; beside it a bare Qt window's start-up as
// the floor that Qt itself sets.

#include "benchsupport.h"

#include "app/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int kRuns = 20;

struct StartRun
{
    double shownMs = -1; // from spawning the process to its window shown
    double maxRssMb = 0; // the child's maximum resident set, in MB (10^6 bytes)
};

// Runs program with arguments; the child prints "shown <steady clock ms>" once its window is up.
StartRun startOnce(const QString &program, const QStringList &arguments)
{
    StartRun run;
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    QByteArrayList argumentBytes{program.toLocal8Bit()};
    for (const QString &argument : arguments)
        argumentBytes.append(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : argumentBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const double started = Bench::wallMs();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return run;
    }
    QByteArray output;
    char buffer[512];
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<int>(got));
    ::close(pipeFds[0]);
    int status = 0;
    struct rusage usage = {};
    wait4(child, &status, 0, &usage);
    run.maxRssMb = static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;

    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith("shown ") && WIFEXITED(status) && WEXITSTATUS(status) == 0)
            run.shownMs = line.mid(6).trimmed().toDouble() - started;
    }
    return run;
}

struct Series
{
    std::vector<double> shownMs;
    double maxRssMb = 0;
    bool ok = true;
};

Series startRepeatedly(const QString &program, const QStringList &arguments)
{
    Series series;
    // One untimed run first, so that every timed run finds the libraries in the page cache
    // and the program's settings file already written, as a user's second start does.
    startOnce(program, arguments);
    for (int i = 0; i < kRuns; ++i) {
        const StartRun run = startOnce(program, arguments);
        if (run.shownMs < 0)
            series.ok = false;
        series.shownMs.push_back(run.shownMs);
        series.maxRssMb = std::max(series.maxRssMb, run.maxRssMb);
    }
    return series;
}

QString spread(const std::vector<double> &values)
{
    return Bench::number(Bench::median(values), 1) + QStringLiteral(" ms (min ")
           + Bench::number(Bench::minimum(values), 1) + QStringLiteral(", max ")
           + Bench::number(Bench::maximum(values), 1) + QStringLiteral(")");
}

// Prints "shown <steady clock ms>" once window is exposed (and so painted), then closes it.
void reportWhenShown(QWidget &window)
{
    QTimer::singleShot(0, &window, [&window] {
        const QWindow *handle = window.windowHandle();
        if (!handle || !handle->isExposed()) {
            reportWhenShown(window);
            return;
        }
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::printf("shown %.3f\n", std::chrono::duration<double, std::milli>(now).count());
        std::fflush(stdout);
        window.close();
    });
}

// The floor: a bare Qt application that shows one empty window the same way and reports it.
int bareWindow(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(800, 600);
    window.show();
    reportWhenShown(window);
    return app.exec();
}

// The program's own window, put together and started as main() does.
int mainWindow(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vornik"));
    MainWindow window;
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window,
                     [&window] { window.shutdown(); });
    window.startup();
    if (window.shutdownDone())
        return 1;
    window.show();
    reportWhenShown(window);
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--bare-window") == 0)
        return bareWindow(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--main-window") == 0)
        return mainWindow(argc, argv);

    Bench::useOffscreenPlatform();

    // A private copy of this benchmark named like the program, so that the window's settings
    // file is written there under the program's name and not into the build folder.
    QTemporaryDir directory;
    const QString program = directory.filePath(QStringLiteral("vornik"));
    if (!directory.isValid() || !QFile::copy(QString::fromLocal8Bit(argv[0]), program)) {
        std::fprintf(stderr, "bench_startup: could not copy %s\n", argv[0]);
        return 1;
    }

    Bench::progress(QStringLiteral("start-up: %1 runs of the program's window").arg(kRuns));
    const Series vornik = startRepeatedly(program, {QStringLiteral("--main-window")});
    Bench::progress(QStringLiteral("start-up: %1 runs of a bare Qt window").arg(kRuns));
    const Series bare
            = startRepeatedly(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--bare-window")});
    if (!vornik.ok || !bare.ok) {
        std::fprintf(stderr, "bench_startup: a run did not report its window shown\n");
        return 1;
    }

    const double median = Bench::median(vornik.shownMs);
    Bench::printRow(QStringLiteral("Start-up to main window shown (20 runs)"),
                    spread(vornik.shownMs),
                    QStringLiteral("bare Qt window: ") + spread(bare.shownMs),
                    QStringLiteral("median < 150 ms"), Bench::verdict(median < 150.0));
    Bench::printRow(QStringLiteral("Maximum resident memory (largest of 20 runs)"),
                    Bench::number(vornik.maxRssMb, 1) + QStringLiteral(" MB"),
                    QStringLiteral("bare Qt window: ") + Bench::number(bare.maxRssMb, 1)
                            + QStringLiteral(" MB"),
                    QStringLiteral("< 45 MB"), Bench::verdict(vornik.maxRssMb < 45.0));
    return 0;
}
