// How close Varnix comes to what the line allows, and what it costs while it waits.
// Prints one table; every figure is the median of several runs with its spread.
#include <pty.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <dirent.h>
#include <fcntl.h>
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "application.h"
#include "bench_figures.h"
#include "comm.h"
#include "device_runner.h"
#include "jet_settings.h"
#include "main_window.h"
#include "phone_csv.h"
#include "port_link.h"
#include "port_probe.h"
#include "port_setup_dialog.h"
#include "serial_devices.h"
#include "settings_file.h"
#include "windows_directory.h"

extern char** environ;

namespace {

using namespace varnix;
using namespace varnix::bench;
constexpr int kBaud = 9600;
constexpr double kSilenceMs = 100;

// Latency from the last byte of a burst arriving to OnReceiveData, less the 100 ms
// silence the read waits for: 20 bursts of 13 bytes on a pseudo-terminal.
std::vector<double> ReceiveLatencies() {
    int master = -1, slave = -1;
    char name[256] = {};
    openpty(&master, &slave, name, nullptr, nullptr);
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    TComm comm;
    comm.SetCommName(name);
    Clock::time_point sent;
    std::vector<double> latencies;
    comm.OnReceiveData = [&](TComm*, const std::uint8_t*, std::uint16_t) {
        latencies.push_back(Ms(Clock::now() - sent) - kSilenceMs);
    };
    comm.OpenPort();
    const std::uint8_t reply[13] = {0xAA, 0x22, 0x09, 0, 7, 3, 0xE8, 1, 0, 0, 0, 0, 0xEE};
    for (std::size_t i = 0; i < 20; ++i) {
        sent = Clock::now();
        if (write(master, reply, sizeof reply) != static_cast<ssize_t>(sizeof reply)) {
            break;
        }
        RunLoopUntil([&] { return latencies.size() > i; }, 2000);
        RunLoopUntil([] { return false; }, 150);
    }
    comm.ClosePort();
    close(master);
    close(slave);
    return latencies;
}

double LineMs(std::size_t bytes) {
    return static_cast<double>(bytes) * 10.0 * 1000.0 / kBaud;
}

// One frame the virtual device took in or sent, and when.
struct Frame {
    bool out;
    std::uint8_t code;
    std::size_t size;
    Clock::time_point at;
};

// The virtual relay device on COM1, paced at 9600 baud, on a thread of its own; it notes
// every frame in and out.
class Device {
  public:
    Device(const DeviceState& state, const DeviceBehaviour& behaviour) : state_(state) {
        DeviceTiming paced;
        paced.paceBaud = kBaud;
        runner_ = std::make_unique<DeviceRunner>(state_, behaviour, paced, nullptr);
        runner_->observer = [this](bool out, const FrameBytes& bytes, Clock::time_point at) {
            std::lock_guard lock(mutex_);
            frames_.push_back(
                {out, bytes.size() > 1 ? bytes[1] : std::uint8_t{0}, bytes.size(), at});
        };
        std::string error;
        if (!runner_->Open(error) || !link_.Create("COM1", runner_->Path(), error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        runner_->Start();
    }
    std::vector<Frame> Frames() {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    // Stops the device; its state is then safe to read.
    const DeviceState& Stopped() {
        runner_->Stop();
        runner_->Join();
        return state_;
    }

  private:
    DeviceState state_;
    std::unique_ptr<DeviceRunner> runner_;
    PortLink link_;
    std::mutex mutex_;
    std::vector<Frame> frames_;
};

// What the line allows a read: every byte's line time, and the 100 ms of silence the PC
// waits for after each of the device's replies.
double ReadLimitMs(const std::vector<Frame>& frames) {
    std::size_t bytes = 0;
    int replies = 0;
    for (const Frame& frame : frames) {
        bytes += frame.size;
        replies += frame.out ? 1 : 0;
    }
    return LineMs(bytes) + replies * kSilenceMs;
}

// The program's windows with a virtual device on COM1.
class Rig {
  public:
    Rig(const DeviceState& state, const DeviceBehaviour& behaviour) {
        form1_ = std::make_unique<TForm1>();
        form2_ = std::make_unique<TForm2>(form1_.get(), form1_->Report(), form1_->Session());
        form1_->SetPortDialog(form2_.get());
        form1_->Boxes().SetAnswerer([](const MessageRequest& r) {
            std::fprintf(stderr, "unexpected message: %s\n", r.text.c_str());
            return MessageResult::Ok;
        });
        form1_->show();
        device_ = std::make_unique<Device>(state, behaviour);
    }
    TForm1& Form() { return *form1_; }
    // Clicks and waits for the status; the time from click to status, in ms.
    double Run(QPushButton* button, const std::string& status) {
        form1_->StatusPanel->SetText("");
        const auto start = Clock::now();
        QTest::mouseClick(button, Qt::LeftButton);
        if (!RunLoopUntil([&] { return form1_->StatusText() == status; }, 300000)) {
            std::fprintf(stderr, "no \"%s\" (status \"%s\")\n", status.c_str(),
                         form1_->StatusText().c_str());
            std::exit(1);
        }
        return Ms(Clock::now() - start);
    }
    std::vector<Frame> Frames() { return device_->Frames(); }

  private:
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<Device> device_;
};

void FillTable(TForm1& form) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        form.StringGrid1->SetCell(1, slot, QString::fromStdString(GeneratedNumber(slot)));
    }
}

long PeakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return 0;
}

// Voluntary and involuntary context switches of all threads but the main one.
long ThreadWakeUps() {
    long total = 0;
    DIR* tasks = opendir("/proc/self/task");
    const std::string self = std::to_string(getpid());
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.' || self == entry->d_name) {
            continue;
        }
        std::ifstream status(std::string("/proc/self/task/") + entry->d_name + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.find("ctxt_switches:") != std::string::npos) {
                total += std::atol(line.c_str() + line.find(':') + 1);
            }
        }
    }
    closedir(tasks);
    return total;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int StartChild(int argc, char** argv) {
    Application app(argc, argv);
    TForm1 form1;
    TForm2 form2(&form1, form1.Report(), form1.Session());
    form1.SetPortDialog(&form2);
    form1.show();
    if (!QTest::qWaitForWindowExposed(&form1, 10000)) {
        return 1;
    }
    const char shown = 'S';
    return write(STDOUT_FILENO, &shown, 1) == 1 ? 0 : 1;
}

