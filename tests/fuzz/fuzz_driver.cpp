// A small stand-in for libFuzzer, for compilers that have none (g++): it replays every file
// of the corpus folders given on its command line, then feeds the target a seeded, and so
// repeatable, series of mutations of them. It takes libFuzzer's spelling of the options it
// knows (-runs=, -seed=, -max_total_time=, -max_len=, -timeout=, -artifact_prefix=) and
// passes over the others. Each input reaches the target in a heap block of exactly its
// size, so the sanitizers see a read past its end. When a run dies (a sanitizer report, a
// signal, or an input that takes longer than -timeout= seconds) the input is written to
// <artifact_prefix>crash-<target> (or timeout-<target>) first.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KIVRUN_FUZZ_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIVRUN_FUZZ_SANITIZED 1
#endif
#endif
#if defined(KIVRUN_FUZZ_SANITIZED)
#include <sanitizer/common_interface_defs.h>
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;

struct Options {
  long runs = 10000;        // mutations after the corpus; -1: until the time is up
  uint64_t seed = 1;
  long maxTotalTime = 0;    // seconds for the whole run; 0: no limit
  size_t maxLength = 4096;  // mutations never grow an input beyond this
  unsigned timeout = 20;    // seconds for one input
  std::string artifactPrefix;
  std::vector<std::string> inputs;  // corpus folders or single files
};

// The input running now, for the handlers that save it when the run dies.
const uint8_t* g_current = nullptr;
size_t g_currentSize = 0;
char g_crashPath[4096] = "";
char g_timeoutPath[4096] = "";

void SaveCurrent(const char* path) {
  int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  size_t done = 0;
  while (done < g_currentSize) {
    ssize_t n = ::write(fd, g_current + done, g_currentSize - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  const char note[] = "\n==fuzz driver== the input is saved as ";
  (void)!::write(2, note, sizeof(note) - 1);
  (void)!::write(2, path, std::strlen(path));
  (void)!::write(2, "\n", 1);
}

#if defined(KIVRUN_FUZZ_SANITIZED)
void OnDeath() { SaveCurrent(g_crashPath); }
#endif

void OnTimeout(int) {
  const char note[] = "\n==fuzz driver== an input ran longer than the timeout";
  (void)!::write(2, note, sizeof(note) - 1);
  SaveCurrent(g_timeoutPath);
  ::_exit(70);
}

#if !defined(KIVRUN_FUZZ_SANITIZED)
void OnSignal(int signal) {
  SaveCurrent(g_crashPath);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}
#endif

void InstallHandlers(const Options& options, const std::string& target) {
  std::snprintf(g_crashPath, sizeof(g_crashPath), "%scrash-%s", options.artifactPrefix.c_str(), target.c_str());
  std::snprintf(g_timeoutPath, sizeof(g_timeoutPath), "%stimeout-%s", options.artifactPrefix.c_str(),
                target.c_str());
  ::signal(SIGALRM, OnTimeout);
#if defined(KIVRUN_FUZZ_SANITIZED)
  __sanitizer_set_death_callback(OnDeath);
#else
  for (int signal : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL}) ::signal(signal, OnSignal);
#endif
}

void RunOne(const Bytes& input, unsigned timeout) {
  // A fresh block of exactly the input's size: one byte further is a redzone.
  std::unique_ptr<uint8_t[]> block(new uint8_t[input.size()]);
  if (!input.empty()) std::memcpy(block.get(), input.data(), input.size());
  g_current = block.get();
  g_currentSize = input.size();
  ::alarm(timeout);
  LLVMFuzzerTestOneInput(block.get(), input.size());
  ::alarm(0);
  g_current = nullptr;
  g_currentSize = 0;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      const size_t length = std::strlen(name);
      return arg.compare(0, length, name) == 0 ? arg.c_str() + length : nullptr;
    };
    if (const char* v = value("-runs=")) {
      options->runs = std::strtol(v, nullptr, 10);
    } else if (const char* v = value("-seed=")) {
      options->seed = std::strtoull(v, nullptr, 10);
    } else if (const char* v = value("-max_total_time=")) {
      options->maxTotalTime = std::strtol(v, nullptr, 10);
    } else if (const char* v = value("-max_len=")) {
      options->maxLength = std::strtoul(v, nullptr, 10);
    } else if (const char* v = value("-timeout=")) {
      options->timeout = static_cast<unsigned>(std::strtoul(v, nullptr, 10));
    } else if (const char* v = value("-artifact_prefix=")) {
      options->artifactPrefix = v;
    } else if (arg[0] == '-') {
      std::fprintf(stderr, "fuzz driver: %s is not known here and is passed over\n", arg.c_str());
    } else {
      options->inputs.push_back(arg);
    }
  }
  return !options->inputs.empty();
}

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every regular file of the folders (in name order, so runs repeat) and the files named.
std::vector<Bytes> LoadCorpus(const std::vector<std::string>& inputs) {
  std::vector<Bytes> corpus;
  for (const std::string& input : inputs) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(input)) {
      for (const auto& entry : std::filesystem::directory_iterator(input)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
    } else if (std::filesystem::is_regular_file(input)) {
      files.push_back(input);
    } else {
      std::fprintf(stderr, "fuzz driver: %s is neither a folder nor a file\n", input.c_str());
      std::exit(2);
    }
    for (const auto& file : files) corpus.push_back(ReadFile(file));
  }
  return corpus;
}

