#include "test_support.h"

#ifdef _WIN32
#include <windows.h>

#include "windows_text.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace ondavo::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device random;
  do {
    path_ = fs::temp_directory_path() / ("ondavo-test-" + std::to_string(random()));
  } while (!fs::create_directory(path_));
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only folders behind; make them removable first.
  for (auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    if (!entry.is_symlink())
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::Names() const {
  std::vector<std::string> names;
  for (auto& entry : fs::recursive_directory_iterator(path_)) {
    const std::u8string name = entry.path().lexically_relative(path_).generic_u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) throw std::runtime_error("can't read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("can't write " + path);
}

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, {text.begin(), text.end()});
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset) {
  return bytes.at(offset) | bytes.at(offset + 1) << 8 | bytes.at(offset + 2) << 16 |
         static_cast<uint32_t>(bytes.at(offset + 3)) << 24;
}

std::string NoSuchFileReason() {
#ifdef _WIN32
  const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
  return wine ? "File not found" : "The system cannot find the file specified";
#else
  return "No such file or directory";
#endif
}

int FrameLength(uint8_t first) {
  if (first < 0x40) return 11;
  if (first < 0x80) return 18;
  if (first < 0xC0) return 24;
  return first < 0xE0 ? 4 : 2;
}

std::vector<uint8_t> Frames(int n, uint8_t first) {
  std::vector<uint8_t> body;
  for (int i = 0; i < n; ++i) {
    body.push_back(first);
    body.insert(body.end(), FrameLength(first) - 1, static_cast<uint8_t>(i));
  }
  return body;
}

std::vector<uint8_t> DvrFile(uint16_t rate, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> file(14 + body.size());
  const char kMarker[] = "header01";
  std::copy(kMarker, kMarker + 8, file.begin());
  file[8] = static_cast<uint8_t>(rate);
  file[9] = static_cast<uint8_t>(rate >> 8);
  std::copy(body.begin(), body.end(), file.begin() + 14);
  return file;
}

void PrintTo(const Message& message, std::ostream* out) {
  *out << "{\"" << message.text << "\", kind " << static_cast<int>(message.kind) << "}";
}

#ifdef _WIN32

RunningProgram::RunningProgram(const Program& program) {
  std::wstring line;
  for (const std::string& arg : program.args) line += L"\"" + WideFromUtf8(arg) + L"\" ";
  // The tests' own environment, and the program's settings after it.
  std::wstring environment;
  wchar_t* own = ::GetEnvironmentStringsW();
  for (const wchar_t* p = own; *p != 0; p += wcslen(p) + 1) environment.append(p).push_back(0);
  ::FreeEnvironmentStringsW(own);
  for (const std::string& setting : program.env)
    environment.append(WideFromUtf8(setting)).push_back(0);
  environment.push_back(0);
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  auto open = [&](const fs::path& path, DWORD access, DWORD how) {
    return ::CreateFileW(path.wstring().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherited, how, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = open("NUL", GENERIC_READ, OPEN_EXISTING);
  startup.hStdOutput = open(output_.path() / "out", GENERIC_WRITE, CREATE_ALWAYS);
  startup.hStdError = open(output_.path() / "err", GENERIC_WRITE, CREATE_ALWAYS);
  PROCESS_INFORMATION process = {};
  std::wstring folder = WideFromUtf8(program.folder);
  if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                       environment.data(), folder.empty() ? nullptr : folder.c_str(), &startup,
                       &process)) {
    ::CloseHandle(process.hThread);
    handle_ = reinterpret_cast<intptr_t>(process.hProcess);
  }
  for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) ::CloseHandle(h);
}

RunningProgram::~RunningProgram() {
  if (handle_ == 0) return;
  ::TerminateProcess(reinterpret_cast<HANDLE>(handle_), 1);
  ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// Windows has no signals: the program is ended outright, as by SIGKILL,
// with the status a POSIX shell would give.
bool RunningProgram::Signal(int signal) {
  return ::TerminateProcess(reinterpret_cast<HANDLE>(handle_), 128 + signal) != 0;
}

ProgramResult RunningProgram::Wait() {
  ProgramResult result;
  DWORD code = static_cast<DWORD>(-1);
  if (handle_ != 0) {
    ::WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), INFINITE);
    ::GetExitCodeProcess(reinterpret_cast<HANDLE>(handle_), &code);
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = 0;
  }
  result.status = static_cast<int>(code);
  // Lines end in "\n" as on POSIX. Paths are compared as written: the
  // programs join them with '\\' here.
  for (auto [text, name] : {std::pair(&result.out, "out"), std::pair(&result.err, "err")}) {
    for (char c : ReadText(output_ / name)) {
      if (c == '\n' && !text->empty() && text->back() == '\r') text->pop_back();
      text->push_back(c);
    }
  }
  return result;
}

#else

RunningProgram::RunningProgram(const Program& program) {
  std::vector<char*> argv;
  for (const std::string& arg : program.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const std::string out = output_ / "out", err = output_ / "err";
  pid_t pid = ::fork();
  if (pid != 0) {
    handle_ = id_ = pid;
    return;
  }
  // The child: only calls that are safe after fork.
  int in = ::open("/dev/null", O_RDONLY);
  int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || out_fd < 0 || err_fd < 0) ::_exit(126);
  ::dup2(in, 0);
  ::dup2(out_fd, 1);
  ::dup2(err_fd, 2);
  for (const std::string& setting : program.env) ::putenv(const_cast<char*>(setting.c_str()));
  if (!program.folder.empty() && ::chdir(program.folder.c_str()) != 0) ::_exit(126);
  if (program.file_size_limit != 0) {
    struct rlimit limit = {program.file_size_limit, program.file_size_limit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  // A test that stops the program signals it; nothing inherited may block that.
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

RunningProgram::~RunningProgram() {
  if (handle_ <= 0) return;
  ::kill(static_cast<pid_t>(handle_), SIGKILL);
  ::waitpid(static_cast<pid_t>(handle_), nullptr, 0);
}

bool RunningProgram::Signal(int signal) {
  return ::kill(id_, signal) == 0;
}

ProgramResult RunningProgram::Wait() {
  ProgramResult result;
  int status = 0;
  while (::waitpid(static_cast<pid_t>(handle_), &status, 0) < 0 && errno == EINTR) {
  }
  handle_ = 0;
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.status = 128 + WTERMSIG(status);
  result.out = ReadText(output_ / "out");
  result.err = ReadText(output_ / "err");
  return result;
}

#endif

ProgramResult RunProgram(const Program& program) {
  return RunningProgram(program).Wait();
}

Program Cli(std::vector<std::string> args) {
  args.insert(args.begin(), BinDir() + "/ondavo-cli");
  return Program(args);
}

std::string BinDir() {
  return ONDAVO_BIN_DIR;
}
std::string RecordingCodecPath() {
  return ONDAVO_RECORDING_CODEC;
}
std::string PartialCodecPath(CodecUse use) {
  return use == CodecUse::kDecode ? ONDAVO_DECODER_CODEC : ONDAVO_ENCODER_CODEC;
}

}  // namespace ondavo::testing
