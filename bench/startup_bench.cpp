// Time from process start to the main window shown: the benchmark starts itself as a
// child that builds the windows as the program does and reports once the main window is
// exposed; the parent times from just before the start to that report.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "application.h"
#include "main_window.h"
#include "port_setup_dialog.h"

extern char** environ;

namespace {

int Child(int argc, char** argv) {
    varnix::Application app(argc, argv);
    varnix::TForm1 form1;
    varnix::TForm2 form2(&form1, form1.Report(), form1.Transfer.PortReady);
    form1.SetPortDialog(&form2);
    form1.show();
    if (!QTest::qWaitForWindowExposed(&form1, 10000)) {
        return 1;
    }
    const char shown = 'S';
    return write(STDOUT_FILENO, &shown, 1) == 1 ? 0 : 1;
}

double OneStart(char* self) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    char child[] = "--child";
    char* args[] = {self, child, nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    char shown = 0;
    const bool ok = spawned == 0 && read(pipeFds[0], &shown, 1) == 1;
    const auto end = std::chrono::steady_clock::now();
    close(pipeFds[0]);
    int status = 0;
    if (spawned == 0) {
        waitpid(pid, &status, 0);
    }
    return ok ? std::chrono::duration<double, std::milli>(end - start).count() : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) {
        return Child(argc, argv);
    }
    if (std::getenv("DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    setenv("XDG_CONFIG_HOME", "/nonexistent-varnix-bench", 1);  // no stored port
    const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = OneStart(argv[0]);
        if (ms < 0) {
            std::fprintf(stderr, "start %d failed\n", i);
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("start to main window shown (%s): median %.1f ms, min %.1f, max %.1f (%d runs)\n",
                std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "display",
                times[times.size() / 2], times.front(), times.back(), runs);
    return 0;
}