double OneStart(char* self) {
    int fds[2];
    if (pipe(fds) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    char child[] = "--start-child";
    char* args[] = {self, child, nullptr};
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char shown = 0;
    const bool ok = spawned == 0 && read(fds[0], &shown, 1) == 1;
    const double ms = Ms(Clock::now() - start);
    close(fds[0]);
    int status = 0;
    if (spawned == 0) {
        waitpid(pid, &status, 0);
    }
    return ok ? ms : -1;
}

// The values a benchmark saves: time-out 1000 and the flag on.
ConfigRecord BenchValues() {
    ConfigRecord values;
    values.SetTimeoutText("1000");
    values.SetExternalDisconnect(true);
    return values;
}

std::string Machine() {
    utsname name{};
    uname(&name);
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line, model = "unknown processor";
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    std::ostringstream text;
    text << model << ", " << std::thread::hardware_concurrency() << " cores, " << name.sysname
         << " " << name.release << " " << name.machine;
    return text.str();
}

// A genuine Access sample: in the folder VARNIX_JET_SAMPLES names, else beside the project.
std::filesystem::path JetSample(const char* name) {
    const char* named = std::getenv("VARNIX_JET_SAMPLES");
    return std::filesystem::path(named != nullptr && *named != '\0' ? named
                                                                    : VARNIX_SOURCE_DIR
                                     "/../shared/jet-samples") /
           name;
}

// A genuine 500-row Access file loaded through "Load From File...", click to values shown.
// Empty when the sample files are not at hand.
Figure AccessLoads(int runs) {
    const std::filesystem::path file = JetSample("settings_full500.mdb");
    Figure load;
    if (!std::filesystem::exists(file)) {
        return load;
    }
    TForm1 form1;
    form1.Dialogs().SetAnswerer([&](const FileRequest&) { return file.string(); });
    form1.Boxes().SetAnswerer([](const MessageRequest& r) {
        std::fprintf(stderr, "unexpected message: %s\n", r.text.c_str());
        return MessageResult::Ok;
    });
    form1.show();
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        QTest::mouseClick(form1.BitBtn1, Qt::LeftButton);
        load.runs.push_back(Ms(Clock::now() - start));
        if (form1.StringGrid1->Cell(1, 500).isEmpty()) {
            std::fprintf(stderr, "the Access file did not load\n");
            std::exit(1);
        }
    }
    return load;
}

