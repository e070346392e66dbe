#pragma once

#include <QString>

// Where the build put what the tests start and read. Only test_paths.cpp is
// compiled with these folders, so that no other test object depends on the
// folder of the clone and the compiler cache serves every clone alike.
namespace TestPaths {
// The olvendctl program of this build.
QString olvendctl();
// tests/golden of the sources.
QString goldenFolder();
// The top of the sources (Report/, schema/ ...).
QString sourceFolder();
}  // namespace TestPaths
