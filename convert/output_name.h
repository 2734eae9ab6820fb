// How a conversion names its output after its input.
#ifndef ONDAVO_CONVERT_OUTPUT_NAME_H_
#define ONDAVO_CONVERT_OUTPUT_NAME_H_

#include <string>
#include <string_view>

namespace ondavo {

// The input path with its file name cut after the file name's first '.' and
// `extension` put there: rec.2007/a.b.DVR gives rec.2007/a.WAV. A file name
// without a '.' gets '.' and the extension appended. Folder names are never
// touched, so the output lands beside its input, or in `folder` if one is
// given.
std::string OutputPathFor(std::string_view input, std::string_view extension,
                          std::string_view folder = {});

}  // namespace ondavo

#endif  // ONDAVO_CONVERT_OUTPUT_NAME_H_