// A hundred saves of 500 slots into a copy of a genuine 500-row Access (Jet 4) file with a
// primary key and an index on the numbers, each the whole SaveSettings with its verifying
// re-read and every number changed, and apart from it the part in memory; then loads of the
// file; and its size after the first save and after the last. Empty when the sample files
// are not at hand.
struct AccessSaveFigures {
    Figure save, inMemory, load;
    std::uintmax_t firstSize = 0, lastSize = 0;
};
AccessSaveFigures AccessSaves(const std::filesystem::path& folder, int runs) {
    const std::filesystem::path sample = JetSample("write_full500_indexed.mdb");
    AccessSaveFigures figures;
    if (!std::filesystem::exists(sample)) {
        return figures;
    }
    const auto file = folder / "access500.mdb";
    std::filesystem::copy_file(sample, file);
    std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    AdoQuery query;
    for (int save = 0; save < 100; ++save) {
        ConfigRecord values = BenchValues();
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            values.SetPhoneText(slot, "+3612345" + std::to_string(save * 1000 + slot));
        }
        values.SetTimeoutText(std::to_string(save));
        // The part that is no file access: the new file built and verified in memory.
        const JetFile before = JetFile::Open(file.string());
        auto start = Clock::now();
        BuildJetSettingsSave(before.Pages().Bytes(), values, save);
        figures.inMemory.runs.push_back(Ms(Clock::now() - start));
        start = Clock::now();
        SaveSettings(query, file.string(), values);
        figures.save.runs.push_back(Ms(Clock::now() - start));
        (save == 0 ? figures.firstSize : figures.lastSize) = std::filesystem::file_size(file);
    }
    for (int i = 0; i < runs; ++i) {
        ConfigRecord loaded;
        const auto start = Clock::now();
        LoadSettings(query, file.string(), loaded);
        figures.load.runs.push_back(Ms(Clock::now() - start));
        if (loaded.PhoneText(kSlotCount) != "+3612345" + std::to_string(99 * 1000 + kSlotCount)) {
            std::fprintf(stderr, "the Access file did not load as saved\n");
            std::exit(1);
        }
    }
    return figures;
}

// Project1 as a process with `args`, its output into `log`: the time from its start to its
// exit in ms, or -1, with its output shown, when it did not exit with status 0.
double RunProgram(const std::vector<std::string>& args, const std::filesystem::path& log) {
    std::vector<std::string> words = {VARNIX_PROJECT1};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    int status = 0;
    if (spawned == 0) {
        waitpid(pid, &status, 0);
    }
    const double ms = Ms(Clock::now() - start);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return ms;
    }
    std::ifstream output(log);
    std::stringstream text;
    text << output.rdbuf();
    std::string how = "did not start";
    if (spawned == 0) {
        how = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                : "ended by signal " + std::to_string(WTERMSIG(status));
    }
    std::fprintf(stderr, "Project1 %s: %s\n%s", args.front().c_str(), how.c_str(),
                 text.str().c_str());
    return -1;
}

