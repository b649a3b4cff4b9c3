// Every single fault at every call of a clean run, and every pair of faults in the write phase,
// each in a run of its own from the program-start state. Whatever the driver answers, the run
// must end normally, say what the fault calls for, and leave nothing in the instrument but the
// block it read with its two marker bytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/QX17_701.h"
#include "emulator/emulated_driver.h"
#include "tests/support/cp1251.h"

namespace {

constexpr std::uint8_t kRefused = 0;  // a fault without status: the call itself fails
const std::vector<std::uint8_t> kFaults = {1, 2, 3, 5, 37, 255, kRefused};

struct Fault {
  std::uint32_t call;
  std::uint8_t status;  // kRefused for a refused call
};

std::string Describe(const std::vector<Fault>& faults) {
  std::string text;
  for (const Fault& f : faults) {
    text += f.status == kRefused
                ? " --refuse " + std::to_string(f.call)
                : " --status " + std::to_string(f.call) + "=" + std::to_string(f.status);
  }
  return text;
}

std::string Message(int status) {
  static const std::map<int, std::string> kTexts = {{0, "OK!"},
                                                    {1, " Signal not found!"},
                                                    {2, " Check sum error!"},
                                                    {3, " LPT Port error!"},
                                                    {5, Cp1251(" Недопустимый размер файла!")},
                                                    {37, " Unknown driver status 37!"},
                                                    {255, " Unknown driver status 255!"}};
  return kTexts.at(status);
}

// What the utility must show for a fault schedule, worked out from the protocol alone: which call
// numbers make up each phase, and how the instrument responds when awake or asleep.
class ProtocolModel {
 public:
  explicit ProtocolModel(const std::vector<Fault>& faults) {
    for (const Fault& f : faults) faults_[f.call] = f.status;
  }

  std::string ExpectedConsole(bool& writeSaysOk) {
    writeSaysOk = false;
    Call();  // version query: its outcome is never shown
    std::string text = "\r\nReading QX17...";
    int status = Connect();
    text += Message(status) + "\r\n";
    if (status == 0) {
      Finish();
      text += "Writing QX17...";
      status = Write();
      if (status != 0) status = Write();
      writeSaysOk = status == 0;
      text += Message(status) + "\r\n";
    }
    return text + "Press any key...\r\n";
  }

 private:
  struct Result {
    bool clean;       // no fault: the instrument sees the call
    int faultStatus;  // what the utility reads when there was a fault
  };

  Result Call() {
    auto it = faults_.find(++calls_);
    if (it == faults_.end()) return {true, 0};
    return {false, it->second == kRefused ? 3 : it->second};
  }

  // A transaction's status: a fault's, or the instrument's own (1 while it sleeps).
  int Transact() {
    Result r = Call();
    if (!r.clean) return r.faultStatus;
    return awake_ ? 0 : 1;
  }

  int Connect() {
    bool low = Call().clean;
    bool wake = Call().clean;
    bool high = Call().clean;
    if (low && wake && high) awake_ = true;
    if (int status = Transact(); status != 0) return status;  // identify
    for (int chunk = 0; chunk < 4; ++chunk) {
      if (int status = Transact(); status != 0) return status;
    }
    return 0;
  }

  void Finish() {
    if (Call().clean) awake_ = false;
    Call();
  }

  int Write() {
    int status = Connect();
    for (int chunk = 0; status == 0 && chunk < 4; ++chunk) status = Transact();
    Finish();
    return status;
  }

  std::map<std::uint32_t, std::uint8_t> faults_;
  std::uint32_t calls_ = 0;
  bool awake_ = false;
};

// Runs the utility in a child against the emulated driver with `faults`; the child checks its own
// console bytes and page and says what went wrong on standard error.
bool RunChecked(const std::vector<Fault>& faults, std::string& problem) {
  bool writeSaysOk = false;
  std::string expected = ProtocolModel(faults).ExpectedConsole(writeSaysOk);
  std::FILE* report = std::tmpfile();
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    velk_emu& device = emulated_driver::Device();
    for (const Fault& f : faults) {
      if (f.status == kRefused) {
        velk_emu_refuse_call(&device, f.call);
      } else {
        velk_emu_inject_status(&device, f.call, f.status);
      }
    }
    int out = memfd_create("console", 0);
    int none = open("/dev/null", O_RDONLY);
    dup2(none, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    int exitCode = QX17_701::Run();
    std::fflush(stdout);
    std::string console(4096, '\0');
    console.resize(static_cast<std::size_t>(pread(out, console.data(), console.size(), 0)));
    std::string why;
    if (exitCode != 0) why += "exit code " + std::to_string(exitCode) + "; ";
    if (console != expected) why += "console differs; ";
    for (std::uint32_t a = 0; a < VELK_EMU_PAGE_SIZE; ++a) {
      std::uint8_t old = velk_emu_default_page_byte(a);
      std::uint8_t now = device.page[a];
      std::uint8_t marker = a == 32 ? 0x55 : 0x00;
      bool markerByte = a == 32 || a == 33;
      bool fine = markerByte ? (now == marker || (!writeSaysOk && now == old)) : now == old;
      if (!fine) why += "byte " + std::to_string(a) + " is " + std::to_string(now) + "; ";
    }
    std::fputs(why.c_str(), report);
    std::fflush(report);
    _exit(why.empty() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  std::rewind(report);
  char text[1024] = {};
  std::size_t length = std::fread(text, 1, sizeof text - 1, report);
  std::fclose(report);
  problem.assign(text, length);
  if (!WIFEXITED(status)) problem += "ended by signal " + std::to_string(WTERMSIG(status));
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

constexpr std::uint32_t kCleanRunCalls = 25;
constexpr std::uint32_t kWritePhaseFirst = 12;
// A write phase is at most two write attempts of 14 calls each.
constexpr std::uint32_t kWritePhaseLast = kWritePhaseFirst + 2 * 14 - 1;

TEST(FaultSpace, EverySingleFaultAtEveryCallOfACleanRun) {
  int runs = 0;
  for (std::uint32_t call = 1; call <= kCleanRunCalls; ++call) {
    for (std::uint8_t fault : kFaults) {
      std::vector<Fault> faults = {{call, fault}};
      std::string problem;
      EXPECT_TRUE(RunChecked(faults, problem)) << Describe(faults) << ": " << problem;
      ++runs;
    }
  }
  RecordProperty("runs", runs);
  EXPECT_EQ(runs, 175);
}

TEST(FaultSpace, EveryPairOfFaultsInTheWritePhase) {
  int runs = 0;
  int failures = 0;
  for (std::uint32_t first = kWritePhaseFirst; first <= kWritePhaseLast; ++first) {
    for (std::uint32_t second = first + 1; second <= kWritePhaseLast; ++second) {
      for (std::uint8_t a : kFaults) {
        for (std::uint8_t b : kFaults) {
          std::vector<Fault> faults = {{first, a}, {second, b}};
          std::string problem;
          ++runs;
          if (RunChecked(faults, problem)) continue;
          // Enough to see the pattern without burying it.
          if (++failures <= 20) ADD_FAILURE() << Describe(faults) << ": " << problem;
        }
      }
    }
  }
  RecordProperty("runs", runs);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(runs, 378 * 49);
}

}  // namespace
