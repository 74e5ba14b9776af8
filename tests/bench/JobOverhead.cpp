// Benchmark, not a test: what the job itself adds after the Save click to the time the outside
// tools take, for job PDFs of several sizes, and the processor time the job uses while a tool runs
// for 5 s. The tools are the tool double (copied beside this program by the build), told to take a
// set time. A tool's own time is what it takes to run it on its own, started with CreateProcess
// and waited for, with the same input: the platform's process start belongs to the tool.
//   job_overhead_bench.exe [runs]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "CloseDown.h"
#include "Files.h"
#include "JobState.h"
#include "ModOnTOp.h"
#include "ModReg.h"
#include "PostProcess.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::WriteFile;
using Clock = std::chrono::steady_clock;

const std::string kRoot = R"(C:\folvarek-bench)";

// Seconds to run a tool on its own: started, working on `input`, ended.
double RunAlone(const std::string& program, const std::string& arguments) {
  std::string commandLine = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const auto start = Clock::now();
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return 0;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  const auto end = Clock::now();
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return std::chrono::duration<double>(end - start).count();
}

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

struct Run {
  double wall;       // RunPostProcessing and CloseDown
  double closeDown;  // CloseDown alone
  double tools;      // the two tools run on their own with the same files
  double cpu;        // this process's processor time over the job
};

// One job from the settled target to the end of the close-down.
Run OneJob(std::uint64_t pdfSize, int pdfencMs, int stampMs) {
  const std::string app = kRoot + "\\app";
  const std::string scratch = UserScratchFolder();
  const std::string system = GetSystemDir();
  fs::remove_all(kRoot);
  fs::create_directories(app);
  fs::create_directories(scratch);
  fs::create_directories(kRoot + "\\Out");
  fs::create_directories(kRoot + "\\doubles");
  CopyFileA((win::Utf8(win::ProgramFolder()) + "\\tool_double.exe").c_str(), (app + "\\pdfenc.exe").c_str(), FALSE);
  CopyFileA((win::Utf8(win::ProgramFolder()) + "\\tool_double.exe").c_str(), (system + "\\Kestrix.tlb").c_str(), FALSE);
  WriteFile(system + "\\Kestrix.dll", "%PDF-stamp\n");
  std::string pdf(pdfSize, 'x');
  pdf.replace(0, 9, "%PDF-1.7\n");
  WriteFile(scratch + "\\job.pdf", pdf);
  WriteFile(kRoot + "\\doubles\\pdfenc.control", "delay_ms=" + std::to_string(pdfencMs) + "\n");
  WriteFile(kRoot + "\\doubles\\Kestrix.control", "delay_ms=" + std::to_string(stampMs) + "\n");

  JobState job;
  job.appFolder = app;
  job.scratchFolder = scratch;
  job.saveFolder = kRoot + "\\Out\\";
  job.jobPdfPath = scratch + "\\job.pdf";
  job.baseName = "job";
  job.extension = "pdf";
  job.targetPath = kRoot + "\\Out\\report.pdf";
  job.AskforPass = "0";
  job.AllowCopy = "1";
  job.AllowPrint = "0";
  job.strPermissions = "10000000";
  const JobLabels labels{[](const std::string&) {}, [](const std::string&) {}};

  const double cpu0 = CpuSeconds();
  const auto start = Clock::now();
  RunPostProcessing(job, nullptr, labels);
  const auto processed = Clock::now();
  CloseDown(scratch, job.stagingFolder, job.stampToolEnded);
  const auto end = Clock::now();
  const double cpu = CpuSeconds() - cpu0;

  // The same two runs again, each tool on its own.
  fs::create_directories(scratch);
  WriteFile(scratch + "\\job.pdf", pdf);
  const std::string secured = kRoot + "\\Out\\secured.pdf";
  const double tools =
      RunAlone(app + "\\pdfenc.exe", "\"" + scratch + "\\job.pdf\" \"" + secured + "\"") +
      RunAlone(system + "\\Kestrix.tlb",
               secured + " background " + system + "\\Kestrix.dll output \"" + kRoot + "\\Out\\stamped.pdf\"");
  return {std::chrono::duration<double>(end - start).count(), std::chrono::duration<double>(end - processed).count(),
          tools, cpu};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  SetEnvironmentVariableA("FOLVAREK_DOUBLES", (kRoot + "\\doubles").c_str());
  if (!ModReg::SetViewPDFOpt("0")) std::fprintf(stderr, "could not turn viewing off\n");

  std::printf(
      "Job overhead beyond the tools' own time (median of %d runs, lowest in brackets; each tool takes 1 s)\n\n", runs);
  std::printf("| job PDF | tools' own time | job total | overhead (lowest) | of it: close-down | job CPU |\n");
  std::printf("|---|---|---|---|---|---|\n");
  for (const std::uint64_t size : {3'000ull, 1'000'000ull, 100'000'000ull}) {
    std::vector<double> tools, wall, overhead, closeDown, cpu;
    OneJob(size, 0, 0);  // warm the file cache and the shell
    for (int i = 0; i < runs; ++i) {
      const Run run = OneJob(size, 1000, 1000);
      tools.push_back(run.tools);
      wall.push_back(run.wall);
      overhead.push_back(run.wall - run.tools);
      closeDown.push_back(run.closeDown);
      cpu.push_back(run.cpu);
    }
    std::printf("| %llu bytes | %.3f s | %.3f s | %.1f ms (%.1f ms) | %.1f ms | %.3f s |\n",
                static_cast<unsigned long long>(size), Median(tools), Median(wall), Median(overhead) * 1000,
                *std::min_element(overhead.begin(), overhead.end()) * 1000, Median(closeDown) * 1000, Median(cpu));
  }

  std::vector<double> cpuSlow, cpuFast;
  for (int i = 0; i < runs; ++i) {
    cpuSlow.push_back(OneJob(1'000'000, 5000, 0).cpu);
    cpuFast.push_back(OneJob(1'000'000, 0, 0).cpu);
  }
  std::printf(
      "\nProcessor time of the whole job while pdfenc runs 5 s (1 MB job PDF, median of %d runs): %.3f s;\n"
      "the same job with pdfenc ending at once: %.3f s, so the 5 s of waiting cost %.3f s\n",
      runs, Median(cpuSlow), Median(cpuFast), Median(cpuSlow) - Median(cpuFast));

  const std::string system = GetSystemDir();
  DeleteFileA((system + "\\Kestrix.tlb").c_str());
  DeleteFileA((system + "\\Kestrix.dll").c_str());
  fs::remove_all(kRoot);
  fs::remove_all(UserScratchFolder());
  return 0;
}