// Bytes that end or split something in the texts under test.
const uint8_t kInteresting[] = {'%', '=', '"', ',', '|', '/', '-', '[', ']', '\r', '\n', '\0',
                                '!', '<', '>', '.', ';', ' ', '\t', 0x81, 0xFF, 'a', '0', 'F'};

class Mutator {
 public:
  Mutator(uint64_t seed, const std::vector<Bytes>& corpus, size_t maxLength)
      : random_(seed), corpus_(corpus), maxLength_(maxLength) {}

  Bytes Next() {
    Bytes data = corpus_.empty() ? Bytes() : corpus_[Below(corpus_.size())];
    const size_t steps = 1 + Below(5);
    for (size_t i = 0; i < steps; ++i) Mutate(&data);
    if (data.size() > maxLength_) data.resize(maxLength_);
    return data;
  }

 private:
  size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(random_() % n); }
  uint8_t AnyByte() { return static_cast<uint8_t>(random_()); }
  uint8_t InterestingByte() { return kInteresting[Below(sizeof(kInteresting))]; }
  const Bytes& Other() { return corpus_[Below(corpus_.size())]; }

  void Mutate(Bytes* data) {
    const size_t at = Below(data->size() + 1);  // a position, the end included
    switch (Below(10)) {
      case 0:  // flip a bit
        if (!data->empty()) (*data)[Below(data->size())] ^= static_cast<uint8_t>(1u << Below(8));
        break;
      case 1:  // overwrite a byte
        if (!data->empty()) (*data)[Below(data->size())] = Below(2) ? InterestingByte() : AnyByte();
        break;
      case 2:
      case 3:  // insert a byte
        data->insert(data->begin() + static_cast<long>(at), Below(4) ? InterestingByte() : AnyByte());
        break;
      case 4: {  // delete a run
        if (at == data->size()) break;
        const size_t count = 1 + Below(std::min<size_t>(8, data->size() - at));
        data->erase(data->begin() + static_cast<long>(at), data->begin() + static_cast<long>(at + count));
        break;
      }
      case 5: {  // a long run of one byte: reaches the edges of the fixed buffers
        const size_t count = Below(2) ? 250 + Below(20) : 1 + Below(1100);
        data->insert(data->begin() + static_cast<long>(at), count, Below(2) ? InterestingByte() : 'A');
        break;
      }
      case 6:
      case 7: {  // splice in a piece of another entry
        if (corpus_.empty()) break;
        const Bytes& other = Other();  // drawn once: the entry that is tested is the one spliced
        if (other.empty()) break;
        const size_t from = Below(other.size());
        const size_t count = 1 + Below(other.size() - from);
        data->insert(data->begin() + static_cast<long>(at), other.begin() + static_cast<long>(from),
                     other.begin() + static_cast<long>(from + count));
        break;
      }
      case 8: {  // cross over: this entry's head, another's tail
        if (corpus_.empty()) break;
        const Bytes& other = Other();
        const size_t from = Below(other.size() + 1);
        data->resize(at);
        if (from < other.size()) data->insert(data->end(), other.begin() + static_cast<long>(from), other.end());
        break;
      }
      default:  // cut the input short
        data->resize(at);
        break;
    }
  }

  std::mt19937_64 random_;
  const std::vector<Bytes>& corpus_;
  size_t maxLength_;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: %s [-runs=N] [-seed=N] [-max_total_time=S] [-max_len=N] [-timeout=S] "
                 "[-artifact_prefix=P] corpus-folder-or-file...\n",
                 argv[0]);
    return 2;
  }
  InstallHandlers(options, std::filesystem::path(argv[0]).filename().string());

  const std::vector<Bytes> corpus = LoadCorpus(options.inputs);
  for (const Bytes& input : corpus) RunOne(input, options.timeout);

  const auto start = std::chrono::steady_clock::now();
  auto timeIsUp = [&] {
    return options.maxTotalTime > 0 &&
           std::chrono::steady_clock::now() - start >= std::chrono::seconds(options.maxTotalTime);
  };
  Mutator mutator(options.seed, corpus, options.maxLength);
  long done = 0;
  for (; (options.runs < 0 || done < options.runs) && !timeIsUp(); ++done) RunOne(mutator.Next(), options.timeout);

  std::printf("%s: %zu corpus inputs and %ld mutations (seed %llu) ran clean\n", argv[0], corpus.size(), done,
              static_cast<unsigned long long>(options.seed));
  return 0;
}
