// What the conversions tell the user, in one place. Each "%s" stands for a
// path; texts that end in a blank keep it.
#ifndef ONDAVO_CONVERT_MESSAGES_H_
#define ONDAVO_CONVERT_MESSAGES_H_

#include <string>

namespace ondavo {

inline constexpr char kCantOpenMessage[] = "Can't open file %s ";
inline constexpr char kEmptyMessage[] = "File %s is Empty";
inline constexpr char kBusyMessage[] = "A conversion is already running";
inline constexpr char kExistsMessage[] = "File %s exists; not replaced";
inline constexpr char kExistsUnfinishedRecordsMessage[] =
    "File %s exists; not replaced (its length is no whole number of 9-byte records, so it may be "
    "unfinished; --force replaces it)";
inline constexpr char kUnfinishedOutputWarning[] =
    "File %s was left unfinished by an earlier run; it is replaced";
inline constexpr char kStaleRemovedWarning[] =
    "Removed %s, an unfinished file left by a run that was killed";
inline constexpr char kStoppedMessage[] = "Stopped; nothing was written to file %s";
inline constexpr char kNothingWrittenMessage[] = "Nothing was written to file %s";
inline constexpr char kReplaceQuestion[] = "%s exists. Replace it?";
inline constexpr char kCutFrameWarning[] =
    "File %s ends in a frame cut short; that frame was left out";

// "%s" in `pattern` replaced by `path`.
std::string FormatMessage(const char* pattern, const std::string& path);
// "Can't open file <path> (<the system's reason>)".
std::string CantOpenMessage(const std::string& path, int error);
// "Can't <verb> file <path> (<the system's reason>)".
std::string IoFailureMessage(const char* verb, const std::string& path, int error);
// "File <path> is not a coded voice recording (<why>)".
std::string NotARecordingMessage(const std::string& path, const std::string& why);
// Two inputs of one run that would share an output: the later one is not
// converted.
std::string CollisionMessage(const std::string& input, const std::string& output,
                             const std::string& first_input);

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_MESSAGES_H_
