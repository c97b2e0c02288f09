#include "fsutil/PathText.h"

namespace ravo {
const PathSyntax kNativeSyntax = PathSyntax::Windows;
}
