// The capture list as a CSV file for spreadsheet programs: UTF-8 with a
// byte-order mark (without it they read the Chinese as the local code
// page), a header line, then one line per captured row with the full path,
// the name, the type and the size in bytes.
#pragma once

#include <string>

#include "app/CaptureList.h"

namespace ravo {

// The CSV text of the list (RFC 4180: fields quoted where they hold a
// comma, a quote or a line break, lines ending in CRLF). A text field that
// a spreadsheet would take for a formula (= + - @ at its start) gets a
// leading apostrophe, so that a file name from the web cannot run one. The
// size is the file's size now: 0 for a missing file or a folder, empty
// when it cannot be taken.
std::string CaptureListCsv(const CaptureList& list);

// Writes CaptureListCsv to target, replacing a file there only once the
// whole text is written. An empty text on success, else the reason, in the
// user's language.
std::string ExportCaptureList(const CaptureList& list, const std::string& target);

}  // namespace ravo