bool HoldsGeneratedNumbers(const ConfigValues& values) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (values.PhoneText(slot) != GeneratedNumber(slot)) {
            return false;
        }
    }
    return true;
}

ConfigRecord GeneratedValues() {
    ConfigRecord values = BenchValues();
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        values.SetPhoneText(slot, GeneratedNumber(slot));
    }
    return values;
}

// The command line's read and write of 500 numbers against the device as the window's rows
// have it, each a Project1 process from its start to its exit: the read into a new settings
// file, the write from a CSV file of the numbers with the relay settings given as options.
// A run that fails, or whose numbers do not arrive, counts -1.
struct CommandLineFigures {
    Figure read, readRatio, write, writeRatio;
    Figure compare, compareRatio, verify, verifyRatio;
    double readLimitMs = 0;
};
CommandLineFigures CommandLineTransfers(const std::filesystem::path& folder, int runs,
                                        double writeMinimum) {
    CommandLineFigures figures;
    const auto log = folder / "project1.out";
    DeviceState full;
    FillGeneratedNumbers(full, kSlotCount);
    DeviceBehaviour wide;
    wide.recordsPerReply = 15;
    for (int i = 0; i < runs; ++i) {
        const auto file = folder / ("read" + std::to_string(i) + ".mdb");
        Device device(full, wide);
        double ms = RunProgram({"read", file.string(), "--port", "COM1"}, log);
        const double limitMs = ReadLimitMs(device.Frames());
        ConfigRecord loaded;
        if (ms >= 0) {
            AdoQuery query;
            LoadSettings(query, file.string(), loaded);
            if (!HoldsGeneratedNumbers(loaded)) {
                std::fprintf(stderr, "the command line's read did not save the 500 numbers\n");
                ms = -1;
            }
        }
        figures.readLimitMs = std::max(figures.readLimitMs, limitMs);
        figures.read.runs.push_back(ms < 0 ? -1 : ms / 1000);
        figures.readRatio.runs.push_back(ms < 0 ? -1 : ms / limitMs);
    }
    const auto csv = folder / "numbers.csv";
    SavePhoneCsv(csv.string(), GeneratedValues());
    for (int i = 0; i < runs; ++i) {
        Device device(DeviceState{}, {});
        double ms = RunProgram({"write", csv.string(), "--port", "COM1", "--timeout", "1000",
                                "--external-disconnect", "on"},
                               log);
        const DeviceState& written = device.Stopped();
        if (ms >= 0 && (written.NumberCount() != kSlotCount ||
                        written.phones[kSlotCount] != GeneratedNumber(kSlotCount))) {
            std::fprintf(stderr, "the command line's write did not reach the device whole\n");
            ms = -1;
        }
        figures.write.runs.push_back(ms < 0 ? -1 : ms / 1000);
        figures.writeRatio.runs.push_back(ms < 0 ? -1 : ms / writeMinimum);
    }
    // A comparison reads as the read does but saves nothing; a verified write is a write and
    // a read in one process. Each is measured against the medians of those runs.
    const double readMs = figures.read.Median() * 1000;
    const double writeMs = figures.write.Median() * 1000;
    for (int i = 0; i < runs; ++i) {
        Device device(full, wide);
        const double ms = RunProgram({"compare", csv.string(), "--port", "COM1"}, log);
        figures.compare.runs.push_back(ms < 0 ? -1 : ms / 1000);
        figures.compareRatio.runs.push_back(ms < 0 ? -1 : ms / readMs);
    }
    for (int i = 0; i < runs; ++i) {
        Device device(DeviceState{}, wide);
        const double ms = RunProgram({"write", csv.string(), "--port", "COM1", "--timeout", "0",
                                      "--external-disconnect", "off", "--verify"},
                                     log);
        figures.verify.runs.push_back(ms < 0 ? -1 : ms / 1000);
        figures.verifyRatio.runs.push_back(ms < 0 ? -1 : ms / (readMs + writeMs));
    }
    return figures;
}

