#pragma once

#include <QCoreApplication>

#include <memory>

namespace periodix {

// The application for a program with windows: the window system is opened
// only when the program will show one, so that --help and --version (-h, -v,
// --help-all) answer on a machine without a display too.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char *argv[]);

} // namespace periodix
