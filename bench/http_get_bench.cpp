// Times THttpClient::Get in string mode fetching a 64 MiB body from a
// loopback server, against `curl -s -o /dev/null` of the same URL in the
// same run. Each repetition runs curl, then Get; the reported "ratio" is the
// median over the repetitions of Get time / curl time (the machine is shared
// and noisy, and neighbouring runs see the same load).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/http_client.h"
#include "tests/support/loopback_server.h"
#include "bench/median.h"

extern char** environ;

namespace {

constexpr size_t kBodySize = 64u * 1024 * 1024;

std::shared_ptr<const std::string> body() {
  static auto bytes = [] {
    auto s = std::make_shared<std::string>(kBodySize, '\0');
    for (size_t i = 0; i < s->size(); ++i) (*s)[i] = static_cast<char>('a' + i % 26);
    return std::shared_ptr<const std::string>(s);
  }();
  return bytes;
}

glx::test::LoopbackServer& server() {
  static glx::test::LoopbackServer instance(
      {[] {
        glx::test::LoopbackServer::Reply r;
        r.send = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                 std::to_string(kBodySize) + "\r\n\r\n";
        r.body = body();
        return r;
      }()},
      /*repeatLast=*/true);
  return instance;
}

double runCurl(const std::string& url) {
  const auto start = std::chrono::steady_clock::now();
  std::string program = "curl", silent = "-s", out = "-o", null = "/dev/null";
  std::string target = url;
  char* argv[] = {program.data(), silent.data(), out.data(), null.data(), target.data(), nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv, environ) != 0) {
    throw std::runtime_error("cannot start curl");
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("curl failed");
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double runGet(const std::string& url, size_t* size) {
  glx::THttpClient http;
  const auto start = std::chrono::steady_clock::now();
  http.Get(url);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  *size = http.ReplyNumber() == 200 ? http.Body.size() : 0;
  return seconds;
}

using glx::bench::median;

void BM_HttpGetAgainstCurl(benchmark::State& state) {
  const std::string url = server().url("/body.bin");
  std::vector<double> curlTimes, getTimes, ratios;
  size_t size = 0;
  try {
    runCurl(url);  // warms both ends
    for (auto _ : state) {
      const double curlTime = runCurl(url);
      const double getTime = runGet(url, &size);
      curlTimes.push_back(curlTime);
      getTimes.push_back(getTime);
      ratios.push_back(getTime / curlTime);
      state.SetIterationTime(getTime);
    }
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  if (size != kBodySize) state.SkipWithError("Get did not receive the whole body");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBodySize));
  state.counters["curl_s"] = median(curlTimes);
  state.counters["get_s"] = median(getTimes);
  state.counters["ratio"] = median(ratios);
}
BENCHMARK(BM_HttpGetAgainstCurl)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);

// curl comes from Debian; install it when this machine lacks it.
void ensureCurl() {
  if (std::system("command -v curl >/dev/null 2>&1") == 0) return;
  const char* sudo = ::geteuid() == 0 ? "" : "sudo ";
  const std::string install = std::string(sudo) +
                              "apt-get update -qq && " + sudo +
                              "env DEBIAN_FRONTEND=noninteractive apt-get install -y "
                              "--no-install-recommends curl >/dev/null";
  if (std::system(install.c_str()) != 0) std::fprintf(stderr, "could not install curl\n");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ensureCurl();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