// Import of a CSV export of 500 numbers: from the text in memory (ImportPhoneCsv) and from
// its file (LoadPhoneCsv), each the median of many runs.
struct CsvFigures {
    Figure import, load;
};
CsvFigures CsvImports(const std::filesystem::path& folder, int runs) {
    CsvFigures figures;
    const ConfigRecord values = GeneratedValues();
    const std::string text = ExportPhoneCsv(values);
    const auto file = folder / "export500.csv";
    SavePhoneCsv(file.string(), values);
    for (int i = 0; i < runs; ++i) {
        ConfigRecord imported, loaded;
        auto start = Clock::now();
        ImportPhoneCsv(text, imported);
        figures.import.runs.push_back(Ms(Clock::now() - start));
        start = Clock::now();
        LoadPhoneCsv(file.string(), loaded);
        figures.load.runs.push_back(Ms(Clock::now() - start));
        if (!HoldsGeneratedNumbers(imported) || !HoldsGeneratedNumbers(loaded)) {
            std::fprintf(stderr, "the CSV export did not import back\n");
            std::exit(1);
        }
    }
    return figures;
}

// The probe over the 15 names with the device on COM15, the last present port, and
// COM1 to COM14 present but silent (pseudo-terminals with nothing behind them): start to
// the results, which name COM15 as the one that answered.
Figure ProbeFigure(int runs) {
    Figure took;
    DeviceState state;
    DeviceRunner device(state, {}, {}, nullptr);
    std::string error;
    if (!device.Open(error) || !LinkPort("COM15", device.Path(), error)) {
        std::fprintf(stderr, "probe: %s\n", error.c_str());
        return took;
    }
    device.Start();
    std::vector<std::array<int, 2>> silent;
    std::vector<std::string> names;
    for (int n = 1; n <= 15; ++n) {
        names.push_back("COM" + std::to_string(n));
        if (n == 15) {
            break;
        }
        int master = -1, slave = -1;
        char path[256] = {};
        openpty(&master, &slave, path, nullptr, nullptr);
        silent.push_back({master, slave});
        LinkPort(names.back(), path, error);
    }
    for (int i = 0; i < runs; ++i) {
        PortProbe probe;
        bool found = false, done = false;
        QObject::connect(&probe, &PortProbe::finished,
                         [&](const std::vector<ProbeResult>& results) {
                             found = results.back().outcome == ProbeResult::Outcome::Answered;
                             done = true;
                         });
        const auto t0 = Clock::now();
        probe.Start(names);
        RunLoopUntil([&] { return done; }, 10000);
        if (found) {
            took.runs.push_back(Ms(Clock::now() - t0) / 1000);
        }
    }
    for (const std::string& name : names) {
        LinkPort(name, "", error);
    }
    for (const auto& [master, slave] : silent) {
        close(master);
        close(slave);
    }
    device.Stop();
    device.Join();
    return took;
}

// The settings files' figures: a full SQLite work file, the genuine Access files, CSV.
struct FileFigures {
    Figure save, load, accessLoad;
    AccessSaveFigures access;
    CsvFigures csv;
};
FileFigures MeasureFiles(const std::filesystem::path& sandbox, int runs) {
    FileFigures figures;
    ConfigRecord values = BenchValues();
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        values.SetPhoneText(slot, GeneratedNumber(slot));
    }
    for (int i = 0; i < std::max(runs, 5); ++i) {
        const auto file = sandbox / ("full" + std::to_string(i) + ".mdb");
        std::filesystem::copy_file(TemplatePath(), file);
        AdoQuery query;
        auto t0 = Clock::now();
        SaveSettings(query, file.string(), values);
        figures.save.runs.push_back(Ms(Clock::now() - t0));
        ConfigRecord loaded;
        t0 = Clock::now();
        LoadSettings(query, file.string(), loaded);
        figures.load.runs.push_back(Ms(Clock::now() - t0));
    }
    figures.access = AccessSaves(sandbox, std::max(runs, 5));
    figures.accessLoad = AccessLoads(std::max(runs, 5));
    figures.csv = CsvImports(sandbox, 200);
    return figures;
}

