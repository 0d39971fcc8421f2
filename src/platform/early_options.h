#pragma once

#include <QCommandLineParser>

namespace periodix {

// Reads the program's options before its application exists, leaving out the
// toolkit's own (-platform, -style and the like, which the application takes
// itself), so that a mistyped option is named even where no display can be
// opened. False after saying on stderr what is wrong: the program then ends
// with status 2.
bool checkOptions(int argc, char *argv[], QCommandLineParser &parser, const char *program);

} // namespace periodix
