#include "ondavo.h"

#include <wx/config.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>

#ifdef __WXMSW__
#include <windows.h>
#endif

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ondavo_version.h"
#include "ondavodlg.h"
#include "process_setup.h"
#include "resources.h"
#include "stop_signals.h"

namespace {

constexpr char kUsage[] =
    "Usage: ondavo [FILE.DVR...]\n"
    "Opens the converter window. Recordings named here are chosen as if dropped on it:\n"
    "one as Input File chooses it, several to be decoded one after another.\n"
    "\n"
    "  --help     show this and exit\n"
    "  --version  show the version and exit\n";

}  // namespace

std::optional<int> AnswerWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::puts("ondavo " ONDAVO_VERSION);
      return 0;
    }
  }
  return std::nullopt;
}

COndavoApp::COndavoApp() {
  ondavo::PrepareProcess();
  SetAppName("ondavo");
  SetAppDisplayName("Ondavo");
  // The window's setting: ~/.config/ondavo/ondavo.conf (XDG_CONFIG_HOME), or
  // HKEY_CURRENT_USER\Software\Ondavo on Windows.
  wxStandardPaths::Get().SetFileLayout(wxStandardPaths::FileLayout_XDG);
#ifdef __WXMSW__
  wxConfigBase::Set(new wxConfig("Ondavo", "", "", "", wxCONFIG_USE_LOCAL_FILE));
#else
  wxConfigBase::Set(new wxConfig("ondavo", "", "", "", wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_SUBDIR));
#endif
}

bool COndavoApp::StartUp(const wxArrayString& files) {
  LoadOndavoResources();
  COndavoDlg dialog(nullptr);
  SetTopWindow(&dialog);
  if (!files.empty()) dialog.CallAfter([&dialog, files] { dialog.DropFiles(files); });
  dialog.ShowModal();  // every way of closing leads here alike
  SetTopWindow(nullptr);
  return false;
}

#ifdef __WXMSW__
namespace {

// Windows enters through the toolkit's own main, so --help and --version are
// answered here, in the console the program was started from: a windowed
// program has none of its own, and its output would otherwise go nowhere.
std::optional<int> AnswerOnWindows(int argc, const wxCmdLineArgsArray& argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(argv[i].utf8_string());
  if (std::none_of(args.begin() + 1, args.end(), [](const std::string& arg) {
        return arg == "--help" || arg == "-h" || arg == "--version";
      })) {
    return std::nullopt;
  }
  if (::GetStdHandle(STD_OUTPUT_HANDLE) == nullptr && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
    std::freopen("CONOUT$", "w", stdout);
  }
  std::vector<char*> pointers;
  for (std::string& arg : args) pointers.push_back(arg.data());
  std::optional<int> status = AnswerWithoutWindow(argc, pointers.data());
  std::fflush(stdout);
  return status;
}

}  // namespace
#endif

// The toolkit has taken its own options out of argv by now.
bool COndavoApp::OnInit() {
#ifdef __WXMSW__
  if (std::optional<int> status = AnswerOnWindows(argc, argv)) {
    exit_code_ = *status;
    return true;
  }
#endif
  // A signal that ends the program first removes the output it was writing.
  ondavo::EndOnSignals();
  wxArrayString files;
  for (int i = 1; i < argc; ++i) {
    const wxString arg = argv[i];
    if (arg.StartsWith("-") && arg != "-") {
      std::fprintf(stderr, "ondavo: unknown option %s\n%s",
                   static_cast<const char*>(arg.utf8_str()), kUsage);
      exit_code_ = 2;
      return true;
    }
    wxFileName file(arg);
    file.MakeAbsolute();
    files.Add(file.GetFullPath());
  }
  // wxWidgets would turn a false from OnInit into a failure status: the
  // decision goes to OnRun instead, which ends the program normally.
  run_message_loop_ = StartUp(files);
  return true;
}

int COndavoApp::OnRun() {
  return run_message_loop_ ? wxApp::OnRun() : exit_code_;
}