void PrintFileRows(const FileFigures& files) {
    Row("Save a full 500-slot file", files.save, "ms", "-");
    Row("Load a full 500-slot file", files.load, "ms", "-");
    if (!files.accessLoad.runs.empty()) {
        Row("Load a 500-row Access (Jet 4) file, click to values shown", files.accessLoad, "ms",
            "20 ms");
    }
    const AccessSaveFigures& access = files.access;
    if (!access.save.runs.empty()) {
        Row("Save 500 slots into a 500-row Access (Jet 4) file with two indexes, verify included",
            access.save, "ms", "15 ms");
        Row("Of that, the file built and verified in memory", access.inMemory, "ms", "-");
        Row("Load that Access file (LoadSettings)", access.load, "ms", "-");
        std::printf(
            "| That Access file's size after 100 saves of 500 slots | %ju bytes, %.2f times "
            "its %ju after the first | - |\n",
            access.lastSize,
            static_cast<double>(access.lastSize) / static_cast<double>(access.firstSize),
            access.firstSize);
    }
    Row("Import a CSV export of 500 numbers (ImportPhoneCsv)", files.csv.import, "ms", "-", 3);
    Row("Load that CSV file (LoadPhoneCsv)", files.csv.load, "ms", "-", 3);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--start-child") == 0) {
        return StartChild(argc, argv);
    }
    // "--files [runs]" measures the settings files alone, without the device or a process.
    const bool filesOnly = argc > 1 && std::strcmp(argv[1], "--files") == 0;
    const int runArgument = filesOnly ? 2 : 1;
    const int runs = argc > runArgument ? std::max(1, std::atoi(argv[runArgument])) : 3;
    if (std::getenv("DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    const auto sandbox =
        std::filesystem::temp_directory_path() / ("varnix-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(sandbox);
    setenv("XDG_CONFIG_HOME", sandbox.c_str(), 1);
    Application app(argc, argv);
    if (filesOnly) {
        const FileFigures files = MeasureFiles(sandbox, runs);
        std::filesystem::remove_all(sandbox);
        std::printf("Machine: %s\n\n", Machine().c_str());
        std::printf("| Figure | Measured: median (spread) | Limit |\n|---|---|---|\n");
        PrintFileRows(files);
        return 0;
    }

    Figure receive;
    receive.runs = ReceiveLatencies();

    // Process start to main window shown.
    Figure start;
    for (int i = 0; i < std::max(runs, 5); ++i) {
        start.runs.push_back(OneStart(argv[0]));
    }

    // Write of 500 numbers: 103 ticks at least (parameters, switch, 100 frames, completion).
    const double writeMinimum = 103 * 500.0;
    Figure write, writeRatio;
    for (int i = 0; i < runs; ++i) {
        Rig rig(DeviceState{}, {});
        FillTable(rig.Form());
        const double ms = rig.Run(rig.Form().BitBtn4, "Write data complete...");
        write.runs.push_back(ms / 1000);
        writeRatio.runs.push_back(ms / writeMinimum);
    }

    // Read of 500 numbers, 15 a reply; acknowledge latency; peak memory.
    DeviceState full;
    FillGeneratedNumbers(full, kSlotCount);
    DeviceBehaviour wide;
    wide.recordsPerReply = 15;
    Figure read, readRatio, ackMedian, ackWorst, idleCpu, wakeUps;
    double readLimitMs = 0;
    for (int i = 0; i < runs; ++i) {
        Rig rig(full, wide);
        const double ms = rig.Run(rig.Form().BitBtn3, "Receiving completed.");
        std::vector<double> acks;
        const auto frames = rig.Frames();
        for (std::size_t f = 0; f < frames.size(); ++f) {
            if (frames[f].out && frames[f].code == 0x23 && f + 1 < frames.size() &&
                !frames[f + 1].out && frames[f + 1].code == 0x10) {
                acks.push_back(Ms(frames[f + 1].at - frames[f].at) - kSilenceMs);
            }
        }
        readLimitMs = ReadLimitMs(frames);
        read.runs.push_back(ms / 1000);
        readRatio.runs.push_back(ms / readLimitMs);
        std::sort(acks.begin(), acks.end());
        ackMedian.runs.push_back(acks[acks.size() / 2]);
        ackWorst.runs.push_back(acks.back());

        // The port is open now: ten seconds of nothing.
        const double cpu = CpuSeconds();
        const long switches = ThreadWakeUps();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        idleCpu.runs.push_back((CpuSeconds() - cpu) * 1000);
        wakeUps.runs.push_back(static_cast<double>(ThreadWakeUps() - switches));
    }
    const long peakKb = PeakResidentKb();

    // The same read and write from the command line, process start to exit.
    const CommandLineFigures commandLine = CommandLineTransfers(sandbox, runs, writeMinimum);

    const FileFigures files = MeasureFiles(sandbox, runs);
    const Figure probe = ProbeFigure(std::max(runs, 5));
    std::filesystem::remove_all(sandbox);

    std::printf("Machine: %s\n\n", Machine().c_str());
    std::printf("| Figure | Measured: median (spread) | Limit |\n|---|---|---|\n");
    Row("Write 500 numbers, click to \"Write data complete...\"", write, "s",
        Format("103 ticks = %.1f s; ratio %.3f", writeMinimum / 1000, writeRatio.Median()));
    Row("Read 500 numbers (15 a reply, 9600 baud), click to \"Receiving completed.\"", read, "s",
        Format("line time + 100 ms a reply = %.1f s; ratio %.2f", readLimitMs / 1000,
               readRatio.Median()));
    Row("Command line: write 500 numbers from a CSV file, process start to exit", commandLine.write,
        "s",
        Format("103 ticks = %.1f s; ratio %.3f; \u2264 1.01\u00d7", writeMinimum / 1000,
               commandLine.writeRatio.Median()));
    Row("Command line: read 500 numbers (15 a reply, 9600 baud) into a new settings file, "
        "process start to exit",
        commandLine.read, "s",
        Format("line time + 100 ms a reply = %.1f s; ratio %.2f; \u2264 1.03\u00d7",
               commandLine.readLimitMs / 1000, commandLine.readRatio.Median()));
    Row("Command line: compare 500 numbers with a CSV file, process start to exit",
        commandLine.compare, "s",
        Format("ratio %.3f to the read's median; \u2264 1.05\u00d7",
               commandLine.compareRatio.Median()));
    Row("Command line: write 500 numbers with --verify, process start to exit", commandLine.verify,
        "s",
        Format("ratio %.3f to the write's and the read's medians together; \u2264 1.05\u00d7",
               commandLine.verifyRatio.Median()));
    Row("Acknowledge latency beyond the 100 ms silence, median of a read", ackMedian, "ms", "0 ms");
    Row("Acknowledge latency beyond the 100 ms silence, worst of a read", ackWorst, "ms", "0 ms");
    Row("Serial receive: last byte to OnReceiveData beyond the 100 ms silence", receive, "ms",
        "0 ms");
    if (!probe.runs.empty()) {
        Row("Port probe over COM1 to COM15, the device on the last present one (--port auto), "
            "start to results",
            probe, "s", "2 s", 2);
    }
    Row("Process start to main window shown", start, "ms", "-");
    PrintFileRows(files);
    Row("Processor time, 10 s idle with the port open", idleCpu, "ms", "0 ms");
    Row("Wake-ups of the worker threads, 10 s idle", wakeUps, "", "0");
    std::printf("| Peak resident memory during full reads | %ld KiB | - |\n", peakKb);
    return 0;
}
